// Cell conversion: a palette Layer becomes console Cells, each intensity picking one of the
// 256 entries of its cell's Palette.
#include "gfx/cell.h"
#include "gfx/clip.h"
#include "gfx/layer.h"
#include "gfx/palette.h"

namespace {

// The level is a floor, not a rounding (0.5 gives 127); out-of-range intensities clamp.
// NaN takes level 0, so no non-finite value reaches the integer conversion.
int levelOf(float intensity) {
    if (intensity > 1.0f) return 255;
    if (!(intensity >= 0.0f)) return 0;
    // 255 * x is non-negative here, so truncation is the floor.
    return static_cast<int>(255.0 * static_cast<double>(intensity));
}

} // namespace

void CellImage::convertLayer(const Layer& source, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                             int32_t w, int32_t h) {
    if (!cells || !source.cells || !clipBlit(*this, source, sx, sy, dx, dy, w, h)) return;
    for (int32_t j = 0; j < h; ++j) {
        const LayerCell* in = source.cells.get() +
                              static_cast<size_t>(sy + j) * static_cast<size_t>(source.width) + sx;
        Cell* out = cells.get() + static_cast<size_t>(dy + j) * static_cast<size_t>(width) + dx;
        for (int32_t i = 0; i < w; ++i) {
            const Palette* palette = in[i].palette;
            if (palette != nullptr) out[i] = palette->entries[levelOf(in[i].intensity)];
        }
    }
}
