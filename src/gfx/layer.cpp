// Layer: allocation, loading and the compositing operations. Every formula runs in double
// precision and is rounded to float once, when the cell is stored.
#include "gfx/layer.h"

#include <cstring>

#include "gfx/blend.h"
#include "gfx/clip.h"
#include "gfx/grid_alloc.h"
#include "gfx/next_random.h"
#include "gfx/resource_blob.h"

namespace {

// 1/255 and 1/32767 as the floats the data was made with: byte 255 gives exactly 1.0.
constexpr float kByteScale = 0.003921569f;
constexpr float kRandomScale = 3.0518509e-05f;

// The second word as bytes, whole, whichever reading it has: cheaper than copying the
// whole cell, padding included.
static_assert(sizeof(const Palette*) >= sizeof(float), "the pointer spans the second word");
void copySecondWord(LayerCell& to, const LayerCell& from) {
    std::memcpy(&to.palette, &from.palette, sizeof to.palette);
}

LayerCell* rowStart(LayerCell* cells, int32_t width, int32_t x, int32_t y) {
    return cells + static_cast<size_t>(y) * static_cast<size_t>(width) + x;
}

} // namespace

void BlendCoefficients::blendPair(LayerCell& cell, const Paint& paint) const {
    blendCell(cell, paint.value, paint.coverage, *this);
}

bool Layer::create(int32_t newWidth, int32_t newHeight) {
    const int64_t count = gridElementCount<LayerCell>(newWidth, newHeight);
    if (count < 0) return false;
    std::unique_ptr<LayerCell[]> fresh = allocateZeroed<LayerCell>(static_cast<uint64_t>(count));
    if (!fresh) return false;
    cells = std::move(fresh);
    width = newWidth;
    height = newHeight;
    return true;
}

// A row width below 1, or one that leaves more rows than an int32 holds, is refused.
bool Layer::loadBytes(const ResourceBlob& blob, const Palette* palette, int32_t rowWidth) {
    const uint32_t count = blob.data ? blob.size : 0u;
    const int32_t rows = gridRowCount(count, rowWidth);
    if (rows < 0) return false;
    std::unique_ptr<LayerCell[]> fresh = allocateZeroed<LayerCell>(count);
    if (!fresh) return false;
    for (uint32_t i = 0; i < count; ++i) {
        fresh[i].intensity = static_cast<float>(blob.data[i] * static_cast<double>(kByteScale));
        fresh[i].palette = palette;
    }
    cells = std::move(fresh);
    width = rowWidth;
    height = rows;
    return true;
}

// The loops work on local copies of the coefficients and paints: through a reference the
// compiler must assume that every store to a cell may change them, and reload them per cell.
void Layer::paintRect(const Paint& paint, const BlendCoefficients& coefficients, int32_t x,
                      int32_t y, int32_t w, int32_t h) {
    if (!cells || !clipRect(*this, x, y, w, h)) return;
    const Paint p = paint;
    const BlendCoefficients k = coefficients;
    for (int32_t j = 0; j < h; ++j) {
        LayerCell* out = rowStart(cells.get(), width, x, y + j);
        for (int32_t i = 0; i < w; ++i) blendCell(out[i], p.value, p.coverage, k);
    }
}

void Layer::addNoise(const BlendCoefficients& coefficients, int32_t x, int32_t y, int32_t w,
                     int32_t h) {
    if (!cells || !clipRect(*this, x, y, w, h)) return;
    const BlendCoefficients k = coefficients;
    uint32_t state = RandomState;
    for (int32_t j = 0; j < h; ++j) {
        LayerCell* out = rowStart(cells.get(), width, x, y + j);
        for (int32_t i = 0; i < w; ++i) {
            const double t = stepRandom(state) * static_cast<double>(kRandomScale);
            const double s = 3.0 * t * t - 2.0 * t * t * t;
            const double oldIntensity = out[i].intensity;
            const double oldAlpha = out[i].alpha;
            out[i].intensity = static_cast<float>(k.k0 * s + k.k1 * oldIntensity);
            out[i].alpha = static_cast<float>(k.k4 * s + k.k5 * oldAlpha);
        }
    }
    RandomState = state;
}

void Layer::skipNoise(int32_t x, int32_t y, int32_t w, int32_t h) const {
    if (!cells || !clipRect(*this, x, y, w, h)) return;
    skipRandom(static_cast<uint32_t>(w) * static_cast<uint32_t>(h));
}

void Layer::copyFrom(const Layer& source, const BlendCoefficients& coefficients, int32_t sx,
                     int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h) {
    if (!cells || !source.cells || !clipBlit(*this, source, sx, sy, dx, dy, w, h)) return;
    const BlendCoefficients k = coefficients;
    for (int32_t j = 0; j < h; ++j) {
        const LayerCell* in = rowStart(source.cells.get(), source.width, sx, sy + j);
        LayerCell* out = rowStart(cells.get(), width, dx, dy + j);
        for (int32_t i = 0; i < w; ++i) {
            // Whole-cell copy keeps the second word bit for bit, whichever reading it has.
            LayerCell next = in[i];
            next.intensity = static_cast<float>(k.k0 * static_cast<double>(in[i].intensity) +
                                                k.k1 * static_cast<double>(out[i].intensity));
            out[i] = next;
        }
    }
}

// A NaN alpha counts as 0, like a negative one: it never gives a cell the palette.
void Layer::composite(const Layer& source, const Palette* palette, float threshold,
                      const BlendCoefficients& k, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                      int32_t w, int32_t h) {
    if (!cells || !source.cells || !clipBlit(*this, source, sx, sy, dx, dy, w, h)) return;
    const double k0 = k.k0, k1 = k.k1, k2 = k.k2, k3 = k.k3;
    for (int32_t j = 0; j < h; ++j) {
        const LayerCell* in = rowStart(source.cells.get(), source.width, sx, sy + j);
        LayerCell* out = rowStart(cells.get(), width, dx, dy + j);
        for (int32_t i = 0; i < w; ++i) {
            float a = in[i].alpha;
            if (a > 1.0f) a = 1.0f;
            if (!(a >= 0.0f)) a = 0.0f;
            const double src = in[i].intensity;
            const double dst = out[i].intensity;
            out[i].intensity = static_cast<float>(k0 * src + k1 * dst + a * (k2 * src + k3 * dst));
            if (a > threshold) out[i].palette = palette;
        }
    }
}

void Layer::fillRect(const LayerCell& value, const BlendCoefficients& coefficients, int32_t x,
                     int32_t y, int32_t w, int32_t h) {
    if (!cells || !clipRect(*this, x, y, w, h)) return;
    const BlendCoefficients k = coefficients;
    // Copy first: `value` may be one of our own cells.
    const LayerCell constant = value;
    const double v = constant.intensity;
    for (int32_t j = 0; j < h; ++j) {
        LayerCell* out = rowStart(cells.get(), width, x, y + j);
        for (int32_t i = 0; i < w; ++i) {
            out[i].intensity =
                static_cast<float>(k.k0 * v + k.k1 * static_cast<double>(out[i].intensity));
            copySecondWord(out[i], constant);
        }
    }
}
