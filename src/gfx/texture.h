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
