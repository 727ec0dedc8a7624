// A large EnumerateInstances response shaped like the real server's answer
// for 10,000 instances of a CIM_FCPort subclass: every property of the class
// sent (62, of which 23 empty, those marked PROPAGATED), 42.14 VALUE
// elements, about 6.2 KB and 192 lines per instance, XML entities in about
// 1.2 lines per instance, no qualifiers (none were asked for): 62.1 MB for
// 10,000 instances, as measured. The values are invented.
#ifndef PEGASUS_BENCH_LARGE_ENUMERATION_H
#define PEGASUS_BENCH_LARGE_ENUMERATION_H

#include <cstdint>
#include <string>

namespace large_enumeration {

// The whole body, from <?xml to </CIM>, with MESSAGE ID messageId.
std::string response(int instances, std::uint32_t messageId = 1000);

}  // namespace large_enumeration

#endif
