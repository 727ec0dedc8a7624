#include "pause.h"

#include <chrono>
#include <thread>

namespace {

std::function<void(unsigned int)>& PauseOverride() {
    static std::function<void(unsigned int)> pause;
    return pause;
}

}  // namespace

void Pause(unsigned int milliseconds) {
    if (PauseOverride()) {
        PauseOverride()(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetPauseFunction(std::function<void(unsigned int)> pause) {
    PauseOverride() = std::move(pause);
}
