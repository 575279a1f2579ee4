// The picture of the video and PNG captures: each cell painted with the embedded 8 x 16 font,
// every font pixel doubled across (times the scale), as the demo's round shapes need square
// cells: 16 x 16 pixels a cell, 1280 x 800 pixels for the screen at scale 1.
#pragma once

#include <cstdint>

#include "paint/cell_painter.h"

struct CapturePicture {
    BitmapFont font;
    CellPainter painter;

    // Loads the font and allocates the picture of the screen at `scale`. False when either
    // fails.
    bool create(int32_t scale);
    // Paints the screen's changed cells.
    void paint(const CellImage& screen) { painter.paint(screen, font); }
};
