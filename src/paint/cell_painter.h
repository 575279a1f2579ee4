// CellPainter: paints a picture of console cells as RGBA pixels with a BitmapFont and the
// classic console palette, for the web page's canvas and the capture's video and PNG files.
// Each font pixel becomes scaleX x scaleY pixels: the page paints glyphs as they are and
// stretches its canvas, the capture doubles them across (times its scale) for square cells.
// Only the cells that changed since the last paint are repainted.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/cell.h"
#include "paint/bitmap_font.h"

struct CellPainter {
    int32_t columns = 0, rows = 0;           // cells
    int32_t scaleX = 1, scaleY = 1;          // pixels per font pixel across and down
    int32_t pixelWidth = 0, pixelHeight = 0; // of the painted picture
    std::unique_ptr<uint32_t[]> pixels;      // R, G, B, A bytes per pixel in memory, row-major
    std::unique_ptr<Cell[]> painted;         // the cell each position shows now
    bool paintedValid = false;               // false: repaint every cell next time
    uint32_t colors[16] = {};                // the console palette as pixels

    // Allocates the pixels for columns x rows cells of `font`'s glyphs, each font pixel
    // newScaleX x newScaleY pixels. False, leaving the painter empty, when a size or scale
    // is not positive, the picture would not fit in memory or memory runs out.
    bool create(const BitmapFont& font, int32_t newColumns, int32_t newRows, int32_t newScaleX,
                int32_t newScaleY);
    // Paints the cells of `image` that differ from what is shown (its top-left columns x
    // rows; cells outside it are left as they are). Characters use the low byte of the
    // character word, colours the low byte of the attribute. Returns the number of cells
    // painted. Allocates nothing.
    int32_t paint(const CellImage& image, const BitmapFont& font);
    // Bytes from one row of pixels to the next.
    size_t stride() const { return static_cast<size_t>(pixelWidth) * 4; }
};
