// The MP4 capture decoded with FFmpeg's libraries: its streams, timing and durations, its
// pictures recognised against `kaveo render`, and picture and sound in step on a beat.
#include <cmath>

#include "capture_fixture.h"
#include "demo/beat_tables.h"

namespace {

using CaptureVideo = CaptureTest;

// The whole demo at a low frame rate: as long in sound as in pictures.
TEST_F(CaptureVideo, WholeDemoHasEqualVideoAndAudioDurations) {
    ASSERT_EQ(runCapture({path("demo.mp4"), "--fps", "5", "--quality", "40"}), 0);
    DecodedVideo video;
    ASSERT_TRUE(decodeMp4(path("demo.mp4"), {}, video));
    EXPECT_EQ(video.videoFrames, 296); // frames 0 .. 295 at 0.2 s, the last at 59.0 s
    EXPECT_NEAR(video.videoSeconds, 59.2, 1e-6);
    EXPECT_NEAR(static_cast<double>(video.audioSamples) / video.sampleRate, video.videoSeconds,
                1.0 / 5);
    EXPECT_EQ(files(), std::vector<std::string>{"demo.mp4"}); // no temporary file left
}

class CaptureExcerpt : public CaptureTest {
  protected:
    // 20.0 s to 20.5 s at 10 fps: frames 200 .. 205.
    void SetUp() override {
        CaptureTest::SetUp();
        ASSERT_EQ(runCapture({path("part.mp4"), "--fps", "10", "--from", "20", "--to", "20.5"}), 0);
        ASSERT_TRUE(decodeMp4(path("part.mp4"), {0, 3}, video));
    }
    DecodedVideo video;
};

TEST_F(CaptureExcerpt, HasH264AndAacStreamsStartingAtZero) {
    EXPECT_EQ(video.videoCodec, "h264");
    EXPECT_EQ(video.pixelFormat, "yuv420p");
    EXPECT_EQ(video.width, 1280);
    EXPECT_EQ(video.height, 800);
    EXPECT_DOUBLE_EQ(video.frameRate, 10.0);
    EXPECT_EQ(video.videoFrames, 6);
    EXPECT_EQ(video.audioCodec, "aac");
    EXPECT_EQ(video.sampleRate, 44100);
    EXPECT_EQ(video.channels, 2);
    EXPECT_DOUBLE_EQ(video.videoStart, 0.0);
    EXPECT_DOUBLE_EQ(video.audioStart, 0.0);
    EXPECT_NEAR(video.videoSeconds, 0.6, 1e-6);
    EXPECT_NEAR(static_cast<double>(video.audioSamples) / 44100, 0.6, 0.1);
}

// H.264 is lossy: nearly every cell must still read back as the renderer's.
TEST_F(CaptureExcerpt, FramesShowTheRenderedCells) {
    ASSERT_EQ(video.frames.size(), 2u);
    const uint64_t shown[2] = {200, 203};
    for (int i = 0; i < 2; ++i) {
        std::string mismatch;
        const int matching =
            matchingCells(video.frames[i], 1, renderedFrame(shown[i], 10), mismatch);
        RecordProperty("cells_matching_frame_" + std::to_string(shown[i]), matching);
        EXPECT_GE(matching, 3960) << "frame " << shown[i] << ", first mismatch " << mismatch;
    }
}

// A flash's first bright frame and its beat's sound start together. The sound's onset is
// where its short-time energy rises most near the beat, whatever the music is.
TEST_F(CaptureTest, NoiseFlashAndItsBeatStartWithinOneFrame) {
    const double beat = MainBeats[4]; // a flash beat that starts no caption
    const int fps = 60;
    const double from = std::floor((beat - 0.2) * fps) / fps;
    ASSERT_EQ(runCapture({path("beat.mp4"), "--from", std::to_string(from), "--to",
                          std::to_string(from + 0.4), "--scale", "1"}),
              0);
    std::set<int64_t> all;
    for (int64_t i = 0; i < 25; ++i) all.insert(i);
    DecodedVideo video;
    ASSERT_TRUE(decodeMp4(path("beat.mp4"), all, video));
    ASSERT_GE(video.frames.size(), 24u);

    std::vector<double> brightness;
    for (const VideoFrame& frame : video.frames) {
        double sum = 0;
        for (uint8_t luma : frame.y) sum += luma;
        brightness.push_back(sum / static_cast<double>(frame.y.size()));
    }
    size_t flash = 1;
    for (size_t i = 2; i < brightness.size(); ++i)
        if (brightness[i] - brightness[i - 1] > brightness[flash] - brightness[flash - 1])
            flash = i;
    const double flashTime = static_cast<double>(flash) / fps;

    const int window = 44100 / 400; // 2.5 ms
    std::vector<double> energy;
    for (size_t at = 0; at + window <= video.sound.size(); at += window) {
        double e = 0;
        for (size_t i = at; i < at + window; ++i) e += video.sound[i] * video.sound[i];
        energy.push_back(e);
    }
    size_t onset = 1;
    for (size_t i = 2; i < energy.size(); ++i)
        if (energy[i] - energy[i - 1] > energy[onset] - energy[onset - 1]) onset = i;
    const double onsetTime = static_cast<double>(onset * window) / 44100;

    EXPECT_NEAR(flashTime, beat - from, 1.0 / fps);
    EXPECT_NEAR(onsetTime, flashTime, 1.0 / fps)
        << "flash at " << flashTime << " s, sound onset at " << onsetTime << " s";
}

} // namespace
