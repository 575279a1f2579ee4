// The small signal-processing parts every instrument of the composer is built from:
// musical time, a seeded noise source, band-limited oscillators, a state-variable filter.
#pragma once

#include <cmath>
#include <cstdint>

namespace composer {

constexpr int32_t kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// One beat at 107.04 BPM is 0.560544 s; every event of the beat tables lies on a grid of
// thirds of a beat (12/8 feel), so the score counts time in thirds.
constexpr double kBeatSeconds = 0.560544;
constexpr double kThirdSeconds = kBeatSeconds / 3.0;
constexpr double kBarThirds = 12.0; // four beats of three

inline double thirdsToSeconds(double thirds) {
    return thirds * kThirdSeconds;
}
inline int32_t secondsToFrame(double seconds) {
    return static_cast<int32_t>(std::lround(seconds * kSampleRate));
}
inline double midiToHz(double note) {
    return 440.0 * std::exp2((note - 69.0) / 12.0);
}
inline double dbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

// Deterministic noise: the same seed gives the same track on every build.
struct Noise {
    uint32_t state = 0x9E3779B9u;

    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t nextBits() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [-1, 1).
    float white() { return static_cast<float>(nextBits() >> 8) * (2.0f / 16777216.0f) - 1.0f; }
    // Uniform in [lo, hi).
    double range(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(nextBits() >> 8) / 16777216.0;
    }
};

// Removes the aliasing step of a naive sawtooth at the wrap (two-sample polynomial blep).
inline double polyBlep(double phase, double increment) {
    if (phase < increment) {
        const double t = phase / increment;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - increment) {
        const double t = (phase - 1.0) / increment;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct SawOsc {
    double phase = 0.0;

    // Frequency in Hz; returns -1..1.
    double next(double hz) {
        const double inc = hz / kSampleRate;
        const double out = 2.0 * phase - 1.0 - polyBlep(phase, inc);
        phase += inc;
        if (phase >= 1.0) phase -= 1.0;
        return out;
    }
};

struct SquareOsc {
    double phase = 0.0;

    double next(double hz) {
        const double inc = hz / kSampleRate;
        double out = phase < 0.5 ? 1.0 : -1.0;
        out += polyBlep(phase, inc);
        double shifted = phase + 0.5;
        if (shifted >= 1.0) shifted -= 1.0;
        out -= polyBlep(shifted, inc);
        phase += inc;
        if (phase >= 1.0) phase -= 1.0;
        return out;
    }
};

struct SineOsc {
    double phase = 0.0; // in cycles

    double next(double hz) {
        const double out = std::sin(2.0 * kPi * phase);
        phase += hz / kSampleRate;
        if (phase >= 1.0) phase -= 1.0;
        return out;
    }
};

// Trapezoidal state-variable filter: stable under fast cutoff sweeps, which the stabs,
// plucks and risers all rely on.
struct Svf {
    double a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 1.0;
    double ic1 = 0.0, ic2 = 0.0;
    double low = 0.0, band = 0.0, high = 0.0;

    // Cutoff in Hz (clamped below Nyquist), resonance q > 0.
    void tune(double cutoffHz, double q) {
        const double fc = std::fmin(std::fmax(cutoffHz, 10.0), kSampleRate * 0.45);
        const double g = std::tan(kPi * fc / kSampleRate);
        k = 1.0 / q;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(double in) {
        const double v3 = in - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
};

// Exponential decay factor per sample that falls by 60 dB over the given seconds.
inline double decayPerSample(double seconds) {
    return std::exp(-6.907755 / (seconds * kSampleRate));
}

} // namespace composer
