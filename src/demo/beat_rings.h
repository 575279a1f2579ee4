// The beat rings: on seventeen consecutive beats a ring is struck at a fixed place, an
// outline running ahead of a filling disc, both growing and fading over one second.
// A pure function of the demo time, so it holds no data.
#pragma once

#include <cstdint>

#include "draw/cell_area.h"

struct Layer;
struct BlendCoefficients;

struct BeatRing {
    float x;      // centre column in the target
    float y;      // centre row
    float size;   // vertical radius of the full-grown disc, in cells
    int32_t beat; // MainBeats entry on which it is struck
};

constexpr int32_t kBeatRingCount = 17;
extern const BeatRing BeatRingTable[kBeatRingCount];

struct BeatRings {
    // Draws every ring alive at demo time t (0 <= age <= 1 s) into target, in table order.
    // Returns the area drawn on (empty when no ring is alive).
    CellArea render(Layer& target, const BlendCoefficients& k, float t) const;
};
