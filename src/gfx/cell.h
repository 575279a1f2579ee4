// Cell and CellImage: pictures made of console cells. The back buffer, the caption
// pictures and the dissolve picture are CellImages.
#pragma once

#include <cstdint>
#include <memory>

struct ResourceBlob;
struct Layer;

// One console cell in the Win32 CHAR_INFO layout (character word, then attribute word),
// so an array of Cells is what a console takes as it is.
struct Cell {
    uint16_t character; // code page 437 character in the low byte
    uint16_t attribute; // bits 0-3 foreground (blue 1, green 2, red 4, bright 8), 4-7 background
};
static_assert(sizeof(Cell) == 4, "Cell must keep the console's 4-byte cell layout");

struct CellImage {
    int32_t width = 0;             // cells per row
    int32_t height = 0;            // rows
    std::unique_ptr<Cell[]> cells; // row-major; (x, y) is element y * width + x

    // Allocates width x height zero Cells. On failure returns false and changes nothing.
    bool create(int32_t newWidth, int32_t newHeight);

    // Stores `cell` into the rectangle, clipped with clipRect.
    void fillRect(const Cell& cell, int32_t x, int32_t y, int32_t w, int32_t h);

    // Writes the NUL-terminated `text` into row y from column x with `attribute`, cut at
    // the row's end. Returns false, writing nothing, when (x, y) lies outside the image.
    bool printText(const char* text, uint16_t attribute, int32_t x, int32_t y);

    // Copies a rectangle of `source` to (dx, dy), skipping source cells whose character
    // equals `key`. Clipped with clipBlit.
    void copyKeyed(const CellImage& source, uint16_t key, int32_t sx, int32_t sy, int32_t dx,
                   int32_t dy, int32_t w, int32_t h);

    // Builds the image from character/attribute byte pairs with rows of `rowWidth` (>= 1).
    // An odd last byte is ignored; cells after the last whole row are kept but unreachable.
    bool loadPairs(const ResourceBlob& blob, int32_t rowWidth);

    // Turns a rectangle of a palette Layer into Cells through each cell's Palette; cells
    // without a palette leave the Cell below unchanged. Clipped with clipBlit.
    void convertLayer(const Layer& source, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                      int32_t w, int32_t h);
};
