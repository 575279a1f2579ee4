// Paints cells into RGB pictures for the video and PNG captures: each cell is a glyph of the
// 8 x 16 console font (font.bin) in the classic console colours (kClassicColors), drawn into a
// square cell of 16 x 16 pixels per scale step by doubling every font pixel across, as the demo's
// round shapes need square cells. An 80 x 50 screen is 1280 x 800 pixels at scale 1.
#pragma once

#include <cstddef>
#include <cstdint>

struct CellImage;
struct ResourceBlob;

constexpr int32_t kCellPixels = 16; // a cell's side in pixels at scale 1

struct ConsoleFont {
    uint8_t rows[256][16] = {}; // per glyph, a byte per row from the top, leftmost pixel bit 7

    // Copies the 4,096 bytes of font.bin. False, leaving the font blank, on any other size.
    bool load(const ResourceBlob& blob);
};

// Paints `cells` at `scale` into `rgb`: rows of `stride` bytes, 3 bytes (R, G, B) a pixel,
// cells.width x cells.height x (16 x scale)^2 pixels in all. Characters use the low byte of
// the character word, colours the low byte of the attribute.
void paintCells(const CellImage& cells, const ConsoleFont& font, int32_t scale, uint8_t* rgb,
                size_t stride);
