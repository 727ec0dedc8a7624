// What the shipped library does at the seams of observer_hooks.h: nothing is
// watched, the response limit is the default, no time-out is capped and no
// setting refused.
#include "observer_hooks.h"
#include "response_decoder.h"

namespace Pegasus {

void notifyObserver(const pegasus_testing::ClientEvent&) {}

std::uint64_t responseLimit() { return cimxml::kDefaultResponseLimit; }

std::uint32_t timeoutCeiling() { return 0; }

std::string refusedTransportSetting() { return std::string(); }

}  // namespace Pegasus
