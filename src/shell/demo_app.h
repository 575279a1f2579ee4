// DemoApp: the application. It owns the console, the music clock and the demo content,
// brings them up in a fixed order, runs the paced main loop and takes them down again.
#pragma once

#include <cstdint>

#include "console/console_screen.h"
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"
#include "media/music_clock.h"

// How long one frame lasts at least, in milliseconds (at most about 100 frames per second).
constexpr uint32_t kMinimumFrameMilliseconds = 10;

// Milliseconds to sleep so that a frame lasts kMinimumFrameMilliseconds from `frameEnd`
// (the end of the previous frame's sleep) given the time `now`. Unsigned arithmetic: a
// frame that took 10 ms or more, or a wrapped counter, sleeps 0.
uint32_t frameWait(uint32_t frameEnd, uint32_t now);

struct DemoApp {
    // Statistics display and mouse controls.
    bool statisticsMode = false;    // switched on by Space, never off
    bool pointerOverlay = false;    // draw the live mouse coordinates
    bool markerOverlay = false;     // draw the coordinates of the last right click
    bool dragInProgress = false;    // a left-button drag is under way
    float smoothedFrameRate = 0.0f; // frames per second shown in the title
    // Seconds; Down seeks to this minus 4.0, to 83 s: past the end, so Down ends the demo.
    float seekReferenceTime = 87.0f;
    int32_t pointerColumn = 0, pointerRow = 0; // cell under the mouse at its last event
    int32_t markerColumn = 0, markerRow = 0;   // cell of the last right click
    int32_t dragAnchor = 0; // tenths of a second plus the column where the drag began

    ConsoleScreen console;
    MusicClock clock;
    DemoContent content;
    FrameStepper stepper{content, console}; // draws the content into the back buffer

    // Options from the command line (both platforms' entry points set them); the defaults
    // are the program's own behaviour.
    bool silent = false; // no sound: the clock runs on the timer as if muted

    uint32_t frameEndStamp = 0; // timer milliseconds after the previous frame's sleep
    // The fine timer period that the pacing's millisecond sleeps rest on, with sound or
    // without; begun once by run and ended once, by run or else by the teardown.
    uint32_t timerPeriod = 0;
    bool timerPeriodBegun = false;

    DemoApp() = default;
    DemoApp(const DemoApp&) = delete;
    DemoApp& operator=(const DemoApp&) = delete;
    // Tears down the content, then the clock, then the console.
    ~DemoApp();

    // Start-up, main loop and audio shutdown. 0 after the loop ended, 1 after a start-up
    // failure (reported with its message).
    int32_t run();

    // Opens the console at the screen's size with the start title and puts the start
    // picture in the back buffer, not yet presented. False when the console does not open.
    bool openConsole();

    // One frame of the main loop without its pacing: the clock, the input, the scenes, the
    // title and the overlays, then present. Shown: the frame went to the console; Stopped:
    // the viewer asked to stop (Escape); Ended: the demo time is past the end (not shown).
    // The web page runs it too, paced by the browser.
    enum class FrameResult { Shown, Stopped, Ended };
    FrameResult runFrame();

    // Takes every pending console event. False when the viewer asked to stop (Escape).
    bool handleInput();
    // In statistics mode, puts the demo time and the smoothed frame rate in the title.
    void updateTitle();
    // Draws the pointer and marker coordinates into the back buffer.
    void drawOverlay();
    // Ends the fine timer period if it was begun; harmless twice.
    void endTimerPeriod();
};
