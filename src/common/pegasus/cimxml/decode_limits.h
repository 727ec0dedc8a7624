// What bounds the decoding of one response body: the memory its decoding may
// hold and the time it may take. The element tree and the object grammar
// share one, so that neither a dense body nor one that expands as it is
// decoded (a reference key quotes the text of the path inside it, so nested
// references double their texts at every level) nor a slow one can outgrow
// them.
#ifndef PEGASUS_CIMXML_DECODE_LIMITS_H
#define PEGASUS_CIMXML_DECODE_LIMITS_H

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace Pegasus {
namespace cimxml {

class DecodeLimits {
  public:
    using Clock = std::chrono::steady_clock;

    // Memory: what is held (the tree's elements in use and the texts made
    // from them) may reach an allowance of 1/64 of the response limit plus
    // two and a half times the bytes received that hold something. Blanks
    // between elements count for nothing, since nothing is kept of them.
    explicit DecodeLimits(std::uint64_t responseLimit) : allowance_(responseLimit / 64) {}
    DecodeLimits(const DecodeLimits&) = delete;
    DecodeLimits& operator=(const DecodeLimits&) = delete;

    std::uint64_t allowance() const { return allowance_; }
    // Bytes of the body about to be parsed, before their events.
    void received(std::size_t bytes) { received_ += bytes; }
    // Bytes received that turned out to be blanks between elements.
    void dropped(std::size_t bytes) { dropped_ += bytes; }
    std::uint64_t budget() const {
        return allowance_ + (received_ - std::min(dropped_, received_)) * 5 / 2;
    }
    // The tree asks to hold `treeBytes` in all: true (and noted) when that
    // and the texts made so far fit the budget.
    bool treeFits(std::uint64_t treeBytes) {
        if (treeBytes + made_ > budget()) return false;
        treeBytes_ = treeBytes;
        return true;
    }
    // A text of `bytes` made from the tree and held until the body is
    // decoded: true (and counted) when it fits beside what the tree holds.
    bool madeFits(std::uint64_t bytes) {
        if (treeBytes_ + made_ + bytes > budget()) return false;
        made_ += bytes;
        return true;
    }

    // Time: decoding past `deadline` throws ConnectionTimeoutException
    // ("connection timed out"), as the transport does at the same deadline.
    // None is set unless the caller sets one.
    void setDeadline(Clock::time_point deadline) { deadline_ = deadline; }
    // Called for every element or run of text handled: the clock is read
    // only every so many calls, which keeps it off the cost of decoding.
    void tick() {
        if (++ticks_ % kTicksPerClockRead == 0) checkDeadline();
    }
    // Reads the clock now; throws once the deadline has passed.
    void checkDeadline() const;

  private:
    static constexpr std::uint32_t kTicksPerClockRead = 1024;

    std::uint64_t allowance_;
    std::uint64_t received_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t treeBytes_ = 0;
    std::uint64_t made_ = 0;
    Clock::time_point deadline_ = Clock::time_point::max();
    std::uint32_t ticks_ = 0;
};

}  // namespace cimxml
}  // namespace Pegasus

#endif
