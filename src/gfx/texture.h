// Texture: a Layer with power-of-two sides, sampled anywhere with wrap-around and
// smoothstep-weighted bilinear filtering. Both words of its cells are floats.
#pragma once

#include <cstdint>

#include "gfx/layer.h"

struct Texture : Layer {
    float widthF = 0.0f;  // width as a float, so sampling converts no integers
    float heightF = 0.0f; // height as a float
    int32_t maskX = 0;    // width - 1: column wrap mask
    int32_t maskY = 0;    // width * (height - 1): wrap mask of the row offset

    // Stores the size and the derived fields; true when both sides are powers of two (or 0),
    // false for anything else, negative sides included.
    bool setSize(int32_t newWidth, int32_t newHeight);

    // Allocates width x height zero texels, then setSize. False on allocation failure
    // (nothing set) or when a side is not a power of two (the texels stay allocated).
    bool create(int32_t newWidth, int32_t newHeight);

    // One byte per texel, rows of `rowWidth` (>= 1): intensity = value, alpha = byte / 255.
    bool loadBytes(float value, const ResourceBlob& blob, int32_t rowWidth);

    // Samples both channels at (u, v) in texture units (1.0 spans the texture) into
    // destination.intensity and destination.alpha. Leaves the caller's FP state as it was.
    // A coordinate whose u * width (or v * height) is not finite or leaves the int32 range
    // counts as 0. An empty Texture samples as 0.
    void sample(LayerCell& destination, float u, float v) const;
};

// floor(v) as an int32 (towards -inf, so -0.25 gives -1) with its fraction v - floor(v).
// A v that is not finite or whose floor lies outside int32 counts as 0 with fraction 0:
// the conversion would be undefined, and such a coordinate has no meaningful texel.
// Truncation corrected downwards is the floor without a library call or a switch of the
// rounding mode.
inline void floorSplit(float v, int32_t& whole, float& fraction) {
    if (v >= -2147483648.0f && v < 2147483648.0f) {
        int32_t i = static_cast<int32_t>(v);
        if (static_cast<float>(i) > v) i -= 1;
        whole = i;
        fraction = v - static_cast<float>(i);
    } else {
        whole = 0;
        fraction = 0.0f;
    }
}

// Inline, as the tunnel samples once per cell. The rounding mode is never switched, so the
// caller's floating-point state is left as it was. An empty Texture samples as 0 in both
// channels.
inline void Texture::sample(LayerCell& destination, float u, float v) const {
    if (!cells || width <= 0 || height <= 0) {
        destination.intensity = 0.0f;
        destination.alpha = 0.0f;
        return;
    }
    const float x = u * widthF;
    const float y = v * heightF;
    int32_t ix = 0, iy = 0;
    float fx = 0.0f, fy = 0.0f;
    floorSplit(x, ix, fx);
    floorSplit(y, iy, fy);
    // Only the weights sx and 1 - sy are held as floats; sy itself weighs the lower row
    // unrounded, and 1 - sy is rounded once, from it.
    const float sx = static_cast<float>(3.0 * fx * fx - 2.0 * fx * fx * fx);
    const double sy = 3.0 * fy * fy - 2.0 * fy * fy * fy;
    const float oneMinusSy = static_cast<float>(1.0 - sy);

    // Unsigned arithmetic wraps like the two's complement addresses the masks expect.
    const uint32_t w = static_cast<uint32_t>(width);
    const uint32_t mx = static_cast<uint32_t>(maskX);
    const uint32_t my = static_cast<uint32_t>(maskY);
    const uint32_t c0 = static_cast<uint32_t>(ix) & mx;
    const uint32_t c1 = (static_cast<uint32_t>(ix) + 1u) & mx;
    const uint32_t r0 = (w * static_cast<uint32_t>(iy)) & my;
    const uint32_t r1 = (w * (static_cast<uint32_t>(iy) + 1u)) & my;
    const LayerCell& t00 = cells[r0 + c0];
    const LayerCell& t10 = cells[r0 + c1];
    const LayerCell& t01 = cells[r1 + c0];
    const LayerCell& t11 = cells[r1 + c1];

    const double wx1 = sx, wx0 = 1.0 - wx1, wy1 = sy, wy0 = oneMinusSy;
    const double i0 = wy0 * (wx0 * t00.intensity + wx1 * t10.intensity) +
                      wy1 * (wx0 * t01.intensity + wx1 * t11.intensity);
    const double a0 =
        wy0 * (wx0 * t00.alpha + wx1 * t10.alpha) + wy1 * (wx0 * t01.alpha + wx1 * t11.alpha);
    destination.intensity = static_cast<float>(i0);
    destination.alpha = static_cast<float>(a0);
}
