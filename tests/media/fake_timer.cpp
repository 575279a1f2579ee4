// A fake millisecond timer: time moves only when the test moves it.
#include "fake_media.h"
#include "media/timer.h"

FakeTimer fakeTimer;

uint32_t timerMilliseconds() {
    return fakeTimer.now;
}

void sleepMilliseconds(uint32_t milliseconds) {
    fakeTimer.now += milliseconds;
}

uint32_t timerBeginFinePeriod() {
    ++fakeTimer.begun;
    return fakeTimer.period;
}

void timerEndFinePeriod(uint32_t period) {
    ++fakeTimer.ended;
    fakeTimer.endedPeriod = period;
}
