// Cells to pixels: two colours and a glyph row mask per cell row.
#include "web/cell_painter.h"

#include <cstring>
#include <new>

#include "console/classic_colors.h"

namespace {

// RGBA bytes in memory order as one little-endian word (WebAssembly is little-endian).
uint32_t rgbaWord(const Rgb& c) {
    return static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 |
           static_cast<uint32_t>(c.b) << 16 | 0xFF000000u;
}

bool sameCell(const Cell& a, const Cell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

} // namespace

bool BitmapFont::create(int32_t newWidth, int32_t newHeight) {
    rows.reset();
    width = height = 0;
    if (newWidth < 1 || newWidth > kMaxGlyphWidth || newHeight < 1 || newHeight > kMaxGlyphHeight)
        return false;
    rows.reset(new (std::nothrow) uint16_t[256 * static_cast<size_t>(newHeight)]());
    if (!rows) return false;
    width = newWidth;
    height = newHeight;
    return true;
}

bool CellPainter::create(const BitmapFont& font, int32_t newColumns, int32_t newRows) {
    pixels.reset();
    painted.reset();
    columns = rows = pixelWidth = pixelHeight = 0;
    paintedValid = false;
    if (font.width <= 0 || font.height <= 0 || newColumns <= 0 || newRows <= 0) return false;
    const size_t cellCount = static_cast<size_t>(newColumns) * static_cast<size_t>(newRows);
    const size_t pixelCount =
        cellCount * static_cast<size_t>(font.width) * static_cast<size_t>(font.height);
    pixels.reset(new (std::nothrow) uint32_t[pixelCount]());
    painted.reset(new (std::nothrow) Cell[cellCount]());
    if (!pixels || !painted) {
        pixels.reset();
        painted.reset();
        return false;
    }
    columns = newColumns;
    rows = newRows;
    pixelWidth = newColumns * font.width;
    pixelHeight = newRows * font.height;
    for (int i = 0; i < 16; ++i) colors[i] = rgbaWord(kClassicColors[i]);
    return true;
}

int32_t CellPainter::paint(const CellImage& image, const BitmapFont& font) {
    if (!pixels || !image.cells || font.width * columns != pixelWidth ||
        font.height * rows != pixelHeight)
        return 0;
    const int32_t w = image.width < columns ? image.width : columns;
    const int32_t h = image.height < rows ? image.height : rows;
    int32_t count = 0;
    for (int32_t cy = 0; cy < h; ++cy) {
        for (int32_t cx = 0; cx < w; ++cx) {
            const Cell& cell = image.cells[static_cast<size_t>(cy) * image.width + cx];
            Cell& shown = painted[static_cast<size_t>(cy) * columns + cx];
            if (paintedValid && sameCell(cell, shown)) continue;
            shown = cell;
            ++count;
            const uint32_t fg = colors[cell.attribute & 0x0F];
            const uint32_t bg = colors[(cell.attribute >> 4) & 0x0F];
            const uint16_t* glyph =
                &font.rows[static_cast<size_t>(cell.character & 0xFF) * font.height];
            uint32_t* out = &pixels[(static_cast<size_t>(cy) * font.height) * pixelWidth +
                                    static_cast<size_t>(cx) * font.width];
            for (int32_t y = 0; y < font.height; ++y, out += pixelWidth) {
                const uint32_t mask = glyph[y];
                for (int32_t x = 0; x < font.width; ++x) {
                    // All ones where the glyph has ink: a select without a branch.
                    const uint32_t ink = 0u - ((mask >> x) & 1u);
                    out[x] = (fg & ink) | (bg & ~ink);
                }
            }
        }
    }
    paintedValid = true;
    return count;
}
