// The viewer's controls, the statistics title, the overlays and the frame pacing,
// driven through a fake console with the real music clock on a fake audio back end.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_console.h"
#include "shell/demo_app.h"

namespace {

// A DemoApp whose console has an 80 x 50 back buffer and whose clock is playing at `t`
// with the frame delta `delta`.
struct ControlsTest : ::testing::Test {
    DemoApp app;

    void SetUp() override {
        FakeConsole = FakeConsoleState{};
        ASSERT_TRUE(app.console.open("test", 80, 50));
        app.clock.startSilent();
        app.clock.setMuted(false);
    }

    void at(float t, float delta) {
        app.clock.demoTime = t;
        app.clock.frameDelta = delta;
    }

    // Queues one event and handles the input, as a frame does.
    bool handle(const InputRecord& event) {
        FakeConsole.pending.push_back(event);
        return app.handleInput();
    }

    void stroke(uint16_t key) {
        FakeConsole.pending.push_back(keyEvent(key, true));
        FakeConsole.pending.push_back(keyEvent(key, false));
    }

    std::string row(int32_t y, int32_t x, int32_t n) {
        std::string text;
        for (int32_t i = 0; i < n; ++i) {
            text += static_cast<char>(app.console.cells[y * 80 + x + i].character);
        }
        return text;
    }
};

TEST_F(ControlsTest, PageUpStrokeSeeksTwiceAndPauses) {
    at(10.0f, 0.01f);
    stroke(kVkPrior);
    EXPECT_TRUE(app.handleInput());
    EXPECT_TRUE(app.clock.paused);
    EXPECT_NEAR(app.clock.demoTime, 14.0f, 1e-4f); // two events of 2 s at 100 frames/s
}

TEST_F(ControlsTest, BackwardSeeksStopAtZero) {
    for (uint16_t key : {kVkNext, kVkLeft}) {
        at(0.05f, 0.01f);
        stroke(key);
        EXPECT_TRUE(app.handleInput());
        EXPECT_EQ(app.clock.demoTime, 0.0f) << "key " << key;
        EXPECT_TRUE(app.clock.paused);
    }
}

TEST_F(ControlsTest, ArrowsStepByTwentyFrames) {
    at(10.0f, 0.01f);
    handle(keyEvent(kVkRight, true));
    EXPECT_NEAR(app.clock.demoTime, 10.2f, 1e-5f);
    handle(keyEvent(kVkLeft, true));
    EXPECT_NEAR(app.clock.demoTime, 10.0f, 1e-5f);
    handle(keyEvent(kVkHome, true));
    EXPECT_EQ(app.clock.demoTime, 0.0f);
    handle(keyEvent(kVkUp, true));
    EXPECT_FALSE(app.clock.paused);
}

TEST_F(ControlsTest, DownSeeksPastTheEnd) {
    at(20.0f, 0.01f);
    EXPECT_TRUE(handle(keyEvent(kVkDown, true)));
    EXPECT_EQ(app.clock.demoTime, 83.0f);
    EXPECT_TRUE(app.clock.paused);
}

TEST_F(ControlsTest, EscapeStopsAndLeavesLaterEventsQueued) {
    at(5.0f, 0.01f);
    FakeConsole.pending.push_back(keyEvent(kVkEscape, true));
    FakeConsole.pending.push_back(keyEvent(kVkPrior, true));
    EXPECT_FALSE(app.handleInput());
    EXPECT_EQ(FakeConsole.pending.size(), 1u);
    EXPECT_EQ(app.clock.demoTime, 5.0f);
    EXPECT_FALSE(app.clock.paused);
}

TEST_F(ControlsTest, OtherKeysAndMuteToggles) {
    at(5.0f, 0.01f);
    stroke(kVkEnd);
    stroke('Q');
    app.handleInput();
    EXPECT_EQ(app.clock.demoTime, 5.0f);
    EXPECT_FALSE(app.clock.paused);
    EXPECT_FALSE(app.clock.muted);

    stroke(kVkM); // press and release: muting twice is muting once
    app.handleInput();
    EXPECT_TRUE(app.clock.muted);
    stroke(kVkN);
    app.handleInput();
    EXPECT_FALSE(app.clock.muted);
}

TEST_F(ControlsTest, TabStepsTheLayoutOncePerStrokeAndTouchesNothingElse) {
    at(5.0f, 0.01f);
    stroke(kVkTab); // the release must not step a second time
    FakeConsole.pending.push_back(keyEvent(kVkTab, true)); // an auto-repeat steps again
    EXPECT_TRUE(app.handleInput());
    EXPECT_EQ(FakeConsole.layoutCycles, 2);
    EXPECT_EQ(app.clock.demoTime, 5.0f);
    EXPECT_FALSE(app.clock.paused);
}

TEST_F(ControlsTest, SpaceSeedsTheFrameRateAndTheTitleSmoothsIt) {
    at(12.0f, 0.004f);
    handle(keyEvent(kVkSpace, true));
    EXPECT_TRUE(app.statisticsMode);
    EXPECT_TRUE(FakeConsole.mouseInput);
    EXPECT_FLOAT_EQ(app.smoothedFrameRate, 250.0f);

    app.updateTitle(); // r = 250 is above 100: counted as 100 frames per second
    EXPECT_FLOAT_EQ(app.smoothedFrameRate, 248.5f);
    EXPECT_EQ(FakeConsole.title, "Tempus 12.0 est, et FPS 248.5.");

    at(12.5f, 0.02f); // r = 50
    app.updateTitle();
    EXPECT_NEAR(app.smoothedFrameRate, 248.5f * 0.99f + 0.5f, 1e-3f);
    EXPECT_EQ(FakeConsole.title, "Tempus 12.5 est, et FPS 246.5.");
}

TEST_F(ControlsTest, TitleUnchangedOutsideStatisticsMode) {
    FakeConsole.title = "start";
    app.updateTitle();
    EXPECT_EQ(FakeConsole.title, "start");
}

TEST_F(ControlsTest, LeftDragSeeksATenthPerColumn) {
    at(12.34f, 0.01f);
    handle(mouseEvent(10, 7, kFromLeft1stButtonPressed, 0));
    EXPECT_TRUE(app.clock.paused);
    EXPECT_TRUE(app.pointerOverlay);
    EXPECT_TRUE(app.dragInProgress);
    EXPECT_EQ(app.dragAnchor, 133);

    handle(mouseEvent(15, 7, kFromLeft1stButtonPressed, kMouseMoved));
    EXPECT_NEAR(app.clock.demoTime, 11.8f, 1e-5f);
    handle(mouseEvent(5, 7, kFromLeft1stButtonPressed, kMouseMoved));
    EXPECT_NEAR(app.clock.demoTime, 12.8f, 1e-5f);

    handle(mouseEvent(5, 7, 0, 0)); // release ends the drag
    EXPECT_FALSE(app.dragInProgress);
    EXPECT_EQ(app.pointerColumn, 5);
}

// Drags have no floor at 0, so the time may stand anywhere when a drag starts; the anchor
// and the seek must not overflow, and the time stays within an hour either way.
TEST_F(ControlsTest, DragsFarFromTheDemoStayInRangeAndClamped) {
    struct Case {
        float start;
        int16_t from, to;
        float expected;
    } cases[] = {
        {-3.0e8f, 0, 79, -3600.0f},  // an anchor from -3e9 tenths would not fit 32 bits
        {-3599.5f, 0, 79, -3600.0f}, // a drag to the right stops at the limit
        {3.0e8f, 79, 0, 3600.0f},
        {-3599.5f, 79, 0, -3591.6f}, // inside the limit: 79 columns forward
    };
    for (const Case& c : cases) {
        at(c.start, 0.01f);
        app.dragInProgress = false;
        FakeConsole.pending.push_back(mouseEvent(c.from, 0, kFromLeft1stButtonPressed, 0));
        handle(mouseEvent(c.to, 0, kFromLeft1stButtonPressed, kMouseMoved));
        EXPECT_NEAR(app.clock.demoTime, c.expected, 1e-3f) << c.start << " " << c.to;
    }
}

TEST_F(ControlsTest, LeftDoubleClickResumesAndHidesThePointer) {
    at(20.0f, 0.01f);
    FakeConsole.pending.push_back(mouseEvent(3, 4, kFromLeft1stButtonPressed, 0));
    FakeConsole.pending.push_back(mouseEvent(3, 4, 0, 0));
    handle(mouseEvent(3, 4, kFromLeft1stButtonPressed, kDoubleClick));
    EXPECT_FALSE(app.clock.paused);
    EXPECT_FALSE(app.pointerOverlay);
}

TEST_F(ControlsTest, RightClicksPlaceAndRemoveTheMarker) {
    handle(mouseEvent(30, 20, kRightmostButtonPressed, 0));
    EXPECT_TRUE(app.markerOverlay);
    EXPECT_EQ(app.markerColumn, 30);
    EXPECT_EQ(app.markerRow, 20);
    EXPECT_FALSE(app.clock.paused); // the right button does not pause
    handle(mouseEvent(31, 21, kRightmostButtonPressed, kDoubleClick));
    EXPECT_FALSE(app.markerOverlay);
    EXPECT_EQ(app.markerColumn, 30);
}

TEST_F(ControlsTest, OverlaysPrintCoordinatesCutAtTheEdge) {
    app.console.fillRect(Cell{' ', 0}, 0, 0, 80, 50);
    app.pointerOverlay = true;
    app.pointerColumn = 74;
    app.pointerRow = 3;
    app.markerOverlay = true;
    app.markerColumn = 76;
    app.markerRow = 3;
    app.drawOverlay();
    // Pointer "\xC5(74,3)" from column 74, then the marker "\xC5(76,3)" over it from 76.
    EXPECT_EQ(row(3, 74, 6), std::string("\xC5(\xC5(76"));
    EXPECT_EQ(app.console.cells[3 * 80 + 76].attribute, 0xF0);
    EXPECT_EQ(app.console.cells[4 * 80 + 0].character, ' '); // nothing wraps

    app.markerOverlay = false;
    app.pointerColumn = 80; // outside: not drawn
    app.console.fillRect(Cell{' ', 0}, 0, 0, 80, 50);
    app.drawOverlay();
    for (int32_t i = 0; i < 80 * 50; ++i) ASSERT_EQ(app.console.cells[i].character, ' ');
}

TEST(FrameWait, SleepsTheRestOfTenMilliseconds) {
    struct Case {
        uint32_t frameEnd, now, wait;
    } cases[] = {
        {0, 5000, 0},        // first frame: never waits
        {1000, 1003, 7},     // 3 ms of work sleeps 7
        {1000, 1010, 0},     // exactly 10 ms
        {1000, 1250, 0},     // a late frame makes nothing up
        {1000, 1000, 10},    // no work at all
        {0xFFFFFFFEu, 1, 7}, // the counter wrapped 3 ms ago
        {5, 3, 0},           // a clock that went backwards
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frameWait(c.frameEnd, c.now), c.wait) << c.frameEnd << " " << c.now;
    }
}

} // namespace
