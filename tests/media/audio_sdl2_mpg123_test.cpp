// The SDL2 + libmpg123 audio back end under SDL's dummy and disk drivers (no sound device
// needed), with a 3-second MP3 encoded by the test: the positions every back end shares, exact
// positions, seeks out of range, playing and pausing, hostile bytes, and freeing in every order.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "media/audio_backend.h"
#include "same_positions.h"
#include "test_tone_mp3.h"

namespace {

constexpr uint64_t kLength = 3 * 44100; // frames of the test MP3
constexpr uint64_t kClick = 66150;      // 1.5 s

void sleepFor(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Where the stream is by the back end's facts alone; 0 for an unknown handle.
uint64_t audioGetPosition(AudioStream stream) {
    AudioPlayback facts;
    if (!audioReadPlayback(stream, facts)) return 0;
    return static_cast<uint64_t>(facts.heardAt(audioNowNanoseconds()));
}

class AudioBackendTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { mp3 = encodeMp3(makeToneWithClick(kLength, kClick)); }
    void SetUp() override {
        ASSERT_FALSE(mp3.empty());
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(audioInit());
    }
    void TearDown() override { audioFree(); }
    AudioStream create() {
        return audioStreamCreate(mp3.data(), static_cast<uint32_t>(mp3.size()));
    }
    static std::vector<uint8_t> mp3;
};
std::vector<uint8_t> AudioBackendTest::mp3;

// [SECTION] Opening the output

TEST_F(AudioBackendTest, LeavesInterruptAndTerminateToTheProgram) {
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
    }
}

TEST_F(AudioBackendTest, PrintsNothingWhileOpeningTheOutput) {
    audioFree();
    // The machine's own choice of driver; with no sound server and no card, ALSA complains
    // on standard error unless the back end has pointed it elsewhere.
    unsetenv("SDL_AUDIODRIVER");
    setenv("PULSE_SERVER", "unix:/nonexistent/kaveo-test", 1);
    const std::string path = testing::TempDir() + "kaveo_audio_stderr.txt";
    const int capture = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(capture, 0);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture, STDERR_FILENO);
    close(capture);
    if (audioInit()) audioFree();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    unsetenv("PULSE_SERVER");
    std::string printed;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            printed += static_cast<char>(c);
        std::fclose(file);
    }
    std::remove(path.c_str());
    EXPECT_EQ(printed, "");
}

// [SECTION] Positions every back end reports alike

TEST_F(AudioBackendTest, ReportsTheSharedPositions) {
    expectSamePositions(create());
}

// [SECTION] Creating and freeing

TEST_F(AudioBackendTest, CreateRejectsWhatItCannotPlay) {
    EXPECT_EQ(audioStreamCreate(nullptr, 100), 0u);
    EXPECT_EQ(audioStreamCreate(mp3.data(), 0), 0u);
    const std::string text(20000, 'x');
    EXPECT_EQ(audioStreamCreate(reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<uint32_t>(text.size())),
              0u);
    // A cut-off file plays what it holds.
    const AudioStream cut = audioStreamCreate(mp3.data(), static_cast<uint32_t>(mp3.size() / 2));
    ASSERT_NE(cut, 0u);
    audioSetPosition(cut, kLength);
    EXPECT_LT(audioGetPosition(cut), kLength);
    EXPECT_GT(audioGetPosition(cut), kLength / 3);
    // One stream at a time: a second is refused until the first is freed.
    EXPECT_EQ(create(), 0u);
    audioStreamFree(cut);
    const AudioStream next = create();
    EXPECT_NE(next, 0u);
    EXPECT_NE(next, cut);
    // The old handle names nothing any more.
    audioSetPosition(cut, 100);
    audioStreamFree(cut);
    EXPECT_EQ(audioGetPosition(cut), 0u);
    EXPECT_EQ(audioGetPosition(next), 0u);
}

TEST_F(AudioBackendTest, FreeWhilePlayingThenCreateAgain) {
    const AudioStream first = create();
    ASSERT_NE(first, 0u);
    audioPlay(first, true);
    sleepFor(60); // the audio thread decodes meanwhile
    audioStreamFree(first);
    const AudioStream second = create();
    ASSERT_NE(second, 0u);
    audioSetPosition(second, kClick);
    audioPlay(second, false);
    sleepFor(60);
    EXPECT_GT(audioGetPosition(second), kClick);
    audioStreamFree(second);
}

TEST_F(AudioBackendTest, FreeingAfterShutdownIsHarmless) {
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    audioPlay(stream, true);
    sleepFor(30);
    audioFree();
    audioStreamFree(stream);
    audioFree();
    EXPECT_EQ(audioGetPosition(stream), 0u);
    audioPlay(stream, false);
    EXPECT_EQ(create(), 0u); // no output, no stream
    ASSERT_TRUE(audioInit());
    const AudioStream again = create();
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, stream);
}

// [SECTION] Positions, playing and pausing

TEST_F(AudioBackendTest, PausedPositionIsExactAndClampedToTheEnd) {
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(audioGetPosition(stream), 0u);
    audioSetPosition(stream, kClick);
    EXPECT_EQ(audioGetPosition(stream), kClick);
    // The encoder delay and padding are trimmed: the stream is exactly 3 s long.
    audioSetPosition(stream, uint64_t{1} << 40);
    EXPECT_EQ(audioGetPosition(stream), kLength);
    audioSetPosition(stream, audioSecondsToPosition(stream, -2.0f));
    EXPECT_EQ(audioGetPosition(stream), 0u);
}

TEST_F(AudioBackendTest, PlayAdvancesAndPauseFreezes) {
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    audioSetPosition(stream, 44100);
    audioPlay(stream, false);
    sleepFor(100);
    const uint64_t played = audioGetPosition(stream);
    EXPECT_GT(played, 44100u + 2205u); // at least 50 ms on
    EXPECT_LT(played, 2u * 44100u);    // and less than a second
    audioPause(stream);
    const uint64_t paused = audioGetPosition(stream);
    EXPECT_GE(paused, played);
    sleepFor(50);
    EXPECT_EQ(audioGetPosition(stream), paused);
    audioPlay(stream, false); // on from where it stopped
    const uint64_t resumed = audioGetPosition(stream);
    EXPECT_GE(resumed, paused);
    EXPECT_LT(resumed, paused + 4410u);
    audioPlay(stream, true); // from the start
    EXPECT_LT(audioGetPosition(stream), 4410u);
}

TEST_F(AudioBackendTest, PlayingStopsAtTheEnd) {
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    audioPlay(stream, true);
    audioSetPosition(stream, kLength - 441); // 10 ms before the end
    sleepFor(60);
    EXPECT_EQ(audioGetPosition(stream), kLength);
    sleepFor(20);
    EXPECT_EQ(audioGetPosition(stream), kLength);
}

// [SECTION] What is heard (SDL's disk driver writes the output to a file)

// Frames of `pcm` (interleaved stereo) from `from` on: the first that is not silent.
size_t firstSound(const std::vector<int16_t>& pcm, size_t from) {
    for (size_t i = from; i < pcm.size() / 2; ++i) {
        if (pcm[2 * i] != 0 || pcm[2 * i + 1] != 0) return i;
    }
    return pcm.size() / 2;
}

// The loudest frame of the left channel in [from, to).
size_t loudest(const std::vector<int16_t>& pcm, size_t from, size_t to) {
    size_t best = from;
    for (size_t i = from; i < to && i < pcm.size() / 2; ++i) {
        if (std::abs(pcm[2 * i]) > std::abs(pcm[2 * best])) best = i;
    }
    return best;
}

// Restarts the output on SDL's disk driver, which writes what it plays to `path`.
void openDiskOutput(const std::string& path) {
    audioFree();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    // 20 ms per 46 ms buffer: fast, but slow enough that the decoding thread keeps ahead even
    // under ThreadSanitizer (the disk driver does not wait for it, unlike a real device).
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    ASSERT_TRUE(audioInit());
}

std::vector<int16_t> readPcm(const std::string& path) {
    std::vector<int16_t> pcm;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        int16_t block[4096];
        size_t got = 0;
        while ((got = std::fread(block, sizeof block[0], 4096, file)) > 0) {
            pcm.insert(pcm.end(), block, block + got);
        }
        std::fclose(file);
    }
    std::remove(path.c_str());
    return pcm;
}

// A pause and the shutdown each end the sound with a fade of about 20 ms (882 frames), not
// a cut: the tone (amplitude 6,000) falls steadily to silence.
TEST_F(AudioBackendTest, EveryStopFadesOut) {
    const std::string path = testing::TempDir() + "kaveo_audio_fade.raw";
    openDiskOutput(path);
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    audioPlay(stream, true);
    sleepFor(40);
    audioPause(stream);
    sleepFor(40);
    audioPlay(stream, false);
    sleepFor(40);
    audioFree(); // the second stop
    const std::vector<int16_t> pcm = readPcm(path);
    int stops = 0;
    for (size_t i = 1200; i < pcm.size() / 2; ++i) {
        if (pcm[2 * i] != 0 || pcm[2 * (i - 1)] == 0) continue;
        // Sound ends at frame i - 1 (the tone crosses zero too, so ask for 64 silent frames).
        bool silentAfter = true;
        for (size_t j = i; j < i + 64 && j < pcm.size() / 2; ++j) silentAfter &= pcm[2 * j] == 0;
        if (!silentAfter) continue;
        ++stops;
        int loudestEarly = 0;
        int loudestLate = 0;
        for (size_t j = i - 1100; j < i - 900; ++j)
            loudestEarly = std::max(loudestEarly, std::abs(pcm[2 * j]));
        for (size_t j = i - 200; j < i; ++j)
            loudestLate = std::max(loudestLate, std::abs(pcm[2 * j]));
        EXPECT_GT(loudestEarly, 5500) << "stop " << stops; // the tone before the fade
        EXPECT_LT(loudestLate, 1600) << "stop " << stops;  // the last 200 frames: under a quarter
    }
    EXPECT_EQ(stops, 2);
}

TEST_F(AudioBackendTest, SoundStartsExactlyAtThePosition) {
    const std::string path = testing::TempDir() + "kaveo_audio_disk.raw";
    openDiskOutput(path);
    const AudioStream stream = create();
    ASSERT_NE(stream, 0u);
    sleepFor(20); // some silence first
    audioPlay(stream, true);
    sleepFor(1700); // the whole stream (about 1.3 s), then silence
    audioPause(stream);
    audioSetPosition(stream, kClick - 4410); // 0.1 s before the click
    audioPlay(stream, false);
    sleepFor(150);
    audioFree();

    const std::vector<int16_t> pcm = readPcm(path);
    ASSERT_GT(pcm.size(), 2 * (kLength + 44100));

    // From the start: the click lies exactly kClick frames after the first sound.
    const size_t start = firstSound(pcm, 0);
    ASSERT_GT(start, 0u);
    EXPECT_EQ(loudest(pcm, start, start + kLength) - start, kClick);
    // After the seek: 4,410 frames after the sound starts again.
    const size_t resumed = firstSound(pcm, start + kLength);
    ASSERT_LT(resumed + 8820, pcm.size() / 2);
    EXPECT_EQ(loudest(pcm, resumed, resumed + 8820) - resumed, 4410u);
}

} // namespace
