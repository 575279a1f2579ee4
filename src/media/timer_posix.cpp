// The millisecond timer on POSIX: CLOCK_MONOTONIC, which is fine-grained already, so the
// fine period calls do nothing.
#include "media/timer.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

uint32_t timerMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Unsigned arithmetic keeps the low 32 bits, which is the wrap the callers expect.
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void sleepMilliseconds(uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000u),
                  static_cast<long>(milliseconds % 1000u) * 1000000L};
    // A signal (SIGWINCH, SIGINT setting the quit flag) wakes nanosleep early: sleep the rest.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint32_t timerBeginFinePeriod() {
    return 1;
}

void timerEndFinePeriod(uint32_t) {}
