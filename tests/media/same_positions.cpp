// The shared position table: seconds to frames (rounded to the nearest frame, clamped to the
// stream), the position a standing stream reports after each move, and seconds that come
// back to the frame they were made from.
#include "same_positions.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr uint64_t kEnd = 3 * 44100;

} // namespace

void expectSamePositions(AudioStream stream) {
    ASSERT_NE(stream, 0u);
    const struct {
        const char* what;
        float seconds;
        uint64_t frames;
    } rows[] = {
        {"a whole frame", 1.5f, 66150},
        {"the first frame, from its float seconds", 1.0f / 44100, 1},
        {"under half a frame", 0.00001f, 0},        // 0.441 frames
        {"over half a frame", 0.00002f, 1},         // 0.882 frames
        {"just short of the end", 2.9999f, 132296}, // 132,295.6 frames
        {"the end", 3.0f, kEnd},
        {"past the end", 10.0f, kEnd},
        {"far past the end", 4294966.8f, kEnd},
        {"negative", -1.0f, 0},
        {"negative zero", -0.0f, 0},
        {"not a number", NAN, 0},
        {"infinite", INFINITY, 0},
        {"negative infinite", -INFINITY, 0},
    };
    AudioPlayback facts;
    ASSERT_TRUE(audioReadPlayback(stream, facts));
    for (const auto& row : rows) {
        const uint32_t before = facts.epoch;
        const uint64_t frames = audioSecondsToPosition(stream, row.seconds);
        EXPECT_EQ(frames, row.frames) << row.what;
        audioSetPosition(stream, frames);
        ASSERT_TRUE(audioReadPlayback(stream, facts));
        EXPECT_NE(facts.epoch, before) << row.what << ": a move begins an epoch";
        EXPECT_FALSE(facts.sounding) << row.what;
        EXPECT_EQ(facts.frames, static_cast<int64_t>(row.frames)) << row.what;
        EXPECT_EQ(facts.lengthFrames, static_cast<int64_t>(kEnd)) << row.what;
        EXPECT_EQ(facts.framesPerSecond, 44100u) << row.what;
    }
    EXPECT_EQ(audioPositionToSeconds(stream, 66150), 1.5f);
    EXPECT_EQ(audioPositionToSeconds(stream, kEnd), 3.0f);
    // A paused clock resumes the stream at the seconds it read from it: every frame of a
    // second (floats are coarsest at the end) must come back to itself.
    int strays = 0;
    for (uint64_t frame = kEnd - 44100; frame <= kEnd; ++frame) {
        strays += audioSecondsToPosition(stream, audioPositionToSeconds(stream, frame)) != frame;
    }
    EXPECT_EQ(strays, 0);
    // Frames given past the end stand at the end.
    audioSetPosition(stream, uint64_t{1} << 40);
    ASSERT_TRUE(audioReadPlayback(stream, facts));
    EXPECT_EQ(facts.frames, static_cast<int64_t>(kEnd));
    // Play from 1.5 s and pause: the stream stands where it stopped, no earlier.
    audioSetPosition(stream, 66150);
    audioPlay(stream, false);
    audioPause(stream);
    ASSERT_TRUE(audioReadPlayback(stream, facts));
    EXPECT_FALSE(facts.sounding);
    EXPECT_GE(facts.frames, 66150);
    EXPECT_LT(facts.frames, 66150 + 44100);
    // An unknown handle names nothing.
    EXPECT_EQ(audioSecondsToPosition(stream + 1, 1.5f), 0u);
    EXPECT_EQ(audioPositionToSeconds(stream + 1, 66150), 0.0f);
    EXPECT_FALSE(audioReadPlayback(stream + 1, facts));
}
