// Tests of the composer's mastering stage: the limiter's ceiling at the buffer's edges and
// between samples, its release, the loudness reading, the fades and the DC blocker; and the
// mixing desk's master fader, which breaks the mix off before the drop and fades it out.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mastering.h"
#include "mix.h"

namespace {

using composer::StereoBuffer;

constexpr int32_t kRate = 44100;

StereoBuffer silence(int32_t frames) {
    StereoBuffer b;
    b.resize(frames);
    return b;
}

StereoBuffer sine(int32_t frames, double hz, double amplitude, double phase = 0.0) {
    StereoBuffer b = silence(frames);
    for (int32_t i = 0; i < frames; ++i) {
        const float v =
            static_cast<float>(amplitude * std::sin(2.0 * M_PI * hz * i / kRate + phase));
        b.left[static_cast<size_t>(i)] = v;
        b.right[static_cast<size_t>(i)] = v;
    }
    return b;
}

float peakOf(const StereoBuffer& b) {
    float p = 0.0f;
    for (size_t i = 0; i < b.left.size(); ++i)
        p = std::max({p, std::fabs(b.left[i]), std::fabs(b.right[i])});
    return p;
}

void limit(StereoBuffer& b, double gainDb, double ceilingDb) {
    const std::vector<float> peaks = composer::peakEnvelope(b);
    composer::limitPeaks(b, peaks, gainDb, ceilingDb, 0.08);
}

} // namespace

TEST(SoundtrackLimiter, HoldsTheCeilingAtEveryPosition) {
    // Full-scale clicks at the first frame, in the middle and at the last frame: the
    // look-ahead must also work where it has no room before or after.
    const int32_t n = kRate / 2;
    for (int32_t at : {0, n / 2, n - 1}) {
        StereoBuffer b = silence(n);
        b.left[static_cast<size_t>(at)] = 1.0f;
        b.right[static_cast<size_t>(at)] = -1.0f;
        limit(b, 0.0, -6.0);
        EXPECT_LE(peakOf(b), 0.5012f + 1e-4f) << "click at frame " << at;
    }
    // A square at full scale driven 12 dB harder.
    StereoBuffer square = silence(n);
    for (int32_t i = 0; i < n; ++i) {
        const float v = (i / 50) % 2 == 0 ? 1.0f : -1.0f;
        square.left[static_cast<size_t>(i)] = v;
        square.right[static_cast<size_t>(i)] = v;
    }
    limit(square, 12.0, -3.0);
    EXPECT_LE(peakOf(square), 0.7079f + 1e-4f);
}

TEST(SoundtrackLimiter, CatchesPeaksBetweenSamples) {
    // A quarter-rate sine at 45 degrees has every sample at 0.707 of its true peak 1.0:
    // under a 0.8 ceiling by the samples, over it by the wave. Held at the wave's peak,
    // the samples may reach at most 0.8 x 0.707 = 0.566.
    StereoBuffer b = sine(kRate / 4, kRate / 4.0, 1.0, M_PI / 4.0);
    limit(b, 0.0, 20.0 * std::log10(0.8));
    const size_t mid = b.left.size() / 2;
    EXPECT_LE(std::fabs(b.left[mid]), 0.5657f + 1e-3f);
    EXPECT_GT(std::fabs(b.left[mid]), 0.5f);
}

TEST(SoundtrackLimiter, AppliesGainAndRecovers) {
    // Below the ceiling the limiter is only a gain: +6.02 dB doubles every sample.
    StereoBuffer quiet = sine(kRate / 10, 440.0, 0.1);
    const StereoBuffer original = quiet;
    limit(quiet, 20.0 * std::log10(2.0), -1.0);
    for (size_t i = 0; i < quiet.left.size(); i += 97)
        EXPECT_NEAR(2.0f * original.left[i], quiet.left[i], 1e-5f);

    // One loud click in a steady tone: the gain drops for it, then comes back within
    // the release instead of staying down.
    StereoBuffer tone = sine(kRate, 220.0, 0.25);
    tone.left[kRate / 10] = 1.0f;
    limit(tone, 0.0, -6.0);
    float late = 0.0f;
    for (size_t i = kRate / 2; i < static_cast<size_t>(kRate); ++i)
        late = std::max(late, std::fabs(tone.left[i]));
    EXPECT_GT(late, 0.245f);
}

TEST(SoundtrackLoudness, ReadsSineTones) {
    // A 1 kHz sine of amplitude A in both channels reads 20 log10 A LUFS (the K-weighting
    // adds +0.69 dB at 1 kHz, the definition subtracts 0.691); silence on one side takes
    // off 3.01 dB.
    struct Case {
        double amplitude;
        bool stereo;
        double lufs;
    };
    const Case cases[] = {{0.1, true, -20.0}, {0.5, true, -6.02}, {0.1, false, -23.01}};
    for (const Case& c : cases) {
        StereoBuffer b = sine(5 * kRate, 1000.0, c.amplitude);
        if (!c.stereo) std::fill(b.right.begin(), b.right.end(), 0.0f);
        composer::LoudnessReading r;
        ASSERT_TRUE(composer::measureLoudness(b, true, r));
        EXPECT_NEAR(c.lufs, r.integratedLufs, 0.1);
        EXPECT_NEAR(20.0 * std::log10(c.amplitude), r.truePeakDb, 0.1);
    }
    composer::LoudnessReading r;
    EXPECT_FALSE(composer::measureLoudness(silence(kRate), true, r));
}

TEST(SoundtrackEdges, FadesEndOnSilenceAndDcIsRemoved) {
    StereoBuffer b = sine(2 * kRate, 300.0, 0.5, M_PI / 2.0); // starts at its crest
    composer::applyEdgeFades(b, 0.01, 1.5);
    EXPECT_EQ(0.0f, b.left.front());
    EXPECT_EQ(0.0f, b.left.back());
    // Between the fades the signal is untouched.
    const size_t i = static_cast<size_t>(kRate);
    EXPECT_FLOAT_EQ(
        static_cast<float>(0.5 * std::sin(2.0 * M_PI * 300.0 * kRate / kRate + M_PI / 2.0)),
        b.left[i]);

    // A constant offset of 0.3 under a tone is gone after a second.
    StereoBuffer offset = sine(3 * kRate, 200.0, 0.2);
    for (float& s : offset.left) s += 0.3f;
    composer::removeDc(offset);
    double mean = 0.0;
    for (size_t k = 2 * kRate; k < 3 * static_cast<size_t>(kRate); ++k) mean += offset.left[k];
    EXPECT_NEAR(0.0, mean / kRate, 1e-3);
}

TEST(SoundtrackMasterFader, BreakDipsToItsDepthAndIsBackOnTheHit) {
    composer::Mix mix;
    mix.allocate(kRate);
    const int32_t from = 1000, to = 10000, dip = kRate / 100;
    mix.breakBetween(from, to, 0.01f);
    const std::vector<float>& g = mix.master;
    EXPECT_EQ(1.0f, g[from - 1]);
    EXPECT_NEAR(1.0f, g[from], 1e-6f) << "the dip starts from full level";
    for (int32_t f = from + 1; f <= from + dip; ++f) ASSERT_LE(g[f], g[f - 1]) << f;
    EXPECT_NEAR(0.01f, g[from + dip], 1e-6f);
    EXPECT_NEAR(0.01f, g[(from + to) / 2], 1e-6f);
    // The hit at to sounds at full level, and the frame before it has almost returned.
    EXPECT_EQ(1.0f, g[to]);
    EXPECT_GT(g[to - 1], 0.99f);
    // Breaks that reach past either end of the track only touch the frames inside it.
    mix.breakBetween(-dip, 500, 0.5f);
    mix.breakBetween(kRate - 500, kRate + dip, 0.5f);
    EXPECT_NEAR(0.5f, g[0], 1e-6f);
    EXPECT_NEAR(0.5f, g[kRate - 1], 1e-6f);
}

TEST(SoundtrackMasterFader, FadeOutEndsInSilenceAndScalesTheBus) {
    composer::Mix mix;
    mix.allocate(kRate);
    const int32_t from = 1000, to = 5000;
    mix.fadeOutBetween(from, to);
    const std::vector<float>& g = mix.master;
    EXPECT_EQ(1.0f, g[from - 1]);
    EXPECT_NEAR(0.5f, g[(from + to) / 2], 1e-6f) << "half way down a raised cosine";
    for (int32_t f = from + 1; f < kRate; ++f) ASSERT_LE(g[f], g[f - 1]) << f;
    for (int32_t f : {to, to + 1, kRate - 1}) EXPECT_EQ(0.0f, g[f]) << f;
    // Applied to a bus, the fader multiplies both sides frame by frame.
    StereoBuffer bus = sine(kRate, 1000.0, 0.5);
    const StereoBuffer dry = bus;
    mix.applyMaster(bus);
    for (int32_t f : {0, from - 1, (from + to) / 2, to}) {
        EXPECT_FLOAT_EQ(dry.left[f] * g[f], bus.left[f]) << f;
        EXPECT_FLOAT_EQ(dry.right[f] * g[f], bus.right[f]) << f;
    }
}
