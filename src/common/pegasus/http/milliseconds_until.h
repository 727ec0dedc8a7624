// What is left of a deadline as the whole milliseconds that poll(), select()
// and WinHTTP take.
#ifndef PEGASUS_HTTP_MILLISECONDS_UNTIL_H
#define PEGASUS_HTTP_MILLISECONDS_UNTIL_H

#include <algorithm>
#include <chrono>
#include <climits>

namespace Pegasus {
namespace http {

// Rounded up, so that a wait does not end a fraction of a millisecond early;
// 0 once the deadline has passed. At most INT_MAX (24.8 days): a client's
// time-out may be any Uint32, and a larger count would turn negative in the
// int these calls take, which poll() reads as "wait for ever".
inline int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

}  // namespace http
}  // namespace Pegasus

#endif
