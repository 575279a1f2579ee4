// CellArea: a rectangle of grid cells, used to keep track of where drawing happened (so that
// only that part is cleared or composited) and to leave out drawings nobody would see.
#pragma once

#include <cstdint>

struct CellArea {
    // Columns [left, right) by rows [top, bottom); no cell when right <= left or
    // bottom <= top.
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }

    // Whether the two share a cell.
    bool overlaps(const CellArea& other) const;

    // Grows to the smallest rectangle that also holds the w x h cells at (x, y), or `other`
    // (an empty one adds nothing).
    void add(int32_t x, int32_t y, int32_t w, int32_t h);
    void add(const CellArea& other);

    // The cells that a segment, ring or disc lying within x0..x1, y0..y1 (cell coordinates,
    // x0 <= x1, y0 <= y1) may write: the anti-aliased edges and the half-cell steps of the
    // walks reach up to two cells past the box. Nothing for non-finite input, which draws
    // nothing; far-off coordinates are pinned at +-2^24 cells.
    static CellArea around(float x0, float y0, float x1, float y1);
};
