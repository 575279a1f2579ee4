// DemoApp's start-up, paced main loop and teardown.
#include "shell/demo_app.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/resource_blob.h"
#include "media/timer.h"
#include "shell/startup_error.h"

namespace {

constexpr const char* kStartTitle = "Please press alt+enter for full screen mode.";

} // namespace

uint32_t frameWait(uint32_t frameEnd, uint32_t now) {
    uint32_t wait = frameEnd + kMinimumFrameMilliseconds - now;
    return wait > kMinimumFrameMilliseconds ? 0 : wait;
}

DemoApp::~DemoApp() {
    content.release();
    clock.release();
    console.close();
    endTimerPeriod();
}

void DemoApp::endTimerPeriod() {
    if (timerPeriodBegun) timerEndFinePeriod(timerPeriod);
    timerPeriodBegun = false;
}

bool DemoApp::openConsole() {
    if (!console.open(kStartTitle, FrameStepper::kScreenWidth, FrameStepper::kScreenHeight))
        return false;
    stepper.showStart();
    return true;
}

int32_t DemoApp::run() {
    if (!openConsole()) {
        showStartupError(console, "Cannot initialize console.");
        return 1;
    }
    // Grey dots stand on the screen while the content loads.
    console.present();

    if (!content.load()) {
        showStartupError(console, "Cannot initialize demo.");
        return 1;
    }

    timerPeriod = timerBeginFinePeriod();
    timerPeriodBegun = true;
    if (silent) {
        clock.startSilent();
    } else {
        ResourceBlob soundtrack;
        if (!startAudio()) {
            showStartupError(console, "Cannot load music.");
            // A driver the user chose may simply not exist here: name it rather than guess.
            const char* driver = std::getenv("SDL_AUDIODRIVER");
            if (driver != nullptr && *driver != '\0') {
                std::fprintf(stderr, "The sound driver \"%s\" (SDL_AUDIODRIVER) did not open.\n",
                             driver);
            } else {
                std::fputs("No sound device? Run with --silent to watch without sound.\n", stderr);
            }
            endTimerPeriod();
            return 1;
        }
        if (!soundtrack.load("kaveo.mp3", kResourceTypeData) || !clock.start(soundtrack)) {
            // The output and the fine timer period started: undo both.
            stopAudio();
            endTimerPeriod();
            showStartupError(console, "Cannot load music.");
            return 1;
        }
    }

    while (!QuitFlag.load(std::memory_order_relaxed)) {
        if (runFrame() != FrameResult::Shown) break;
        sleepMilliseconds(frameWait(frameEndStamp, timerMilliseconds()));
        frameEndStamp = timerMilliseconds();
    }

    // Every way out of the loop stops the sound the same way: a short fade, not a cut.
    if (!silent) stopAudio();
    endTimerPeriod();
    return 0;
}

DemoApp::FrameResult DemoApp::runFrame() {
    clock.update();
    if (!handleInput()) return FrameResult::Stopped;
    // Read after the input: a seek made in this frame already counts.
    if (!stepper.step(clock.demoTime, clock.frameDelta)) return FrameResult::Ended;
    updateTitle();
    drawOverlay();
    console.present();
    return FrameResult::Shown;
}
