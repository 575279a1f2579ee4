// The drum kit and the noise effects of the soundtrack.
#include "drums.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace composer {

void renderKick(Mix& mix, const Channel& channel, double time, double velocity) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(0.45);
    SineOsc body;
    Noise noise(0x4B1Cu);
    Svf click;
    click.tune(3500.0, 0.7);
    double amp = 1.0;
    const double ampDecay = decayPerSample(0.42);
    const double gain = 0.85 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        // The pitch falls from 150 Hz to 46 Hz within a few tens of milliseconds.
        const double hz = 46.0 + 104.0 * std::exp(-t / 0.022);
        amp *= ampDecay;
        // A rounded sine body; the click is a 4 ms band of noise for the attack.
        double v = std::tanh(1.6 * body.next(hz)) * amp;
        if (i < kSampleRate / 250) {
            click.process(noise.white());
            v += click.band * 0.9 * (1.0 - static_cast<double>(i) / (kSampleRate / 250.0));
        }
        v *= gain;
        mix.add(first + i, v, v, channel);
    }
}

void renderSnare(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(0.35);
    Noise noise(seed);
    SineOsc tone;
    Svf bandL, bandR;
    bandL.tune(4200.0, 0.6);
    bandR.tune(4600.0, 0.6);
    double toneAmp = 1.0, noiseAmp = 1.0;
    const double toneDecay = decayPerSample(0.12);
    const double noiseDecay = decayPerSample(0.26);
    const double gain = 0.42 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        toneAmp *= toneDecay;
        noiseAmp *= noiseDecay;
        const double body = tone.next(185.0 + 60.0 * std::exp(-t / 0.01)) * toneAmp * 0.8;
        bandL.process(noise.white());
        bandR.process(noise.white());
        const double l = (body + (bandL.band + 0.3 * bandL.high) * noiseAmp) * gain;
        const double r = (body + (bandR.band + 0.3 * bandR.high) * noiseAmp) * gain;
        mix.add(first + i, l, r, channel);
    }
}

void renderClap(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(0.4);
    const int32_t burst = kSampleRate / 100; // the three hands, 10 ms apart
    Noise noise(seed);
    Svf band;
    band.tune(1300.0, 1.4);
    const double tailDecay = decayPerSample(0.3);
    double tail = 1.0;
    const double gain = 0.9 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        double env;
        if (i < 3 * burst) {
            const int32_t k = i % burst;
            env = std::exp(-static_cast<double>(k) / (0.0025 * kSampleRate));
        } else {
            tail *= tailDecay;
            env = tail * 0.8;
        }
        band.process(noise.white());
        const double v = band.band * env * gain;
        mix.add(first + i, v, v, channel);
    }
}

void renderHat(Mix& mix, const Channel& channel, double time, double velocity, double decay,
               uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(decay);
    Noise noise(seed);
    Svf high;
    high.tune(8000.0, 0.9);
    double amp = 1.0;
    const double ampDecay = decayPerSample(decay);
    const double gain = 0.27 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        amp *= ampDecay;
        high.process(noise.white());
        const double v = high.high * amp * gain;
        mix.add(first + i, v, v, channel);
    }
}

void renderTom(Mix& mix, const Channel& channel, double time, double velocity, double hz) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(0.5);
    SineOsc body;
    Noise noise(0x70Bu);
    double amp = 1.0;
    const double ampDecay = decayPerSample(0.45);
    const double gain = 0.6 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        amp *= ampDecay;
        double v = std::tanh(1.4 * body.next(hz * (1.0 + 0.6 * std::exp(-t / 0.03)))) * amp;
        if (i < kSampleRate / 200) v += noise.white() * 0.5 * (1.0 - t * 200.0);
        v *= gain;
        mix.add(first + i, v, v, channel);
    }
}

void renderCrash(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(2.2);
    Noise noise(seed);
    // Six detuned squares at inharmonic ratios give the metallic shimmer under the noise.
    constexpr double kPartials[6] = {387.0, 551.0, 739.0, 901.0, 1247.0, 1563.0};
    SquareOsc metal[6];
    Svf highL, highR;
    highL.tune(5200.0, 0.7);
    highR.tune(5600.0, 0.7);
    // A bright splash that dies within a beat over a long, lower wash: the splash marks
    // the hit and is gone before the next events, which the wash alone would not mask.
    double splash = 1.0, wash = 1.0;
    const double splashDecay = decayPerSample(0.3);
    const double washDecay = decayPerSample(2.2);
    const double gain = 0.3 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        splash *= splashDecay;
        wash *= washDecay;
        const double amp = 0.35 * wash + 0.65 * splash;
        double ring = 0.0;
        for (int p = 0; p < 6; ++p) ring += metal[p].next(kPartials[p]);
        highL.process(noise.white() + 0.12 * ring);
        highR.process(noise.white() + 0.12 * ring);
        mix.add(first + i, highL.high * amp * gain, highR.high * amp * gain, channel);
    }
}

void renderRiser(Mix& mix, const Channel& channel, double start, double end, double velocity,
                 uint32_t seed) {
    const int32_t first = secondsToFrame(start);
    const int32_t frames = secondsToFrame(end) - first;
    Noise noise(seed);
    Svf bandL, bandR, tone;
    SawOsc sawA, sawB;
    const double gain = 0.2 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        const double x = static_cast<double>(i) / frames; // 0..1 over the rise
        if ((i & 15) == 0) {
            // The noise band climbs four octaves and a bit; it stays below 6 kHz, where
            // 128 kbit/s still codes noise cleanly.
            const double cutoff = 300.0 * std::pow(20.0, x);
            bandL.tune(cutoff, 1.6);
            bandR.tune(cutoff * 1.12, 1.6);
            tone.tune(cutoff * 1.5, 0.8);
        }
        // Under it, two saws glide up two octaves from A3.
        const double hz = 220.0 * std::pow(4.0, x);
        tone.process(sawA.next(hz * 0.995) + sawB.next(hz * 1.005));
        bandL.process(noise.white());
        bandR.process(noise.white());
        // The last 20 ms fall silent, so the drop that follows starts from a clean edge.
        const double tail = std::min(1.0, static_cast<double>(frames - i) / (0.02 * kSampleRate));
        const double e = x * x * tail * gain;
        const double pitched = tone.low * 0.35;
        mix.add(first + i, (bandL.band + pitched) * e, (bandR.band + pitched) * e, channel);
    }
}

void renderImpact(Mix& mix, const Channel& channel, double time, double velocity, double decay,
                  uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(decay);
    Noise noise(seed);
    double amp = 1.0;
    const double ampDecay = decayPerSample(decay);
    const double gain = 0.5 * velocity;
    for (int32_t i = 0; i < frames; ++i) {
        amp *= ampDecay;
        // Unfiltered, so every band of the spectrum jumps at once; each side its own noise.
        const double l = noise.white() * amp * gain;
        const double r = noise.white() * amp * gain;
        mix.add(first + i, l, r, channel);
    }
}

void renderNoiseBurst(Mix& mix, const Channel& channel, double time, double length, double velocity,
                      uint32_t seed) {
    const int32_t first = secondsToFrame(time);
    const int32_t frames = secondsToFrame(length);
    const int32_t fadeOut = kSampleRate / 50;
    Noise noise(seed);
    Svf highL, highR;
    highL.tune(1800.0, 0.7);
    highR.tune(2100.0, 0.7);
    const double gain = 0.2 * velocity;
    for (int32_t i = 0; i < frames + fadeOut; ++i) {
        // Sharp onset and a fall of 40 dB over the burst, so a hit inside it still stands
        // out; then a short fade so it does not click.
        double env = std::exp(-4.6 * static_cast<double>(std::min(i, frames)) / frames);
        if (i >= frames) env *= 1.0 - static_cast<double>(i - frames) / fadeOut;
        highL.process(noise.white());
        highR.process(noise.white());
        mix.add(first + i, highL.high * env * gain, highR.high * env * gain, channel);
    }
}

} // namespace composer
