// MusicClock against the fake audio back end and the fake timer: frame deltas, the three
// sources of the demo time (stream, timer, frozen) and what each control asks of the stream.
#include <cmath>
#include <gtest/gtest.h>

#include "fake_media.h"
#include "gfx/resource_blob.h"
#include "media/music_clock.h"

namespace {

class MusicClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeAudio = FakeAudio{};
        fakeTimer = FakeTimer{};
        fakeTimer.now = 5000;
        ASSERT_TRUE(startAudio());
    }
    void TearDown() override { stopAudio(); }

    // The log entries added since the last call.
    std::string newCalls() {
        std::string entries = fakeAudio.log.substr(seen);
        seen = fakeAudio.log.size();
        if (!entries.empty() && entries[0] == ' ') entries.erase(0, 1);
        return entries;
    }
    void advance(uint32_t ms) { fakeTimer.now += ms; }

    const uint8_t bytes[4] = {0xFF, 0xFB, 0x90, 0x00};
    ResourceBlob blob{bytes, sizeof bytes};
    MusicClock clock;
    size_t seen = 0;
};

// [SECTION] update

TEST_F(MusicClockTest, FrameDeltaNeverBelowOneMillisecond) {
    ASSERT_TRUE(clock.start(blob));
    clock.update(); // same millisecond as the start
    EXPECT_EQ(clock.frameDelta, 0.001f);
    clock.update();
    EXPECT_EQ(clock.frameDelta, 0.001f);
    advance(16);
    clock.update();
    EXPECT_FLOAT_EQ(clock.frameDelta, 0.016f);
    advance(1);
    clock.update();
    EXPECT_FLOAT_EQ(clock.frameDelta, 0.001f);
}

TEST_F(MusicClockTest, TimerWrapDisturbsNeitherDeltaNorTimerTime) {
    fakeTimer.now = 0xFFFFFFF6u; // 10 ms before the counter wraps
    clock.startSilent();
    advance(25); // now 15
    clock.update();
    EXPECT_FLOAT_EQ(clock.frameDelta, 0.025f);
    EXPECT_FLOAT_EQ(clock.demoTime, 0.025f);
}

TEST_F(MusicClockTest, PlayingDemoTimeIsStreamPosition) {
    ASSERT_TRUE(clock.start(blob));
    EXPECT_EQ(newCalls(), "create:1 play:1:restart");
    fakeAudioStandAt(66150); // 1.5 s at 44,100 frames per second
    advance(7);              // the wall clock does not matter here
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 1.5f);
}

// [SECTION] setPaused and seek

TEST_F(MusicClockTest, PausedFreezesDemoTimeWhileDeltaMeasuresWallTime) {
    ASSERT_TRUE(clock.start(blob));
    fakeAudioStandAt(44100);
    clock.update();
    newCalls();
    clock.setPaused(true);
    clock.setPaused(true);
    EXPECT_EQ(newCalls(), "pause:1");
    for (int frame = 0; frame < 3; ++frame) {
        fakeAudioStandAt(44100 + 882 * (frame + 1)); // not asked while paused
        advance(20);
        clock.update();
        EXPECT_FLOAT_EQ(clock.demoTime, 1.0f);
        EXPECT_FLOAT_EQ(clock.frameDelta, 0.020f);
    }
}

TEST_F(MusicClockTest, SeekWhilePausedSetsStreamOnlyOnResume) {
    ASSERT_TRUE(clock.start(blob));
    clock.setPaused(true);
    newCalls();
    clock.seek(12.5f);
    EXPECT_EQ(newCalls(), "");
    EXPECT_FLOAT_EQ(clock.demoTime, 12.5f);
    advance(100);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 12.5f);
    clock.setPaused(false);
    clock.setPaused(false);
    // 12.5 s = 551,250 frames; played on, not restarted.
    EXPECT_EQ(newCalls(), "set:1:551250 play:1");
    advance(10);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 12.5f);
}

TEST_F(MusicClockTest, SeekWhilePlayingMovesStreamAtOnce) {
    ASSERT_TRUE(clock.start(blob));
    newCalls();
    clock.seek(3.0f);
    EXPECT_EQ(newCalls(), "set:1:132300");
    EXPECT_FLOAT_EQ(clock.demoTime, 3.0f);
    advance(10);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 3.0f);
}

TEST_F(MusicClockTest, NegativeSeekThenResumeWhileMutedWrapsFarAhead) {
    ASSERT_TRUE(clock.start(blob));
    clock.setMuted(true);
    clock.setPaused(true);
    newCalls();
    clock.seek(-0.5f);
    clock.setPaused(false);
    clock.update();
    // The origin lies 500 ms ahead of the counter: (2^32 - 500) ms.
    EXPECT_NEAR(clock.demoTime, 4294966.796, 0.5);
    EXPECT_EQ(newCalls(), "");
}

// Seconds become timer milliseconds by truncation toward zero, with the product in double,
// both in a seek and in a resume from a frozen time.
TEST_F(MusicClockTest, TimerOffsetsTruncateTowardZero) {
    struct Case {
        float seconds;
        float expected; // demo time read from the timer in the same millisecond
    } cases[] = {
        {1.2345f, 1.234f}, // 1234.5 ms: not rounded up
        {0.7f, 0.699f},    // 0.7f is 699.99998... ms in double (700 in float arithmetic)
        {-0.0006f, 0.0f},  // -0.6 ms is 0, not -1 (which would put the origin ahead)
    };
    clock.startSilent();
    for (const Case& c : cases) {
        clock.seek(c.seconds);
        clock.update();
        EXPECT_FLOAT_EQ(clock.demoTime, c.expected) << "seek " << c.seconds;
        clock.setPaused(true);
        clock.seek(c.seconds);
        advance(1000); // the seek's origin goes stale: the resume must set it afresh
        clock.setPaused(false);
        clock.update();
        EXPECT_FLOAT_EQ(clock.demoTime, c.expected) << "resume " << c.seconds;
    }
}

TEST_F(MusicClockTest, NonFiniteSeekRestartsTimerTimeAtZero) {
    clock.startSilent();
    advance(3000);
    clock.seek(INFINITY);
    advance(40);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 0.040f);
}

// [SECTION] setMuted

TEST_F(MusicClockTest, MuteRunsOnTimerFromOriginAndUnmuteSetsStream) {
    ASSERT_TRUE(clock.start(blob)); // origin 5000 ms
    advance(2000);
    fakeAudioStandAt(88200);
    clock.update();
    newCalls();
    clock.setMuted(true);
    clock.setMuted(true);
    EXPECT_EQ(newCalls(), "pause:1");
    advance(500);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 2.5f);
    clock.setMuted(false);
    EXPECT_EQ(newCalls(), "set:1:110250 play:1");
}

TEST_F(MusicClockTest, PauseAndResumeWhileMutedLeaveStreamAlone) {
    ASSERT_TRUE(clock.start(blob));
    clock.setMuted(true);
    advance(2000);
    clock.update();
    newCalls();
    clock.setPaused(true);
    advance(5000);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 2.0f);
    clock.setPaused(false);
    EXPECT_EQ(newCalls(), "");
    advance(250);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 2.25f); // on from where it froze
    // Unmuting while paused does not play either; the resume then does.
    clock.setPaused(true);
    clock.setMuted(false);
    EXPECT_EQ(newCalls(), "");
    clock.setPaused(false);
    EXPECT_EQ(newCalls(), "set:1:99225 play:1");
}

// [SECTION] start, startSilent, release

TEST_F(MusicClockTest, StartFreesExistingStreamAndResets) {
    ASSERT_TRUE(clock.start(blob));
    clock.seek(5.0f);
    advance(30);
    clock.update();
    newCalls();
    ASSERT_TRUE(clock.start(blob));
    EXPECT_EQ(newCalls(), "free:1 create:2 play:2:restart");
    EXPECT_EQ(clock.stream, 2u);
    EXPECT_EQ(clock.demoTime, 0.0f);
    EXPECT_EQ(clock.frameDelta, 0.001f);
    EXPECT_EQ(clock.timerOrigin, fakeTimer.now);
    // Muted, the new stream is created but stays paused.
    clock.setMuted(true);
    newCalls();
    ASSERT_TRUE(clock.start(blob));
    EXPECT_EQ(newCalls(), "free:2 create:3");
}

TEST_F(MusicClockTest, FailedStartLeavesNoStream) {
    ASSERT_TRUE(clock.start(blob));
    advance(30);
    clock.update();
    fakeAudio.createResult = false;
    EXPECT_FALSE(clock.start(blob));
    EXPECT_EQ(clock.stream, 0u);
    EXPECT_EQ(clock.demoTime, 0.0f);
    EXPECT_EQ(newCalls(), "create:1 play:1:restart free:1 create:failed");
}

TEST_F(MusicClockTest, ReleaseAfterStopAudioIsHarmless) {
    ASSERT_TRUE(clock.start(blob));
    clock.setMuted(true);
    advance(1000);
    clock.update();
    stopAudio();
    newCalls();
    clock.release();
    clock.release();
    EXPECT_EQ(newCalls(), "free:1");
    EXPECT_EQ(clock.stream, 0u);
    EXPECT_EQ(clock.demoTime, 0.0f);
    EXPECT_EQ(clock.frameDelta, 0.001f);
    EXPECT_TRUE(clock.muted); // flags and stamps stay
    EXPECT_EQ(clock.lastUpdateStamp, fakeTimer.now);
}

TEST_F(MusicClockTest, SilentClockRunsOnTimerWhateverTheControls) {
    clock.startSilent();
    EXPECT_TRUE(clock.muted);
    advance(1500);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 1.5f);
    clock.setMuted(false); // N: there is no stream to play
    advance(500);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 2.0f);
    clock.setPaused(true);
    advance(700);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 2.0f);
    clock.seek(10.0f);
    clock.setPaused(false);
    advance(250);
    clock.update();
    EXPECT_FLOAT_EQ(clock.demoTime, 10.25f);
    EXPECT_EQ(fakeAudio.log, "");
}

// [SECTION] startAudio and stopAudio

// The fine timer period belongs to the application (the silent demo paces on it too).
TEST(AudioModule, LeavesTheTimerPeriodAlone) {
    fakeAudio = FakeAudio{};
    fakeTimer = FakeTimer{};
    fakeAudio.initResult = false;
    EXPECT_FALSE(startAudio());
    stopAudio();
    fakeAudio.initResult = true;
    ASSERT_TRUE(startAudio());
    stopAudio();
    stopAudio();
    EXPECT_FALSE(fakeAudio.initialised);
    EXPECT_EQ(fakeTimer.begun, 0);
    EXPECT_EQ(fakeTimer.ended, 0);
}

} // namespace
