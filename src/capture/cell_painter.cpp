// Cells to pixels, shared by the video and the PNG captures.
#include "capture/cell_painter.h"

#include <cstring>

#include "console/classic_colors.h"
#include "gfx/cell.h"
#include "gfx/resource_blob.h"

bool ConsoleFont::load(const ResourceBlob& blob) {
    if (blob.data == nullptr || blob.size != sizeof rows) return false;
    std::memcpy(rows, blob.data, sizeof rows);
    return true;
}

void paintCells(const CellImage& cells, const ConsoleFont& font, int32_t scale, uint8_t* rgb,
                size_t stride) {
    const size_t cellSide = static_cast<size_t>(kCellPixels) * static_cast<size_t>(scale);
    const size_t dot = 2 * static_cast<size_t>(scale); // a font pixel's width on screen
    for (int32_t y = 0; y < cells.height; ++y) {
        for (int32_t x = 0; x < cells.width; ++x) {
            const Cell& cell = cells.cells[static_cast<size_t>(y) * cells.width + x];
            const uint8_t* glyph = font.rows[cell.character & 0xFF];
            const Rgb colors[2] = {kClassicColors[(cell.attribute >> 4) & 0x0F],
                                   kClassicColors[cell.attribute & 0x0F]};
            uint8_t* origin = rgb + static_cast<size_t>(y) * cellSide * stride +
                              static_cast<size_t>(x) * cellSide * 3;
            for (size_t row = 0; row < cellSide; ++row) {
                const unsigned bits = glyph[row / static_cast<size_t>(scale)];
                uint8_t* out = origin + row * stride;
                for (size_t column = 0; column < 8; ++column) {
                    const Rgb& c = colors[(bits >> (7 - column)) & 1u];
                    for (size_t i = 0; i < dot; ++i) {
                        *out++ = c.r;
                        *out++ = c.g;
                        *out++ = c.b;
                    }
                }
            }
        }
    }
}
