// The tunnel: a textured tube seen end-on that lurches forward on every TunnelBeats entry
// and coasts between them, twisting as it goes. It renders into its own target Texture.
#pragma once

#include <cstdint>

#include "gfx/texture.h"

struct TunnelEffect {
    Texture target;        // the surface rendered into, 128 x 64
    int32_t beatIndex = 0; // TunnelBeats entries before the demo time (0 to 49)
    float speed = 0.0f;    // forward speed, in phase units per second
    float phase = 0.0f;    // integral of the speed; drives the scroll and the twist
    Texture level0;        // the wall picture, 128 x 64
    Texture level1;        // its reduction, 64 x 32
    Texture level2;        // 32 x 16

    // Creates target (width x height, powers of two) and loads the three wall pictures.
    // False at the first failure; what was built stays for release().
    bool load(int32_t width, int32_t height);

    // Moves the beat cursor to t (a kick of the speed per entry passed going forward),
    // advances the motion by delta seconds and fills columns 0..w-1 of rows 0..h-1 of target
    // (clipped to target's size).
    void render(float t, float delta, uint32_t w, uint32_t h);

    // Frees level2, level1, level0 and target, in that order. Safe when partly loaded.
    void release();
};
