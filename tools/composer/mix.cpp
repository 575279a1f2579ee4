// The mixing desk's buses and the kick's side-chain envelope.
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

} // namespace composer
