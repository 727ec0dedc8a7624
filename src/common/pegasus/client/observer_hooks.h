// The seams through which tests watch and steer every CIMClient of a process
// (testing/client_observer.h). A link-time seam: the shipped library links
// observer_hooks_shipped.cpp, where they do nothing; test programs link the
// target pegasus_client_test_hooks (testing/client_observer.cpp), whose
// definitions take their place.
#ifndef PEGASUS_CLIENT_OBSERVER_HOOKS_H
#define PEGASUS_CLIENT_OBSERVER_HOOKS_H

#include <cstdint>
#include <string>

#include "testing/client_observer.h"

namespace Pegasus {

void notifyObserver(const pegasus_testing::ClientEvent& event);
std::uint64_t responseLimit();
std::uint32_t timeoutCeiling();         // 0: none
std::string refusedTransportSetting();  // empty: none

}  // namespace Pegasus

#endif
