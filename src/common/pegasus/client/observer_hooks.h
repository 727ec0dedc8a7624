// The library's side of testing/client_observer.h.
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
