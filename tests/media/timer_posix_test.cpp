// The POSIX millisecond timer and sleep: the units, and a sleep that a signal cannot cut
// short (the terminal's signals arrive during the frame's sleep).
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/time.h>

#include "media/timer.h"

namespace {

double wallMilliseconds() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ignoreAlarm(int) {}

TEST(TimerPosix, SleepAndTimerCountMilliseconds) {
    const uint32_t before = timerMilliseconds();
    sleepMilliseconds(30);
    const uint32_t slept = timerMilliseconds() - before;
    EXPECT_GE(slept, 29u); // the timer truncates to whole milliseconds
    EXPECT_LT(slept, 1000u);
}

TEST(TimerPosix, SignalDoesNotCutSleepShort) {
    struct sigaction action {};
    action.sa_handler = ignoreAlarm; // no SA_RESTART: nanosleep returns EINTR
    struct sigaction previous {};
    sigaction(SIGALRM, &action, &previous);
    itimerval alarm{};
    alarm.it_value.tv_usec = 5000;
    setitimer(ITIMER_REAL, &alarm, nullptr);
    const double before = wallMilliseconds();
    sleepMilliseconds(40);
    EXPECT_GE(wallMilliseconds() - before, 40.0);
    sigaction(SIGALRM, &previous, nullptr);
}

} // namespace
