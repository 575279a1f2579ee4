// CellImage: allocation, rectangle fills, text, keyed copies and loading from byte pairs.
#include "gfx/cell.h"
#include "gfx/clip.h"
#include "gfx/grid_alloc.h"
#include "gfx/resource_blob.h"

bool CellImage::create(int32_t newWidth, int32_t newHeight) {
    const int64_t count = gridElementCount<Cell>(newWidth, newHeight);
    if (count < 0) return false;
    std::unique_ptr<Cell[]> fresh = allocateZeroed<Cell>(static_cast<uint64_t>(count));
    if (!fresh) return false;
    cells = std::move(fresh);
    width = newWidth;
    height = newHeight;
    return true;
}

void CellImage::fillRect(const Cell& cell, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!cells || !clipRect(*this, x, y, w, h)) return;
    // Copy first: `cell` may be one of our own Cells.
    const Cell value = cell;
    for (int32_t row = 0; row < h; ++row) {
        Cell* out = &cells[static_cast<size_t>(y + row) * static_cast<size_t>(width) + x];
        for (int32_t i = 0; i < w; ++i) out[i] = value;
    }
}

// A null or empty string writes nothing; a start inside the image still reports true.
bool CellImage::printText(const char* text, uint16_t attribute, int32_t x, int32_t y) {
    if (!cells || x < 0 || x >= width || y < 0 || y >= height || text == nullptr) return false;
    Cell* row = &cells[static_cast<size_t>(y) * static_cast<size_t>(width)];
    for (int32_t column = x; column < width && *text != '\0'; ++column, ++text) {
        row[column].character = static_cast<unsigned char>(*text);
        row[column].attribute = attribute;
    }
    return true;
}

void CellImage::copyKeyed(const CellImage& source, uint16_t key, int32_t sx, int32_t sy, int32_t dx,
                          int32_t dy, int32_t w, int32_t h) {
    if (!cells || !source.cells || !clipBlit(*this, source, sx, sy, dx, dy, w, h)) return;
    for (int32_t j = 0; j < h; ++j) {
        const Cell* in =
            &source.cells[static_cast<size_t>(sy + j) * static_cast<size_t>(source.width) + sx];
        Cell* out = &cells[static_cast<size_t>(dy + j) * static_cast<size_t>(width) + dx];
        for (int32_t i = 0; i < w; ++i) {
            if (in[i].character != key) out[i] = in[i];
        }
    }
}

// A row width below 1 is refused (false, nothing changed) rather than divided by.
bool CellImage::loadPairs(const ResourceBlob& blob, int32_t rowWidth) {
    const uint32_t count = blob.data ? blob.size / 2u : 0u;
    const int32_t rows = gridRowCount(count, rowWidth);
    if (rows < 0) return false;
    std::unique_ptr<Cell[]> fresh = allocateZeroed<Cell>(count);
    if (!fresh) return false;
    for (uint32_t i = 0; i < count; ++i) {
        fresh[i].character = blob.data[2u * i];
        fresh[i].attribute = blob.data[2u * i + 1u];
    }
    cells = std::move(fresh);
    width = rowWidth;
    height = rows;
    return true;
}
