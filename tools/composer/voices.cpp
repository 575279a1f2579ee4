// The pitched instruments of the soundtrack, one note at a time.
#include "voices.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace composer {

namespace {

// Linear attack, exponential decay to a sustain level, exponential release after the
// key is let go. Times are seconds; decay and release are 60 dB times.
struct Adsr {
    double attackStep;
    double decayMul;
    double sustain;
    double releaseMul;
    double level = 0.0;
    bool attacking = true;

    Adsr(double attack, double decay, double sustainLevel, double release)
        : attackStep(1.0 / std::max(1.0, attack * kSampleRate)), decayMul(decayPerSample(decay)),
          sustain(sustainLevel), releaseMul(decayPerSample(release)) {}

    double next(bool held) {
        if (!held) {
            attacking = false;
            level *= releaseMul;
        } else if (attacking) {
            level += attackStep;
            if (level >= 1.0) {
                level = 1.0;
                attacking = false;
            }
        } else {
            level = sustain + (level - sustain) * decayMul;
        }
        return level;
    }
};

// Frames the note is held, and the total frames to render including its release tail.
struct Span {
    int32_t first;
    int32_t held;
    int32_t total;
};

Span spanOf(const Note& note, double releaseSeconds) {
    const int32_t first = secondsToFrame(note.start);
    const int32_t held = std::max<int32_t>(1, secondsToFrame(note.length));
    return {first, held, held + secondsToFrame(releaseSeconds)};
}

} // namespace

void renderPadNote(Mix& mix, const Channel& channel, const Note& note, double attack,
                   double brightness, uint32_t seed) {
    constexpr int kSaws = 6;
    constexpr double kCents[kSaws] = {-13.0, 11.0, -6.0, 5.0, -1.5, 2.0};
    Noise noise(seed);
    SawOsc saws[kSaws];
    for (SawOsc& s : saws) s.phase = noise.range(0.0, 1.0);
    const double base = midiToHz(note.pitch);
    double hz[kSaws];
    for (int i = 0; i < kSaws; ++i) hz[i] = base * std::exp2(kCents[i] / 1200.0);

    Adsr env(attack, 2.0, 0.85, 1.6);
    Svf filterL, filterR;
    const Span span = spanOf(note, 1.6);
    const double gain = 0.034 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        if ((i & 63) == 0) {
            // A slow drift of the cutoff keeps long chords alive.
            const double drift = 1.0 + 0.18 * std::sin(2.0 * kPi * 0.13 * i / kSampleRate + seed);
            filterL.tune(brightness * drift, 0.8);
            filterR.tune(brightness * (2.0 - drift), 0.8);
        }
        double l = 0.0, r = 0.0;
        for (int s = 0; s < kSaws; s += 2) l += saws[s].next(hz[s]);
        for (int s = 1; s < kSaws; s += 2) r += saws[s].next(hz[s]);
        filterL.process(l);
        filterR.process(r);
        const double e = env.next(i < span.held) * gain;
        mix.add(span.first + i, filterL.low * e, filterR.low * e, channel);
        if (!(i < span.held) && env.level < 1e-4) break;
    }
}

void renderBassNote(Mix& mix, const Channel& channel, const Note& note) {
    SawOsc saw;
    SineOsc sub;
    Svf filter;
    Adsr amp(0.003, 0.6, 0.7, 0.08);
    const double hz = midiToHz(note.pitch);
    const Span span = spanOf(note, 0.08);
    double filterEnv = 1.0;
    const double filterDecay = decayPerSample(0.35);
    const double gain = 0.32 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        if ((i & 7) == 0) filter.tune(hz * (1.5 + 10.0 * filterEnv * note.velocity), 1.3);
        filterEnv *= filterDecay;
        filter.process(saw.next(hz));
        const double v = (0.55 * filter.low + 0.75 * sub.next(hz)) * amp.next(i < span.held) * gain;
        mix.add(span.first + i, v, v, channel);
    }
}

void renderSubNote(Mix& mix, const Channel& channel, const Note& note, double attack,
                   double release) {
    SineOsc sine;
    Adsr amp(attack, 1.0, 1.0, release);
    const double hz = midiToHz(note.pitch);
    const Span span = spanOf(note, release);
    const double gain = 0.3 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        const double v = sine.next(hz) * amp.next(i < span.held) * gain;
        mix.add(span.first + i, v, v, channel);
    }
}

void renderStabNote(Mix& mix, const Channel& channel, const Note& note, uint32_t seed) {
    Noise noise(seed);
    SawOsc a, b;
    a.phase = noise.range(0.0, 1.0);
    b.phase = noise.range(0.0, 1.0);
    const double hz = midiToHz(note.pitch);
    const double hzA = hz * std::exp2(-9.0 / 1200.0);
    const double hzB = hz * std::exp2(9.0 / 1200.0);
    Svf filterL, filterR;
    Adsr amp(0.0008, 0.55, 0.0, 0.12);
    const Span span = spanOf(note, 0.12);
    double filterEnv = 1.0;
    const double filterDecay = decayPerSample(0.28);
    const double gain = 0.11 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        if ((i & 7) == 0) {
            const double cutoff = 500.0 + 6500.0 * filterEnv * note.velocity;
            filterL.tune(cutoff, 1.1);
            filterR.tune(cutoff * 1.07, 1.1);
        }
        filterEnv *= filterDecay;
        const double sa = a.next(hzA);
        const double sb = b.next(hzB);
        filterL.process(0.7 * sa + 0.3 * sb);
        filterR.process(0.3 * sa + 0.7 * sb);
        const double e = amp.next(i < span.held) * gain;
        mix.add(span.first + i, filterL.low * e, filterR.low * e, channel);
    }
}

void renderPluckNote(Mix& mix, const Channel& channel, const Note& note, double cutoff) {
    SawOsc saw;
    SquareOsc square;
    Svf filter;
    Adsr amp(0.001, 0.45, 0.0, 0.08);
    const double hz = midiToHz(note.pitch);
    const Span span = spanOf(note, 0.08);
    double filterEnv = 1.0;
    const double filterDecay = decayPerSample(0.22);
    const double gain = 0.12 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        if ((i & 7) == 0) filter.tune(250.0 + cutoff * filterEnv, 1.6);
        filterEnv *= filterDecay;
        filter.process(0.6 * saw.next(hz) + 0.4 * square.next(hz * 1.002));
        const double v = filter.low * amp.next(i < span.held) * gain;
        mix.add(span.first + i, v, v, channel);
    }
}

void renderLeadNote(Mix& mix, const Channel& channel, const Note& note, double fromPitch) {
    SawOsc a, b;
    SquareOsc sub;
    b.phase = 0.37;
    Svf filterL, filterR;
    Adsr amp(0.006, 1.2, 0.75, 0.12);
    const Span span = spanOf(note, 0.12);
    const double glideFrames = 0.045 * kSampleRate;
    const double gain = 0.085 * note.velocity;
    double filterEnv = 1.0;
    const double filterDecay = decayPerSample(0.5);
    for (int32_t i = 0; i < span.total; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double pitch = note.pitch;
        if (i < glideFrames) pitch = fromPitch + (note.pitch - fromPitch) * (i / glideFrames);
        // Vibrato grows in after the note has settled.
        const double depth = std::clamp((t - 0.22) * 2.5, 0.0, 1.0) * 0.18;
        pitch += depth * std::sin(2.0 * kPi * 5.6 * t);
        const double hz = midiToHz(pitch);
        if ((i & 7) == 0) {
            filterL.tune(1400.0 + 3600.0 * filterEnv, 0.9);
            filterR.tune(1500.0 + 3800.0 * filterEnv, 0.9);
        }
        filterEnv *= filterDecay;
        const double sa = a.next(hz * 0.9965);
        const double sb = b.next(hz * 1.0035);
        const double ss = sub.next(hz * 0.5) * 0.35;
        filterL.process(sa + ss);
        filterR.process(sb + ss);
        const double e = amp.next(i < span.held) * gain;
        mix.add(span.first + i, filterL.low * e, filterR.low * e, channel);
    }
}

void renderBellNote(Mix& mix, const Channel& channel, const Note& note) {
    SineOsc carrier, modulator;
    const double hz = midiToHz(note.pitch);
    const Span span = spanOf(note, 1.2);
    Adsr amp(0.002, 2.4, 0.0, 1.2);
    // High notes get less modulation, so the bell an octave up stays sweet.
    double index = 2.6 * std::clamp(1.0 - (note.pitch - 72.0) / 36.0, 0.35, 1.0);
    const double indexDecay = decayPerSample(1.1);
    const double gain = 0.13 * note.velocity;
    for (int32_t i = 0; i < span.total; ++i) {
        index *= indexDecay;
        const double m = modulator.next(hz * 3.0) * index;
        const double c = std::sin(2.0 * kPi * carrier.phase + m);
        carrier.next(hz);
        const double v = c * amp.next(i < span.held) * gain;
        mix.add(span.first + i, v, v, channel);
    }
}

} // namespace composer
