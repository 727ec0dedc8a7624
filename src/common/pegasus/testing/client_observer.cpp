// The test build's side of the seams of test_seams.h.
#include <atomic>
#include <mutex>

#include "testing/test_seams.h"

namespace {

using Pegasus::cimxml::kDefaultResponseLimit;

std::mutex& observerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const pegasus_testing::ClientEvent&)>& observer() {
    static std::function<void(const pegasus_testing::ClientEvent&)> function;
    return function;
}

std::atomic<std::uint64_t> limit{kDefaultResponseLimit};
std::atomic<std::uint32_t> ceiling{0};
std::atomic<bool> decodingLate{false};

// Read at every setting a connection makes; the flag spares clients the lock
// while no test refuses anything.
std::atomic<bool> refusing{false};
std::string& refusedSetting() {
    static std::string name;
    return name;
}

}  // namespace

namespace pegasus_testing {

void setClientObserver(std::function<void(const ClientEvent&)> function) {
    std::lock_guard<std::mutex> lock(observerMutex());
    observer() = std::move(function);
}

void setTimeoutCeiling(std::uint32_t milliseconds) { ceiling = milliseconds; }

void setDecodingDeadlinePassed(bool passed) { decodingLate = passed; }

void setResponseLimit(std::uint64_t bytes) { limit = bytes == 0 ? kDefaultResponseLimit : bytes; }

void refuseTransportSetting(const std::string& name) {
    std::lock_guard<std::mutex> lock(observerMutex());
    refusedSetting() = name;
    refusing = !name.empty();
}

}  // namespace pegasus_testing

namespace Pegasus {
namespace seams {

void notify(const pegasus_testing::ClientEvent& event) {
    std::function<void(const pegasus_testing::ClientEvent&)> function;
    {
        std::lock_guard<std::mutex> lock(observerMutex());
        function = observer();
    }
    if (function) function(event);
}

std::uint64_t responseLimit() { return limit; }

std::uint32_t timeoutCeiling() { return ceiling; }

std::chrono::steady_clock::time_point decodingDeadline(
    std::chrono::steady_clock::time_point deadline) {
    return decodingLate ? std::chrono::steady_clock::time_point::min() : deadline;
}

bool refuses(const std::string& setting) {
    if (!refusing) return false;
    std::lock_guard<std::mutex> lock(observerMutex());
    return refusedSetting() == setting;
}

}  // namespace seams
}  // namespace Pegasus
