// Tests of the built kaveo.mp3 as a player sees it: decoded gapless by libmpg123, its
// format and tags, its levels (libebur128), its sections, and an onset on every event of
// the beat tables that the picture keys to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <ebur128.h>

#include "decoded_soundtrack.h"
#include "demo/beat_tables.h"

namespace {

using soundtrack::Decoded;
using soundtrack::kRate;
using soundtrack::nearestDistance;
using soundtrack::seconds;
using soundtrack::track;

// Loudness in LUFS of [from, to) seconds, as libebur128 gates and weights it.
double loudness(const Decoded& d, double from, double to) {
    ebur128_state* st = ebur128_init(2, kRate, EBUR128_MODE_I);
    if (st == nullptr) return 0.0;
    const size_t a = static_cast<size_t>(from * kRate), b = static_cast<size_t>(to * kRate);
    std::vector<float> interleaved;
    for (size_t i = a; i < b; ++i) {
        interleaved.push_back(d.left[i]);
        interleaved.push_back(d.right[i]);
    }
    double lufs = -200.0;
    if (ebur128_add_frames_float(st, interleaved.data(), b - a) != EBUR128_SUCCESS ||
        ebur128_loudness_global(st, &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
        lufs = -200.0;
    ebur128_destroy(&st);
    return lufs;
}

// Sample peak in dBFS over both sides of [from, to) seconds.
double peakDb(const Decoded& d, double from, double to) {
    float peak = 0.0f;
    for (size_t i = static_cast<size_t>(from * kRate); i < static_cast<size_t>(to * kRate); ++i)
        peak = std::max({peak, std::fabs(d.left[i]), std::fabs(d.right[i])});
    return 20.0 * std::log10(peak + 1e-12);
}

// Mean power in dBFS over both sides of [from, to) seconds.
double rmsDb(const Decoded& d, double from, double to) {
    double sum = 0.0;
    const size_t a = static_cast<size_t>(from * kRate), b = static_cast<size_t>(to * kRate);
    for (size_t i = a; i < b; ++i) sum += d.left[i] * d.left[i] + d.right[i] * d.right[i];
    return 10.0 * std::log10(sum / (2.0 * static_cast<double>(b - a)) + 1e-24);
}

// [SECTION] Onset detection: spectral flux of log magnitudes, frame-to-frame over a
// 512-sample Hann window moved 64 samples at a time, picked at local maxima well above
// the local mean.

constexpr size_t kWindow = 512;
constexpr size_t kHop = 64;
constexpr size_t kLag = 4; // compare with the frame 256 samples earlier

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * M_PI / static_cast<double>(len);
        const std::complex<double> w(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wn(1.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * wn;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wn *= w;
            }
        }
    }
}

// Energy in dB of the mono mix between loHz and hiHz, over the Hann window of kBandWindow
// samples that starts at start seconds.
constexpr size_t kBandWindow = 1024;
double bandDb(const Decoded& d, double start, double loHz, double hiHz) {
    std::vector<std::complex<double>> buf(kBandWindow);
    const size_t first = static_cast<size_t>(start * kRate);
    for (size_t k = 0; k < kBandWindow; ++k)
        buf[k] = 0.5 * (d.left[first + k] + d.right[first + k]) *
                 (0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(k) / kBandWindow));
    fft(buf);
    double sum = 0.0;
    for (size_t k = 1; k < kBandWindow / 2; ++k) {
        const double hz = static_cast<double>(k) * kRate / kBandWindow;
        if (hz >= loHz && hz < hiHz) sum += std::norm(buf[k]);
    }
    return 10.0 * std::log10(sum + 1e-24);
}

// Onset times in seconds.
std::vector<double> detectOnsets(const Decoded& d) {
    const size_t n = d.left.size();
    const size_t frames = n / kHop;
    std::vector<std::vector<float>> spectra(frames, std::vector<float>(kWindow / 2));
    std::vector<std::complex<double>> buf(kWindow);
    for (size_t f = 0; f < frames; ++f) {
        // Frame f is centred on sample f * kHop.
        for (size_t k = 0; k < kWindow; ++k) {
            const long s = static_cast<long>(f * kHop + k) - static_cast<long>(kWindow / 2);
            const double x =
                s >= 0 && static_cast<size_t>(s) < n
                    ? 0.5 * (d.left[static_cast<size_t>(s)] + d.right[static_cast<size_t>(s)])
                    : 0.0;
            buf[k] = x * (0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(k) / kWindow));
        }
        fft(buf);
        for (size_t k = 0; k < kWindow / 2; ++k)
            spectra[f][k] = static_cast<float>(std::log1p(100.0 * std::abs(buf[k])));
    }
    std::vector<double> flux(frames, 0.0);
    for (size_t f = kLag; f < frames; ++f)
        for (size_t k = 1; k < kWindow / 2; ++k)
            flux[f] += std::max(0.0f, spectra[f][k] - spectra[f - kLag][k]);

    std::vector<double> onsets;
    const long peakRadius = 4, meanRadius = 40;
    for (long f = meanRadius; f + meanRadius < static_cast<long>(frames); ++f) {
        const double v = flux[static_cast<size_t>(f)];
        bool isMax = true;
        for (long g = f - peakRadius; g <= f + peakRadius && isMax; ++g)
            if (flux[static_cast<size_t>(g)] > v) isMax = false;
        if (!isMax) continue;
        double mean = 0.0;
        for (long g = f - meanRadius; g <= f + meanRadius; ++g)
            mean += flux[static_cast<size_t>(g)];
        mean /= 2.0 * meanRadius + 1.0;
        // The difference spans kLag frames; the change sits between the two frames.
        if (v > 1.5 * mean && v > 20.0)
            onsets.push_back((static_cast<double>(f) - kLag / 2.0) * kHop / kRate);
    }
    return onsets;
}

} // namespace

TEST(SoundtrackFile, FormatTagsAndLength) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok) << "cannot decode " << KAVEO_SOUNDTRACK_PATH;
    ASSERT_GT(d.bytes.size(), 138u);
    // ID3v2.3 in front, ID3v1 at the end, both naming the track.
    EXPECT_EQ(0, std::memcmp(d.bytes.data(), "ID3\x03\x00", 5));
    const uint8_t* v1 = d.bytes.data() + d.bytes.size() - 128;
    EXPECT_EQ(0, std::memcmp(v1, "TAG", 3));
    EXPECT_EQ(0, std::memcmp(v1 + 3, "kaveo\0", 6));
    EXPECT_EQ("kaveo", d.id3v2Title);
    // About 1 MB: 62.6 s at 128 kbit/s.
    EXPECT_GT(d.bytes.size(), 950000u);
    EXPECT_LT(d.bytes.size(), 1050000u);

    EXPECT_EQ(MPG123_1_0, d.info.version);
    EXPECT_EQ(3, d.info.layer);
    EXPECT_EQ(kRate, d.info.rate);
    EXPECT_EQ(MPG123_M_JOINT, d.info.mode);
    EXPECT_EQ(MPG123_CBR, d.info.vbr);
    EXPECT_EQ(128, d.info.bitrate);
    // The Info frame is what lets a gapless decoder put sample 0 at time 0.
    EXPECT_GT(d.encoderDelay, 0);
    EXPECT_GE(seconds(d.left.size()), 60.0);
    EXPECT_LE(seconds(d.left.size()), 63.0);
}

TEST(SoundtrackLevels, LoudnessPeakDcAndEdges) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    ebur128_state* st = ebur128_init(2, kRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ASSERT_NE(nullptr, st);
    std::vector<float> interleaved(2 * d.left.size());
    for (size_t i = 0; i < d.left.size(); ++i) {
        interleaved[2 * i] = d.left[i];
        interleaved[2 * i + 1] = d.right[i];
    }
    ASSERT_EQ(EBUR128_SUCCESS, ebur128_add_frames_float(st, interleaved.data(), d.left.size()));
    double lufs = 0.0, peakL = 0.0, peakR = 0.0;
    ebur128_loudness_global(st, &lufs);
    ebur128_true_peak(st, 0, &peakL);
    ebur128_true_peak(st, 1, &peakR);
    ebur128_destroy(&st);
    EXPECT_NEAR(-14.0, lufs, 1.0);
    EXPECT_LT(20.0 * std::log10(std::max(peakL, peakR)), -1.0) << "true peak";

    double samplePeak = 0.0, sumL = 0.0, sumR = 0.0, sumLR = 0.0, sumLL = 0.0, sumRR = 0.0;
    for (size_t i = 0; i < d.left.size(); ++i) {
        samplePeak =
            std::max({samplePeak, std::fabs(double{d.left[i]}), std::fabs(double{d.right[i]})});
        sumL += d.left[i];
        sumR += d.right[i];
        sumLR += d.left[i] * d.right[i];
        sumLL += d.left[i] * d.left[i];
        sumRR += d.right[i] * d.right[i];
    }
    const double n = static_cast<double>(d.left.size());
    EXPECT_LT(20.0 * std::log10(samplePeak), -1.0) << "sample peak";
    EXPECT_LT(std::fabs(sumL / n), 1e-3) << "DC offset, left";
    EXPECT_LT(std::fabs(sumR / n), 1e-3) << "DC offset, right";
    // Stereo, not two copies of one side.
    EXPECT_LT(sumLR / std::sqrt(sumLL * sumRR), 0.97);

    // No click: the first and last 10 ms are close to silence.
    const size_t edge = kRate / 100;
    float head = 0.0f, tail = 0.0f;
    for (size_t i = 0; i < edge; ++i) {
        head = std::max({head, std::fabs(d.left[i]), std::fabs(d.right[i])});
        const size_t j = d.left.size() - 1 - i;
        tail = std::max({tail, std::fabs(d.left[j]), std::fabs(d.right[j])});
    }
    EXPECT_LT(head, 0.003f);
    EXPECT_LT(tail, 0.003f);
}

TEST(SoundtrackSections, LoudnessFollowsThePicture) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    struct Case {
        const char* what;
        double quietFrom, quietTo, loudFrom, loudTo, minDb;
    };
    const Case cases[] = {
        {"intro swells in under the groove", 0.0, 2.5, 23.6, 26.4, 6.0},
        {"build-up rises into the drop", 15.35, 15.95, 17.25, 17.84, 3.0},
        {"ending fades out from the tunnel", 62.1, 62.55, 45.0, 50.0, 30.0},
    };
    for (const Case& c : cases)
        EXPECT_GT(loudness(d, c.loudFrom, c.loudTo) - loudness(d, c.quietFrom, c.quietTo), c.minDb)
            << c.what;
}

TEST(SoundtrackDrop, BreakThenAHitAcrossTheSpectrum) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    const double drop = MainBeats[26];
    const double beat = MainBeats[2] - MainBeats[1];
    // A sixteenth of a beat of near-silence just before the drop; its last few milliseconds
    // carry the encoder's pre-echo of the hit.
    EXPECT_LT(peakDb(d, drop - beat / 16.0, drop - 0.005), -45.0);
    // Out of it, every part of the spectrum jumps: the low end, the middle and the top.
    const double before = drop - 0.003 - static_cast<double>(kBandWindow) / kRate;
    const struct {
        const char* band;
        double loHz, hiHz;
    } bands[] = {{"low", 40.0, 200.0}, {"middle", 200.0, 2000.0}, {"high", 2000.0, 12000.0}};
    for (const auto& b : bands)
        EXPECT_GT(bandDb(d, drop, b.loHz, b.hiHz) - bandDb(d, before, b.loHz, b.hiHz), 20.0)
            << b.band;
}

TEST(SoundtrackEnding, TheLastChordFadesOutBeforeTheDemoEnds) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    const double demoEnd = 59.0;
    const double lastChord = TunnelBeats[kTunnelBeatCount - 1];
    // The last chord is struck, and the music is over before the picture stops.
    EXPECT_GT(rmsDb(d, lastChord, lastChord + 0.03), -20.0);
    EXPECT_LT(peakDb(d, demoEnd - 0.05, demoEnd), -60.0);
    // Faded, not cut: from 10 ms to the next the level never falls off a cliff on its way
    // down to -60 dBFS.
    double previous = rmsDb(d, lastChord + 0.03, lastChord + 0.04);
    for (double from = lastChord + 0.04; from < demoEnd - 0.01; from += 0.01) {
        const double level = std::max(-60.0, rmsDb(d, from, from + 0.01));
        EXPECT_LT(previous - level, 15.0) << "at " << from << " s";
        previous = level;
    }
}

TEST(SoundtrackOnsets, EveryEventIsHeardOnTime) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    const std::vector<double> onsets = detectOnsets(d);
    const std::vector<double> events = soundtrack::namedEvents();
    int hits = 0, shiftedHits = 0;
    double worst = 0.0, total = 0.0;
    std::string missed;
    for (double e : events) {
        const double dist = nearestDistance(onsets, e);
        if (dist <= 0.010) {
            ++hits;
            worst = std::max(worst, dist);
            total += dist;
        } else {
            // Two appends, not " " + string: GCC 12 reports a false -Wrestrict inside
            // libstdc++ for that operator+ at -O2.
            missed += ' ';
            missed += std::to_string(e);
        }
        // A quarter of a third off the grid there should mostly be nothing: a detector
        // that fires everywhere would pass the check above for the wrong reason.
        if (nearestDistance(onsets, e + 0.0467) <= 0.010) ++shiftedHits;
    }
    const double rate = static_cast<double>(hits) / static_cast<double>(events.size());
    EXPECT_GE(rate, 0.95) << "missed:" << missed;
    EXPECT_LT(static_cast<double>(shiftedHits) / static_cast<double>(events.size()), 0.4);
    std::printf("onsets matched %d of %zu (mean %.1f ms, worst %.1f ms off), off-grid control %d, "
                "missed:%s\n",
                hits, events.size(), hits > 0 ? total * 1000.0 / hits : 0.0, worst * 1000.0,
                shiftedHits, missed.c_str());
}

TEST(SoundtrackOnsets, TunnelBeatsHitTheLowEnd) {
    const Decoded& d = track();
    ASSERT_TRUE(d.ok);
    // Two one-pole low-passes at 150 Hz: what is left is kick and bass.
    std::vector<float> low(d.left.size());
    const double a = 1.0 - std::exp(-2.0 * M_PI * 150.0 / kRate);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = 0; i < low.size(); ++i) {
        s1 += a * (0.5 * (d.left[i] + d.right[i]) - s1);
        s2 += a * (s1 - s2);
        low[i] = static_cast<float>(s2);
    }
    auto energy = [&](double from, double to) {
        double sum = 0.0;
        for (size_t i = static_cast<size_t>(from * kRate); i < static_cast<size_t>(to * kRate); ++i)
            sum += low[i] * low[i];
        return sum / ((to - from) * kRate) + 1e-20;
    };
    int strong = 0;
    for (int i = 0; i < kTunnelBeatCount; ++i) {
        const double b = TunnelBeats[i];
        if (10.0 * std::log10(energy(b, b + 0.05) / energy(b - 0.06, b - 0.01)) >= 6.0) ++strong;
    }
    EXPECT_GE(strong, kTunnelBeatCount * 95 / 100);
}
