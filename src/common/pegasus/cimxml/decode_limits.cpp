#include "cimxml/decode_limits.h"

#include <Pegasus/Common/Exception.h>

namespace Pegasus {
namespace cimxml {

void DecodeLimits::checkDeadline() const {
    if (deadline_ != Clock::time_point::max() && Clock::now() >= deadline_) {
        throw ConnectionTimeoutException();
    }
}

}  // namespace cimxml
}  // namespace Pegasus
