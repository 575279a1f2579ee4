// The mixing desk's buses, the kick's side-chain envelope and the master fader.
#include "mix.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace composer {

void Mix::allocate(int32_t frameCount) {
    frames = frameCount;
    dry.resize(frameCount);
    reverbSend.resize(frameCount);
    delaySend.resize(frameCount);
    duck.assign(static_cast<size_t>(frameCount), 1.0f);
    master.assign(static_cast<size_t>(frameCount), 1.0f);
}

void Mix::duckAt(int32_t frame, float depth) {
    // A 4 ms dip, then a recovery over about a third of a beat.
    const int32_t attack = kSampleRate * 4 / 1000;
    const int32_t length = secondsToFrame(kThirdSeconds * 1.6);
    for (int32_t i = 0; i < length; ++i) {
        const int32_t f = frame - attack + i;
        if (f < 0 || f >= frames) continue;
        double g;
        if (i < attack) {
            g = 1.0 - depth * static_cast<double>(i) / attack;
        } else {
            const double x = static_cast<double>(i - attack) / (length - attack);
            g = 1.0 - depth * (1.0 - x) * (1.0 - x);
        }
        duck[static_cast<size_t>(f)] =
            std::min(duck[static_cast<size_t>(f)], static_cast<float>(g));
    }
}

void Mix::breakBetween(int32_t from, int32_t to, float depth) {
    const int32_t dip = kSampleRate / 100;
    const int32_t rise = kSampleRate / 1000;
    for (int32_t f = std::max(0, from); f < std::min(to, frames); ++f) {
        double g = depth;
        if (f < from + dip) {
            const double x = static_cast<double>(f - from) / dip;
            g = depth + (1.0 - depth) * (0.5 + 0.5 * std::cos(kPi * x));
        } else if (f >= to - rise) {
            const double x = static_cast<double>(to - f) / rise;
            g = depth + (1.0 - depth) * (0.5 + 0.5 * std::cos(kPi * x));
        }
        master[static_cast<size_t>(f)] *= static_cast<float>(g);
    }
}

void Mix::fadeOutBetween(int32_t from, int32_t to) {
    for (int32_t f = std::max(0, from); f < frames; ++f) {
        double g = 0.0;
        if (f < to) g = 0.5 + 0.5 * std::cos(kPi * static_cast<double>(f - from) / (to - from));
        master[static_cast<size_t>(f)] *= static_cast<float>(g);
    }
}

void Mix::applyMaster(StereoBuffer& bus) const {
    for (size_t i = 0; i < master.size(); ++i) {
        bus.left[i] *= master[i];
        bus.right[i] *= master[i];
    }
}

} // namespace composer
