#ifndef VORNET_PAUSE_H
#define VORNET_PAUSE_H

#include <functional>

// Every long wait the design mandates (between connection attempts, between job polls) goes
// through this one function, so that tests can count and measure the pauses without waiting.
void Pause(unsigned int milliseconds);

// Replaces what Pause does; an empty function restores the real sleep. For tests. The function
// is process-wide: set it before any thread pauses and restore it after the last, since a pause
// on another thread may be running the function being replaced.
void SetPauseFunction(std::function<void(unsigned int)> pause);

#endif
