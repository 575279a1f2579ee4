// Cells to pixels: two colours and a glyph row mask per cell row, each row painted once and
// copied down for the vertical scale.
#include "paint/cell_painter.h"

#include <cstring>
#include <new>

#include "console/classic_colors.h"

namespace {

// The pixel's R, G, B, A bytes in memory order, whatever the machine's byte order.
uint32_t rgbaPixel(const Rgb& c) {
    const uint8_t bytes[4] = {c.r, c.g, c.b, 0xFF};
    uint32_t pixel = 0;
    std::memcpy(&pixel, bytes, sizeof pixel);
    return pixel;
}

bool sameCell(const Cell& a, const Cell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

// Pictures larger than this many pixels are refused (the capture's largest is 5120 x 3200).
constexpr int64_t kMaxPixels = int64_t{1} << 28;

} // namespace

bool CellPainter::create(const BitmapFont& font, int32_t newColumns, int32_t newRows,
                         int32_t newScaleX, int32_t newScaleY) {
    *this = CellPainter{};
    if (font.width <= 0 || font.height <= 0 || newColumns <= 0 || newRows <= 0 || newScaleX <= 0 ||
        newScaleY <= 0)
        return false;
    const int64_t width = int64_t{newColumns} * font.width * newScaleX;
    const int64_t height = int64_t{newRows} * font.height * newScaleY;
    if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels) return false;
    const size_t cellCount = static_cast<size_t>(newColumns) * static_cast<size_t>(newRows);
    pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width * height)]());
    painted.reset(new (std::nothrow) Cell[cellCount]());
    if (!pixels || !painted) {
        pixels.reset();
        painted.reset();
        return false;
    }
    columns = newColumns;
    rows = newRows;
    scaleX = newScaleX;
    scaleY = newScaleY;
    pixelWidth = static_cast<int32_t>(width);
    pixelHeight = static_cast<int32_t>(height);
    for (int i = 0; i < 16; ++i) colors[i] = rgbaPixel(kClassicColors[i]);
    return true;
}

int32_t CellPainter::paint(const CellImage& image, const BitmapFont& font) {
    const int32_t cellWidth = font.width * scaleX;
    const int32_t cellHeight = font.height * scaleY;
    if (!pixels || !image.cells || cellWidth * columns != pixelWidth ||
        cellHeight * rows != pixelHeight)
        return 0;
    const int32_t w = image.width < columns ? image.width : columns;
    const int32_t h = image.height < rows ? image.height : rows;
    const auto width = static_cast<size_t>(pixelWidth);
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
            uint32_t* out = &pixels[static_cast<size_t>(cy) * cellHeight * width +
                                    static_cast<size_t>(cx) * cellWidth];
            for (int32_t y = 0; y < font.height; ++y) {
                const uint32_t mask = glyph[y];
                uint32_t* row = out;
                for (int32_t x = 0; x < font.width; ++x) {
                    // All ones where the glyph has ink: a select without a branch.
                    const uint32_t ink = 0u - ((mask >> x) & 1u);
                    const uint32_t pixel = (fg & ink) | (bg & ~ink);
                    for (int32_t i = 0; i < scaleX; ++i) *row++ = pixel;
                }
                for (int32_t i = 1; i < scaleY; ++i)
                    std::memcpy(out + i * width, out, static_cast<size_t>(cellWidth) * 4);
                out += static_cast<size_t>(scaleY) * width;
            }
        }
    }
    paintedValid = true;
    return count;
}
