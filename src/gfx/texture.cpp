// Texture: power-of-two Layers with the wrap-around, smoothstep-weighted sampler.
#include "gfx/texture.h"

#include "gfx/grid_alloc.h"
#include "gfx/resource_blob.h"

namespace {

constexpr float kByteScale = 0.003921569f; // 1/255 as a float: byte 255 gives exactly 1.0

bool isPowerOfTwoOrZero(int32_t n) {
    const uint32_t u = static_cast<uint32_t>(n);
    return n >= 0 && (u & (u - 1u)) == 0;
}

// floor(v) as an int32 (towards -inf, so -0.25 gives -1) with its fraction v - floor(v).
// A v that is not finite or whose floor lies outside int32 counts as 0 with fraction 0:
// the conversion would be undefined, and such a coordinate has no meaningful texel.
// Truncation corrected downwards is the floor without a library call or a switch of the
// rounding mode.
void floorSplit(float v, int32_t& whole, float& fraction) {
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

} // namespace

// Negative sides are refused (false) besides the power-of-two test; the masks are computed
// in unsigned arithmetic so that no size can overflow them.
bool Texture::setSize(int32_t newWidth, int32_t newHeight) {
    width = newWidth;
    height = newHeight;
    widthF = static_cast<float>(static_cast<uint32_t>(newWidth));
    heightF = static_cast<float>(static_cast<uint32_t>(newHeight));
    const uint32_t w = static_cast<uint32_t>(newWidth);
    const uint32_t h = static_cast<uint32_t>(newHeight);
    maskX = static_cast<int32_t>(w - 1u);
    maskY = static_cast<int32_t>(w * (h - 1u));
    return isPowerOfTwoOrZero(newWidth) && isPowerOfTwoOrZero(newHeight);
}

bool Texture::create(int32_t newWidth, int32_t newHeight) {
    if (!Layer::create(newWidth, newHeight)) return false;
    return setSize(newWidth, newHeight);
}

// Every refusal (a row width below 1, sides that are not powers of two, no memory) comes
// before the texture is touched, so a failed load leaves it as it was.
bool Texture::loadBytes(float value, const ResourceBlob& blob, int32_t rowWidth) {
    const uint32_t count = blob.data ? blob.size : 0u;
    const int32_t rows = gridRowCount(count, rowWidth);
    if (rows < 0 || !isPowerOfTwoOrZero(rowWidth) || !isPowerOfTwoOrZero(rows)) return false;
    std::unique_ptr<LayerCell[]> fresh = allocateZeroed<LayerCell>(count);
    if (!fresh) return false;
    for (uint32_t i = 0; i < count; ++i) {
        fresh[i].intensity = value;
        fresh[i].alpha = static_cast<float>(blob.data[i] * static_cast<double>(kByteScale));
    }
    cells = std::move(fresh);
    setSize(rowWidth, rows);
    return true;
}

// The rounding mode is never switched, so the caller's floating-point state is left as it
// was. An empty Texture samples as 0 in both channels.
void Texture::sample(LayerCell& destination, float u, float v) const {
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
