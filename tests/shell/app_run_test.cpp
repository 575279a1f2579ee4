// DemoApp::run end to end against fakes: the start-up order and its failure messages, the
// ways the main loop ends, and the teardown of the audio.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fake_console.h"
#include "fake_media.h"
#include "shell/demo_app.h"

namespace {

struct AppRunTest : ::testing::Test {
    void SetUp() override {
        FakeConsole = FakeConsoleState{};
        fakeAudio = FakeAudio{};
        fakeTimer = FakeTimer{};
        fakeTimer.now = 100000;
        QuitFlag.store(false);
    }
    void TearDown() override { QuitFlag.store(false); }
};

TEST_F(AppRunTest, EscapeEndsTheLoopBeforeTheScenesAndStopsTheAudio) {
    FakeConsole.pending.push_back(keyEvent(kVkEscape, true));
    DemoApp app;
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(FakeConsole.title, "Please press alt+enter for full screen mode.");
    EXPECT_EQ(FakeConsole.presents, 1); // only the grey dots of the start-up
    for (int32_t i = 0; i < 80 * 50; ++i) {
        ASSERT_EQ(app.console.cells[i].character, '.');
        ASSERT_EQ(app.console.cells[i].attribute, 0x07);
    }
    EXPECT_EQ(fakeAudio.log, "create:1 play:1:restart");
    EXPECT_FALSE(fakeAudio.initialised); // stopAudio ran
    EXPECT_EQ(fakeTimer.begun, 1);
    EXPECT_EQ(fakeTimer.ended, 1);
}

TEST_F(AppRunTest, FramesArePresentedUntilDownSeeksPastTheEnd) {
    DemoApp app;
    // Down waits behind nothing: the first frame seeks to 83 s and the dispatch ends the demo.
    FakeConsole.pending.push_back(keyEvent(kVkDown, true));
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(FakeConsole.presents, 1);
    EXPECT_EQ(app.clock.demoTime, 83.0f);
}

TEST_F(AppRunTest, AFrameAfterTheEndIsNotPresented) {
    DemoApp app;
    app.silent = true;
    // At the first frame the delta is the minimum, 0.001 s: each Page Up event seeks 0.2 s.
    for (int i = 0; i < 296; ++i) FakeConsole.pending.push_back(keyEvent(kVkPrior, true));
    EXPECT_EQ(app.run(), 0);
    EXPECT_GT(app.clock.demoTime, 59.0f);
    EXPECT_EQ(FakeConsole.presents, 1);
    EXPECT_EQ(fakeAudio.log, ""); // silent: no stream at all
    EXPECT_EQ(fakeTimer.begun, 1);
    EXPECT_EQ(fakeTimer.ended, 1);
}

TEST_F(AppRunTest, TheQuitFlagEndsTheRunNormally) {
    QuitFlag.store(true);
    DemoApp app;
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(FakeConsole.presents, 1);
    EXPECT_FALSE(fakeAudio.initialised);
}

TEST_F(AppRunTest, TheLoopIsPacedToTenMilliseconds) {
    DemoApp app;
    app.silent = true;
    app.frameEndStamp = fakeTimer.now; // as if a frame had just ended
    // The fake timer moves only in sleeps, so every frame takes 0 ms and sleeps 10.
    FakeConsole.scheduled.push_back({4, keyEvent(kVkEscape, true)});
    const uint32_t start = fakeTimer.now;
    EXPECT_EQ(app.run(), 0);
    // Start-up, then three frames presented, each followed by a 10 ms sleep.
    EXPECT_EQ(FakeConsole.presents, 4);
    EXPECT_EQ(fakeTimer.now - start, 30u);
    EXPECT_EQ(app.frameEndStamp, start + 30u);
    EXPECT_NEAR(app.clock.demoTime, 0.03f, 1e-6f); // silent: the timer drives the time
}

TEST_F(AppRunTest, StartupFailuresReportTheirMessageAndExitOne) {
    struct Case {
        const char* what;
        bool initResult, createResult;
        const char* driver; // SDL_AUDIODRIVER, null for unset
        const char* message;
        const char* hint;
    } cases[] = {
        {"no audio output", false, true, nullptr, "Demo error. Cannot load music.\n",
         "No sound device?"},
        {"no such driver", false, true, "nosuchdriver", "Demo error. Cannot load music.\n",
         "\"nosuchdriver\" (SDL_AUDIODRIVER) did not open"},
        {"no stream", true, false, nullptr, "Demo error. Cannot load music.\n", ""},
    };
    const char* savedDriver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = savedDriver ? savedDriver : "";
    for (const Case& c : cases) {
        SetUp();
        fakeAudio.initResult = c.initResult;
        fakeAudio.createResult = c.createResult;
        if (c.driver) {
            setenv("SDL_AUDIODRIVER", c.driver, 1);
        } else {
            unsetenv("SDL_AUDIODRIVER");
        }
        {
            DemoApp app;
            ::testing::internal::CaptureStderr();
            EXPECT_EQ(app.run(), 1) << c.what;
            const std::string err = ::testing::internal::GetCapturedStderr();
            EXPECT_EQ(err.rfind(c.message, 0), 0u) << c.what << ": " << err;
            EXPECT_NE(err.find(c.hint), std::string::npos) << c.what << ": " << err;
            if (c.driver) {
                EXPECT_EQ(err.find("No sound device?"), std::string::npos) << err;
            }
            EXPECT_EQ(FakeConsole.presents, 1) << c.what; // the grey dots stood
            // Every start-up step that succeeded is undone before run returns, the
            // application's fine timer period included.
            EXPECT_FALSE(fakeAudio.initialised) << c.what;
            EXPECT_EQ(fakeTimer.begun, 1) << c.what;
            EXPECT_EQ(fakeTimer.ended, 1) << c.what;
            EXPECT_EQ(fakeTimer.endedPeriod, fakeTimer.period) << c.what;
        }
    }
    if (savedDriver) {
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
}

} // namespace
