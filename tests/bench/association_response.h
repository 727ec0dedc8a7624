// An EnumerateInstances response of CIM_ControlledBy shaped as the real server's answer: the
// captured answer's one instance (three class qualifiers, nine empty properties, two references
// of four string keys each, in the instance name and as properties) repeated, controller and
// port names changed.
#ifndef BROCADE_BENCH_ASSOCIATION_RESPONSE_H
#define BROCADE_BENCH_ASSOCIATION_RESPONSE_H

#include <string>

namespace association_response {

// The body, from <?xml to </CIM>, with MESSAGE ID 1000: `controllers` controllers named ctl-C
// with `ports` ports each, named port-C-P.
std::string controlledBy(int controllers, int ports);

// The path text of controller ctl-C as an enumerated or fetched instance carries it.
std::string controllerPathText(int controller);

}  // namespace association_response

#endif
