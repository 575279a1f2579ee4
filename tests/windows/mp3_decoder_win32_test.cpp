// Mp3Decoder on the system's ACM decoder, with the test soundtrack: 3 s of a 440 Hz tone with
// a click at a known frame, LAME-encoded (tests/windows/make_test_mp3.cpp). Position 0 must be
// the first sample that went into the encoder, seeks must land on the very frame, and the
// header scan must survive cut and hostile bytes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "gfx/resource_blob.h"
#include "media/mp3_decoder_win32.h"
#include "windows_test_mp3.h"

namespace {

ResourceBlob testMp3() {
    ResourceBlob blob;
    blob.load("click.mp3", 10);
    return blob;
}

std::vector<int16_t> readAll(Mp3Decoder& decoder) {
    std::vector<int16_t> pcm(2 * (decoder.length + 4096));
    uint64_t done = 0;
    while (true) {
        const uint32_t got = decoder.read(pcm.data() + 2 * done, 1000);
        if (got == 0) break;
        done += got;
    }
    pcm.resize(2 * done);
    return pcm;
}

TEST(Mp3DecoderWin32, LengthIsWhatWentIntoTheEncoder) {
    const ResourceBlob blob = testMp3();
    ASSERT_NE(blob.data, nullptr);
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.open(blob.data, blob.size));
    EXPECT_EQ(decoder.sampleRate, 44100u);
    EXPECT_EQ(decoder.length, kTestMp3Frames);
    EXPECT_EQ(readAll(decoder).size(), 2 * kTestMp3Frames);
    EXPECT_EQ(decoder.read(nullptr, 100), 0u); // at the end, nothing more
}

TEST(Mp3DecoderWin32, PositionZeroIsTheFirstSampleOfTheMusic) {
    const ResourceBlob blob = testMp3();
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.open(blob.data, blob.size));
    const std::vector<int16_t> pcm = readAll(decoder);
    // With the delays trimmed right, the tone lines up with a cosine from frame 0 and what
    // is left over peaks at the click; any misalignment moves the peak by as much.
    size_t peak = 0;
    double largest = 0.0;
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const double tone =
            6000.0 * std::cos(2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / 44100.0);
        const double rest = std::fabs(pcm[2 * i] - tone);
        if (rest > largest) {
            largest = rest;
            peak = i;
        }
    }
    EXPECT_NEAR(static_cast<double>(peak), static_cast<double>(kTestMp3ClickFrame), 2.0);
    EXPECT_GT(largest, 8000.0);
}

TEST(Mp3DecoderWin32, SeekLandsOnTheFrame) {
    const ResourceBlob blob = testMp3();
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.open(blob.data, blob.size));
    const std::vector<int16_t> straight = readAll(decoder);
    // Packet edges (1,152 frames, shifted by the trimmed delay), the click, the last frame.
    const uint64_t targets[] = {0, 1, 575, 1151, 1152, 4607, 49990, 100000, kTestMp3Frames - 1};
    for (uint64_t target : targets) {
        SCOPED_TRACE(target);
        decoder.seek(target);
        EXPECT_EQ(decoder.position, target);
        int16_t got[2 * 64] = {};
        const uint32_t n = decoder.read(got, 64);
        EXPECT_EQ(n, std::min<uint64_t>(64, kTestMp3Frames - target));
        int worst = 0;
        for (uint32_t i = 0; i < 2 * n; ++i) {
            worst = std::max(worst, std::abs(got[i] - straight[2 * target + i]));
        }
        // The float decoder's rounding after a fresh start may differ by a step or two; a
        // frame off would differ by thousands (the tone moves up to 376 per frame).
        EXPECT_LE(worst, 8);
    }
}

TEST(Mp3DecoderWin32, SeekPastTheEndStopsAtTheEnd) {
    const ResourceBlob blob = testMp3();
    Mp3Decoder decoder;
    ASSERT_TRUE(decoder.open(blob.data, blob.size));
    decoder.seek(kTestMp3Frames + 5000);
    EXPECT_EQ(decoder.position, kTestMp3Frames);
    int16_t out[8];
    EXPECT_EQ(decoder.read(out, 4), 0u);
    decoder.seek(0); // and back again
    EXPECT_EQ(decoder.read(out, 4), 4u);
}

TEST(Mp3DecoderWin32, ScanFindsThePacketsAndTheTag) {
    const ResourceBlob blob = testMp3();
    Mp3Layout layout;
    ASSERT_TRUE(scanMp3(blob.data, blob.size, layout, nullptr, 0));
    EXPECT_TRUE(layout.hasInfoPacket);
    EXPECT_EQ(layout.channels, 2u);
    EXPECT_EQ(layout.firstBitrate, 128000u);
    // The packets hold the music plus the delay and padding the tag declares.
    EXPECT_EQ(uint64_t{layout.packetCount} * 1152,
              kTestMp3Frames + layout.encoderDelay + layout.encoderPadding);
}

TEST(Mp3DecoderWin32, HostileBytesAreRefused) {
    const ResourceBlob blob = testMp3();
    Mp3Layout layout;
    Mp3Decoder decoder;
    // Nothing, a lone header byte pair, an ID3 tag claiming more than there is, noise.
    const uint8_t sync[] = {0xFF, 0xFB};
    const uint8_t id3[] = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF, 0xFB, 0x90, 0x64};
    std::vector<uint8_t> noise(5000);
    uint32_t state = 1;
    for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 214013u + 2531011u) >> 16);
    EXPECT_FALSE(scanMp3(nullptr, 100, layout, nullptr, 0));
    EXPECT_FALSE(scanMp3(sync, sizeof sync, layout, nullptr, 0));
    EXPECT_FALSE(scanMp3(id3, sizeof id3, layout, nullptr, 0));
    EXPECT_FALSE(decoder.open(noise.data(), static_cast<uint32_t>(noise.size())));
    EXPECT_EQ(decoder.read(nullptr, 10), 0u);
    // A file cut inside a packet keeps the whole packets before the cut.
    Mp3Layout whole, cut;
    ASSERT_TRUE(scanMp3(blob.data, blob.size, whole, nullptr, 0));
    ASSERT_TRUE(scanMp3(blob.data, blob.size - 700, cut, nullptr, 0));
    EXPECT_LT(cut.packetCount, whole.packetCount);
    EXPECT_GE(cut.packetCount + 2, whole.packetCount);
    Mp3Decoder shortened;
    ASSERT_TRUE(shortened.open(blob.data, blob.size - 700));
    EXPECT_EQ(readAll(shortened).size(), 2 * shortened.length);
}

} // namespace
