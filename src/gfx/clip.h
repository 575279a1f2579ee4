// The two clipping rules shared by every rectangle operation on CellImages, Layers and
// Textures. They read only the grids' width and height and update the rectangle in place;
// the result is true when a non-empty rectangle is left.
#pragma once

#include <cstdint>

// Clips (x, y, w, h) to a grid of gridWidth x gridHeight.
bool clipRectToSize(int32_t gridWidth, int32_t gridHeight, int32_t& x, int32_t& y, int32_t& w,
                    int32_t& h);

// Clips a copy of the w x h rectangle at (sx, sy) of a source to (dx, dy) of a destination.
// A negative origin on either side shifts the other side's origin by the same amount.
bool clipBlitToSizes(int32_t destWidth, int32_t destHeight, int32_t sourceWidth,
                     int32_t sourceHeight, int32_t& sx, int32_t& sy, int32_t& dx, int32_t& dy,
                     int32_t& w, int32_t& h);

template <class Grid>
bool clipRect(const Grid& grid, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
    return clipRectToSize(grid.width, grid.height, x, y, w, h);
}

template <class Dest, class Source>
bool clipBlit(const Dest& destination, const Source& source, int32_t& sx, int32_t& sy, int32_t& dx,
              int32_t& dy, int32_t& w, int32_t& h) {
    return clipBlitToSizes(destination.width, destination.height, source.width, source.height, sx,
                           sy, dx, dy, w, h);
}
