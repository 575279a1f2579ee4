// DemoApp's start-up, paced main loop and teardown.
#include "shell/demo_app.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/resource_blob.h"
#include "media/timer.h"
#include "shell/startup_error.h"

namespace {

constexpr const char* kStartTitle = "Please press alt+enter for full screen mode.";
constexpr int32_t kScreenWidth = 80;
constexpr int32_t kScreenHeight = 50;

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

int32_t DemoApp::run() {
    if (!console.open(kStartTitle, kScreenWidth, kScreenHeight)) {
        showStartupError(console, "Cannot initialize console.");
        return 1;
    }
    // Grey dots stand on the screen while the content loads.
    console.fillRect(Cell{'.', 0x07}, 0, 0, kScreenWidth, kScreenHeight);
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
        clock.update();
        if (!handleInput()) break;
        // Read after the input: a seek made in this frame already counts.
        const float delta = clock.frameDelta;
        const float t = clock.demoTime;
        if (!content.runScenes(console, t, delta)) break;
        updateTitle();
        drawOverlay();
        console.present();

        sleepMilliseconds(frameWait(frameEndStamp, timerMilliseconds()));
        frameEndStamp = timerMilliseconds();
    }

    // Every way out of the loop stops the sound the same way: a short fade, not a cut.
    if (!silent) stopAudio();
    endTimerPeriod();
    return 0;
}
