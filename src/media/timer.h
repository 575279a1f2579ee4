// The millisecond timer and the sleep that pace the frames and drive the timer-based
// demo time. One implementation per platform (timer_posix.cpp, timer_win32.cpp, and for the
// web page src/web/timer_web.cpp, where the browser paces the frames); tests link a fake.
#pragma once

#include <cstdint>

// Milliseconds from an arbitrary origin; wraps modulo 2^32, so take differences unsigned.
uint32_t timerMilliseconds();

// Sleeps for about `milliseconds` (0 yields the processor). A signal does not cut it short.
void sleepMilliseconds(uint32_t milliseconds);

// Raise / lower the timer's resolution for the duration of the run (no-ops where the
// platform's timer is always fine). Begin returns the period in milliseconds; pass the same
// value to End.
uint32_t timerBeginFinePeriod();
void timerEndFinePeriod(uint32_t period);
