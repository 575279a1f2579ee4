// The short fade that ends the sound wherever it stops, so that it never clicks: a pause, a
// seek or the shutdown of the live program (every audio back end) and the end of a video
// capture.
#pragma once

#include <cstddef>
#include <cstdint>

// About 20 ms at 44,100 frames per second: short enough to feel immediate, long enough not
// to click.
constexpr uint32_t kFadeFrames = 882;

// Fades the last kFadeFrames of a sound that ends at sample frame `end` linearly to silence:
// frame end - 1 - i keeps i / kFadeFrames of its level, so the last frame is silent and
// never a step. `out` holds `frames` stereo frames (interleaved) starting at sample frame
// `first`; frames before the fade keep their level, frames from `end` on are silenced.
inline void applyEndFade(int16_t* out, size_t frames, int64_t first, int64_t end) {
    constexpr int64_t fade = kFadeFrames;
    for (size_t i = 0; i < frames; ++i) {
        const int64_t left = end - (first + static_cast<int64_t>(i)) - 1; // frames after this
        if (left >= fade) continue;
        const int64_t gain = left < 0 ? 0 : left;
        for (size_t c = 0; c < 2; ++c)
            out[2 * i + c] = static_cast<int16_t>(out[2 * i + c] * gain / fade);
    }
}
