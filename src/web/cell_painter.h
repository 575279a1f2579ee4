// CellPainter: paints a picture of console cells as RGBA pixels for the page's canvas, with a
// code page 437 bitmap font and the classic console palette. Each cell is a glyph's size in
// pixels (the page stretches the canvas so that cells come out square). Only cells that
// changed since the last paint are repainted.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/cell.h"

// A bitmap font of 256 glyphs, each `height` rows of `width` pixels. Row masks are 16-bit,
// bit 0 the leftmost pixel, one per row, glyph by glyph: glyph c's row y is rows[c * height + y].
constexpr int32_t kMaxGlyphWidth = 16;
constexpr int32_t kMaxGlyphHeight = 32;
struct BitmapFont {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint16_t[]> rows; // 256 * height masks

    // Allocates a blank font of width x height pixels (1..16 x 1..32). False, leaving the
    // font empty, for other sizes or when memory runs out.
    bool create(int32_t newWidth, int32_t newHeight);
};

struct CellPainter {
    int32_t columns = 0, rows = 0;           // cells
    int32_t pixelWidth = 0, pixelHeight = 0; // of the painted picture
    std::unique_ptr<uint32_t[]> pixels;      // RGBA bytes in memory order, row-major
    std::unique_ptr<Cell[]> painted;         // the cell each position shows now
    bool paintedValid = false;               // false: repaint every cell next time
    uint32_t colors[16] = {};                // the console palette as RGBA words

    // Allocates the pixels for columns x rows cells of `font`'s glyphs. False, leaving the
    // painter empty, when the sizes are not positive or memory runs out.
    bool create(const BitmapFont& font, int32_t newColumns, int32_t newRows);
    // Paints the cells of `image` that differ from what is shown (its top-left columns x
    // rows; cells outside it are left as they are). Returns the number of cells painted.
    int32_t paint(const CellImage& image, const BitmapFont& font);
};
