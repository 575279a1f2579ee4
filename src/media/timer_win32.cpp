// The millisecond timer on Windows: the multimedia timer (winmm), whose period is raised to
// the finest the system offers for the run so that timeGetTime and Sleep work to the
// millisecond.
#include "media/timer.h"

#include <windows.h>

#include <mmsystem.h>

uint32_t timerMilliseconds() {
    return timeGetTime();
}

// Sleep(0) gives the rest of the time slice away, which is what a frame with no time left
// should do.
void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

uint32_t timerBeginFinePeriod() {
    TIMECAPS caps{};
    // A failed query leaves wPeriodMin 0, which timeBeginPeriod refuses; 1 ms is then the
    // period every Windows timer supports.
    timeGetDevCaps(&caps, sizeof caps);
    const uint32_t period = caps.wPeriodMin != 0 ? caps.wPeriodMin : 1u;
    timeBeginPeriod(period);
    return period;
}

void timerEndFinePeriod(uint32_t period) {
    timeEndPeriod(period);
}
