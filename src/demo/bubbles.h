// The bubble field: 120 soft balls released three at a time on the beats, growing, falling
// and pushing each other apart into a pile, drawn as a rim, a body and a darker core.
#pragma once

#include <cstdint>

#include "draw/cell_area.h"

struct Layer;
struct BlendCoefficients;

struct Bubble {
    float baseRadius; // full-grown vertical radius in cells, 3 to 6
    float radius;     // current vertical radius, recomputed from the demo time every frame
    float x;          // centre column in cells of the target
    float y;          // centre row, growing downwards
    float vx;         // cells per frame (a displacement, not scaled by the frame delta)
    float vy;
};

constexpr int32_t kBubbleCount = 120;

struct BubbleField {
    Bubble bubbles[kBubbleCount] = {};

    // Draws three NextRandom numbers per bubble, in index order, for its size and place.
    // Cannot fail; returns true.
    bool create();

    // update, then draw: the bubbles scene calls this every frame. Returns draw's result.
    CellArea render(Layer& target, const BlendCoefficients& k, float t, float delta,
                    const CellArea& shown);

    // Sizes from the demo time t, then forces and motion over the frame delta (seconds).
    void update(float t, float delta);

    // Outline, body and core of every grown bubble that may touch `shown`, with the caller's
    // coefficients: a bubble wholly outside it would be drawn for nobody. Returns the area
    // drawn on.
    CellArea draw(Layer& target, const BlendCoefficients& k, const CellArea& shown) const;
};
