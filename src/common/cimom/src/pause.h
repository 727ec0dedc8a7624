#ifndef VORNET_PAUSE_H
#define VORNET_PAUSE_H

#include <functional>

// Every long wait the design mandates (between connection attempts, between job polls) goes
// through this one function, so that tests can count and measure the pauses without waiting.
void Pause(unsigned int milliseconds);

// Replaces what Pause does; an empty function restores the real sleep. For tests.
void SetPauseFunction(std::function<void(unsigned int)> pause);

#endif
