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
