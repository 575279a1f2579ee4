// Mastering: DC removal, fades, the look-ahead limiter and the loudness loop.
#include "mastering.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <ebur128.h>

#include "dsp.h"

namespace composer {

namespace {

// Taps of the 4x interpolator for the three points between two frames: a windowed sinc,
// 8 frames wide, as a true-peak meter uses to find the peaks of the reconstructed wave.
struct Interpolator {
    static constexpr int kTaps = 8;
    float taps[3][kTaps];

    Interpolator() {
        for (int phase = 1; phase <= 3; ++phase) {
            double sum = 0.0;
            for (int k = 0; k < kTaps; ++k) {
                const double x = (k - kTaps / 2 + 1) - phase / 4.0; // distance to the frame
                const double sinc = std::fabs(x) < 1e-9 ? 1.0 : std::sin(kPi * x) / (kPi * x);
                const double window = 0.5 + 0.5 * std::cos(kPi * x / (kTaps / 2 + 0.5));
                taps[phase - 1][k] = static_cast<float>(sinc * window);
                sum += sinc * window;
            }
            for (int k = 0; k < kTaps; ++k)
                taps[phase - 1][k] = static_cast<float>(taps[phase - 1][k] / sum);
        }
    }
};

void addSidePeaks(const std::vector<float>& x, const Interpolator& interpolator,
                  std::vector<float>& peaks) {
    const size_t n = x.size();
    constexpr int half = Interpolator::kTaps / 2;
    for (size_t i = 0; i < n; ++i) {
        float peak = std::fabs(x[i]);
        if (i + 1 >= half && i + half < n) {
            const float* window = &x[i + 1 - half];
            for (const float* taps : interpolator.taps) {
                float v = 0.0f;
                for (int k = 0; k < Interpolator::kTaps; ++k) v += taps[k] * window[k];
                peak = std::max(peak, std::fabs(v));
            }
        }
        peaks[i] = std::max(peaks[i], peak);
    }
}

} // namespace

bool measureLoudness(const StereoBuffer& audio, bool withPeaks, LoudnessReading& reading) {
    const int mode =
        EBUR128_MODE_I | (withPeaks ? EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_SAMPLE_PEAK : 0);
    ebur128_state* state = ebur128_init(2, kSampleRate, mode);
    if (state == nullptr) return false;
    constexpr size_t kChunk = 4096;
    std::vector<float> interleaved(kChunk * 2);
    bool ok = true;
    for (size_t start = 0; start < audio.left.size() && ok; start += kChunk) {
        const size_t count = std::min(kChunk, audio.left.size() - start);
        for (size_t i = 0; i < count; ++i) {
            interleaved[2 * i] = audio.left[start + i];
            interleaved[2 * i + 1] = audio.right[start + i];
        }
        ok = ebur128_add_frames_float(state, interleaved.data(), count) == EBUR128_SUCCESS;
    }
    double lufs = 0.0, truePeak = 0.0, samplePeak = 0.0;
    for (unsigned ch = 0; ch < 2 && ok && withPeaks; ++ch) {
        double tp = 0.0, sp = 0.0;
        ok = ebur128_true_peak(state, ch, &tp) == EBUR128_SUCCESS &&
             ebur128_sample_peak(state, ch, &sp) == EBUR128_SUCCESS;
        truePeak = std::max(truePeak, tp);
        samplePeak = std::max(samplePeak, sp);
    }
    ok = ok && ebur128_loudness_global(state, &lufs) == EBUR128_SUCCESS;
    ebur128_destroy(&state);
    if (!ok || !std::isfinite(lufs)) return false;
    reading.integratedLufs = lufs;
    if (withPeaks) {
        if (samplePeak <= 0.0) return false;
        reading.truePeakDb = 20.0 * std::log10(truePeak);
        reading.samplePeakDb = 20.0 * std::log10(samplePeak);
    }
    return true;
}

void removeDc(StereoBuffer& audio) {
    // One-pole DC blocker with its corner near 5 Hz, far below the lowest note (A1, 55 Hz).
    const double r = 1.0 - 2.0 * kPi * 5.0 / kSampleRate;
    for (std::vector<float>* side : {&audio.left, &audio.right}) {
        double previousIn = 0.0, previousOut = 0.0;
        for (float& s : *side) {
            const double out = s - previousIn + r * previousOut;
            previousIn = s;
            previousOut = out;
            s = static_cast<float>(out);
        }
    }
}

void lowPassMaster(StereoBuffer& audio, double cutoffHz) {
    for (std::vector<float>* side : {&audio.left, &audio.right}) {
        // Two Butterworth sections: 24 dB per octave above the cutoff.
        Svf first, second;
        first.tune(cutoffHz, 0.5412);
        second.tune(cutoffHz, 1.3066);
        for (float& s : *side) {
            first.process(s);
            second.process(first.low);
            s = static_cast<float>(second.low);
        }
    }
}

void applyEdgeFades(StereoBuffer& audio, double fadeInSeconds, double fadeOutStart) {
    const size_t n = audio.left.size();
    const size_t fadeIn = std::min(n, static_cast<size_t>(secondsToFrame(fadeInSeconds)));
    const size_t outStart = std::min(n, static_cast<size_t>(secondsToFrame(fadeOutStart)));
    for (size_t i = 0; i < n; ++i) {
        double g = 1.0;
        if (i < fadeIn)
            g *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(fadeIn));
        if (i >= outStart) {
            // Reaches exactly 0 on the last frame.
            const double x =
                static_cast<double>(i - outStart) / static_cast<double>(n - 1 - outStart);
            g *= 0.5 + 0.5 * std::cos(kPi * std::min(1.0, x));
        }
        audio.left[i] = static_cast<float>(audio.left[i] * g);
        audio.right[i] = static_cast<float>(audio.right[i] * g);
    }
}

std::vector<float> peakEnvelope(const StereoBuffer& audio) {
    std::vector<float> peaks(audio.left.size(), 0.0f);
    const Interpolator interpolator;
    addSidePeaks(audio.left, interpolator, peaks);
    addSidePeaks(audio.right, interpolator, peaks);
    return peaks;
}

void limitPeaks(StereoBuffer& audio, const std::vector<float>& peaks, double gainDb,
                double ceilingDb, double releaseSeconds) {
    const size_t n = audio.left.size();
    if (n == 0 || peaks.size() != n) return;
    const double gain = dbToGain(gainDb);
    const double ceiling = dbToGain(ceilingDb);
    const size_t window = static_cast<size_t>(kSampleRate * 15 / 10000) + 1; // look-ahead + 1

    // needed[i]: the largest gain that keeps frame i and the wave after it at the ceiling.
    std::vector<float> needed(n);
    for (size_t i = 0; i < n; ++i) {
        const double peak = peaks[i] * gain;
        needed[i] = peak > ceiling ? static_cast<float>(ceiling / peak) : 1.0f;
    }
    // held[j] = min of needed over [j - window + 1, j] (monotonic queue), then a release
    // that only ever lowers it, so held never exceeds what any frame in its window needs.
    std::vector<float> held(n);
    std::vector<size_t> queue(n);
    size_t head = 0, tail = 0;
    const double release = 1.0 - std::exp(-1.0 / (releaseSeconds * kSampleRate));
    double previous = 1.0;
    for (size_t j = 0; j < n; ++j) {
        while (tail > head && needed[queue[tail - 1]] >= needed[j]) --tail;
        queue[tail++] = j;
        if (queue[head] + window <= j) ++head;
        const double rising = previous + (1.0 - previous) * release;
        previous = std::min(static_cast<double>(needed[queue[head]]), rising);
        held[j] = static_cast<float>(previous);
    }
    // gain[i] = mean of held over [i, i + window - 1]: every term covers frame i, so the
    // mean cannot exceed needed[i], and the averaging turns steps into smooth ramps.
    double sum = 0.0;
    for (size_t j = 0; j < std::min(window, n); ++j) sum += held[j];
    for (size_t i = 0; i < n; ++i) {
        const size_t count = std::min(window, n - i);
        const double g = gain * sum / static_cast<double>(count);
        sum -= held[i];
        if (i + window < n) sum += held[i + window];
        audio.left[i] = static_cast<float>(audio.left[i] * g);
        audio.right[i] = static_cast<float>(audio.right[i] * g);
    }
}

bool masterTrack(const StereoBuffer& mix, double targetLufs, double ceilingDb, StereoBuffer& out,
                 LoudnessReading& reading) {
    LoudnessReading raw;
    if (!measureLoudness(mix, false, raw)) return false;
    const std::vector<float> peaks = peakEnvelope(mix);
    // Limiting takes away a little loudness, so correct the gain and try again.
    double gainDb = targetLufs - raw.integratedLufs;
    for (int pass = 0; pass < 4; ++pass) {
        out = mix;
        limitPeaks(out, peaks, gainDb, ceilingDb, 0.08);
        if (!measureLoudness(out, false, reading)) return false;
        const double error = targetLufs - reading.integratedLufs;
        if (std::fabs(error) < 0.05) break;
        gainDb += error;
    }
    return true;
}

} // namespace composer
