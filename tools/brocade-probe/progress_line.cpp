#include "progress_line.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

std::string ElapsedText(std::chrono::steady_clock::duration elapsed) {
    const long seconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    char text[32];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%ld s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%ld min %02ld s", seconds / 60, seconds % 60);
    }
    return text;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled, std::string operation)
    : operation(std::move(operation)), started(std::chrono::steady_clock::now()) {
    if (!enabled) {
        return;
    }
    drawer = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex);
        do {
            Draw();
        } while (
            !stopRequested.wait_for(lock, std::chrono::seconds(1), [this] { return stopping; }));
        // Blanks over the whole line (no terminal escape: the Windows console may not take it).
        std::fprintf(stderr, "\r%s\r", std::string(drawnLength, ' ').c_str());
        std::fflush(stderr);
    });
}

ProgressLine::~ProgressLine() {
    if (!drawer.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    stopRequested.notify_one();
    drawer.join();
}

void ProgressLine::Draw() {
    std::string text = "brocade-probe: running " + operation + ", " +
                       ElapsedText(std::chrono::steady_clock::now() - started);
    const std::size_t length = text.size();
    if (length < drawnLength) {
        text.append(drawnLength - length, ' ');
    }
    drawnLength = std::max(drawnLength, length);
    std::fprintf(stderr, "\r%s\r", text.c_str());
    std::fflush(stderr);
}
