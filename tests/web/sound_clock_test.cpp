// The web audio back end's smoothed position: held until the sound is heard, even from frame
// to frame while the audio clock moves in steps, caught up or snapped when it drifts, and
// never past the stream's ends.
#include <gtest/gtest.h>

#include <cmath>

#include "web/sound_clock.h"

namespace {

struct SoundClockTest : ::testing::Test {
    SoundClock clock;
    void SetUp() override { clock.length = 60.0; }
};

TEST_F(SoundClockTest, HoldsAtTheOffsetUntilTheSoundIsHeardThenJumpsToIt) {
    clock.play(10.0, 5.0, 1000.0);
    EXPECT_EQ(clock.update(4.9, 1050.0), 10.0); // output latency not yet passed
    EXPECT_EQ(clock.update(5.0, 1060.0), 10.0);
    EXPECT_DOUBLE_EQ(clock.update(5.03, 1090.0), 10.03); // heard: takes the sound's position
}

TEST_F(SoundClockTest, GoesOnByTheWallClockWhenTheSoundNeverStartsAndJoinsItLater) {
    clock.play(2.0, 5.0, 0.0);
    EXPECT_EQ(clock.update(5.0, 2400.0), 2.0); // still held
    EXPECT_EQ(clock.update(5.0, 2500.0), 2.0); // the hold ends
    EXPECT_DOUBLE_EQ(clock.update(5.0, 2600.0), 2.1);
    EXPECT_DOUBLE_EQ(clock.update(5.0, 3600.0), 3.1);
    EXPECT_DOUBLE_EQ(clock.update(5.25, 3700.0), 2.25); // heard at last: with the sound
}

TEST_F(SoundClockTest, AdvancesEvenlyWhileTheAudioClockMovesInSteps) {
    // The audio clock moves in 21.3 ms callbacks (1,024 frames at 48 kHz); frames come every
    // 16.7 ms. Each frame's advance stays within 5 % of the wall time, and the position
    // follows the sound to within one callback.
    clock.play(0.0, 0.0, 0.0);
    const double callback = 1024.0 / 48000.0, frame = 1000.0 / 60.0;
    double last = clock.update(0.001, 1.0);
    double lastWall = 1.0;
    for (int k = 1; k <= 600; ++k) {
        const double wall = 1.0 + k * frame;
        const double audio = std::floor(wall * 0.001 / callback) * callback;
        const double position = clock.update(audio, wall);
        const double advance = position - last, elapsed = (wall - lastWall) * 0.001;
        ASSERT_GE(advance, 0.95 * elapsed - 1e-12) << k;
        ASSERT_LE(advance, 1.05 * elapsed + 1e-12) << k;
        if (k > 60) {
            ASSERT_NEAR(position, wall * 0.001, callback) << k;
        }
        last = position;
        lastWall = wall;
    }
}

TEST_F(SoundClockTest, SlewsAtMostFivePercentTowardsASmallGap) {
    clock.play(0.0, 0.0, 0.0);
    clock.update(0.001, 1.0); // heard at 0.001 s
    // The sound is 0.2 s ahead of where the wall clock puts the position: 10 ms of wall time
    // gain at most 0.5 ms extra.
    const double next = clock.update(0.211, 11.0);
    EXPECT_NEAR(next, 0.001 + 0.010 + 0.0005, 1e-9);
}

TEST_F(SoundClockTest, JumpsToTheSoundWhenItIsFarAway) {
    clock.play(0.0, 0.0, 0.0);
    clock.update(0.001, 1.0);
    EXPECT_DOUBLE_EQ(clock.update(1.5, 11.0), 1.5); // the output skipped ahead
    EXPECT_DOUBLE_EQ(clock.update(1.0, 21.0), 1.0); // or back
}

TEST_F(SoundClockTest, WaitsForAStalledAudioClock) {
    clock.play(0.0, 0.0, 0.0);
    clock.update(0.001, 1.0);
    double position = 0.0;
    for (int k = 1; k <= 30; ++k) position = clock.update(0.002, 1.0 + k * 16.0); // 0.48 s
    EXPECT_LE(position, 0.002 + 0.1 + 1e-9);
    EXPECT_GE(position, 0.002 + 0.1 - 0.0165);
}

TEST_F(SoundClockTest, StaysWithinTheStream) {
    struct Case {
        double offset, audioTime, expected;
    } cases[] = {
        {59.99, 0.5, 60.0}, // played to the end: stops there
        {70.0, 0.5, 60.0},  // started past the end
        {-3.0, 0.5, 0.0},   // before the start
    };
    for (const Case& c : cases) {
        SoundClock fresh;
        fresh.length = 60.0;
        fresh.play(c.offset, 0.0, 0.0);
        const double held = fresh.update(0.0, 1.0);
        EXPECT_GE(held, 0.0) << c.offset;
        EXPECT_LE(held, 60.0) << c.offset;
        EXPECT_DOUBLE_EQ(fresh.update(c.audioTime, 500.0), c.expected) << c.offset;
    }
}

TEST_F(SoundClockTest, StoppedStaysWhereItStoppedWhateverTheAudioClock) {
    clock.play(0.0, 0.0, 0.0);
    clock.update(1.0, 1000.0);
    clock.stop(12.5, 1100.0);
    EXPECT_EQ(clock.update(99.0, 5000.0), 12.5);
    EXPECT_EQ(clock.soundAt(99.0), 12.5);
}

TEST_F(SoundClockTest, TheSameInstantTwiceGivesTheSamePosition) {
    clock.play(0.0, 0.0, 0.0);
    clock.update(0.5, 500.0);
    const double first = clock.update(0.51, 510.0);
    EXPECT_EQ(clock.update(0.52, 510.0), first);
    EXPECT_EQ(clock.update(0.52, 505.0), first); // a wall clock that steps back
}

} // namespace
