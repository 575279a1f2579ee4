// The web audio back end under node, over a fake of the page's audio (fake_page_audio.js):
// the positions every back end shares, and a position that runs on the page's audio clock.
#include <gtest/gtest.h>

#include <emscripten.h>

#include "media/audio_backend.h"
#include "same_positions.h"

// clang-format off
EM_JS(void, setAudioClock, (double seconds), { Module.audio.clock = seconds; });
// The offset the page's playing source started at; -1 when none plays.
EM_JS(double, sourceOffset, (), {
    return Module.audio.source === null ? -1 : Module.audio.source;
});
// clang-format on

namespace {

struct WebAudioTest : ::testing::Test {
    AudioStream stream = 0;
    const uint8_t bytes[4] = {0xFF, 0xFB, 0x90, 0x00}; // decoded by the page, not here
    void SetUp() override {
        setAudioClock(0.0);
        ASSERT_TRUE(audioInit());
        stream = audioStreamCreate(bytes, sizeof bytes);
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override { audioFree(); }
    int64_t heard() {
        AudioPlayback facts;
        EXPECT_TRUE(audioReadPlayback(stream, facts));
        return facts.frames;
    }
};

TEST_F(WebAudioTest, ReportsTheSharedPositions) {
    expectSamePositions(stream);
}

TEST_F(WebAudioTest, PositionRunsOnTheAudioClockAndStandsWhereThePauseFoundIt) {
    setAudioClock(10.0);
    audioSetPosition(stream, 66150);
    audioPlay(stream, false);
    EXPECT_EQ(sourceOffset(), 1.5);
    setAudioClock(10.5);
    EXPECT_EQ(heard(), 88200); // 2.0 s
    audioPause(stream);
    EXPECT_EQ(sourceOffset(), -1.0);
    setAudioClock(20.0);
    EXPECT_EQ(heard(), 88200);
    audioPlay(stream, false);
    EXPECT_EQ(sourceOffset(), 2.0);
    setAudioClock(30.0);
    EXPECT_EQ(heard(), 3 * 44100); // the end, not past it
    audioFree();
    EXPECT_EQ(sourceOffset(), -1.0);
}

} // namespace
