// The tunnel: a textured tube seen end-on that lurches forward on every TunnelBeats entry
// and coasts between them, twisting as it goes. It renders into its own target Texture.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/texture.h"

// Where one cell of the rendered region looks on the wall: fixed for a region size, so it is
// worked out once instead of every frame.
struct TunnelCell {
    float turns;   // angle around the axis, in turns
    float depth;   // distance along the tube before the scroll
    float radius;  // distance from the axis; the region spans -0.5 to 0.5
    int32_t level; // picture sampled: 0, 1 or 2 by radius; -1 outside the tube
};

struct TunnelEffect {
    Texture target;                        // the surface rendered into, 128 x 64
    int32_t beatIndex = 0;                 // TunnelBeats entries before the demo time (0 to 49)
    float speed = 0.0f;                    // forward speed, in phase units per second
    float phase = 0.0f;                    // integral of the speed; drives the scroll and the twist
    Texture level0;                        // the wall picture, 128 x 64
    Texture level1;                        // its reduction, 64 x 32
    Texture level2;                        // 32 x 16
    std::unique_ptr<TunnelCell[]> mapping; // one per target cell, allocated by load
    uint32_t mappedWidth = 0;              // region size the mapping was worked out for
    uint32_t mappedHeight = 0;

    // Creates target (width x height, powers of two) and its mapping, and loads the three
    // wall pictures.
    // False at the first failure; what was built stays for release().
    bool load(int32_t width, int32_t height);

    // Moves the beat cursor to t (a kick of the speed per entry passed going forward),
    // advances the motion by delta seconds and fills columns 0..w-1 of rows 0..h-1 of target
    // (clipped to target's size).
    void render(float t, float delta, uint32_t w, uint32_t h);

    // Works out the mapping of the w x h region, of which columns x rows lie in target.
    void mapRegion(uint32_t w, uint32_t h, uint32_t columns, uint32_t rows);

    // Frees the mapping, level2, level1, level0 and target, in that order. Safe when partly
    // loaded.
    void release();
};
