// The millisecond timer in the browser: performance.now(). The page paces the frames with
// requestAnimationFrame, so nothing sleeps.
#include <cmath>

#include <emscripten.h>

#include "media/timer.h"

uint32_t timerMilliseconds() {
    // Unsigned arithmetic keeps the low 32 bits, which is the wrap the callers expect.
    return static_cast<uint32_t>(static_cast<uint64_t>(std::floor(emscripten_get_now())));
}

void sleepMilliseconds(uint32_t) {}

uint32_t timerBeginFinePeriod() {
    return 1;
}

void timerEndFinePeriod(uint32_t) {}
