// Display layouts and colour modes: their names on the command line; for layouts also the
// choice behind Auto, the size of the terminal grid each one needs, and the way a pointer
// position on that grid maps back to a cell of the picture. Pure: no terminal is touched.
#pragma once

#include <cstdint>

#include "console/console_screen.h"

// Reads "auto", "wide", "half" or "cells" into `layout`; false, leaving it alone, otherwise.
bool parseDisplayLayout(const char* text, DisplayLayout& layout);

// Reads "auto", "16", "256", "24bit", "truecolor" or "palette" into `mode`; false, leaving it
// alone, otherwise.
bool parseColorMode(const char* text, ColorMode& mode);

// The name parseDisplayLayout reads for `layout`.
const char* displayLayoutName(DisplayLayout layout);

// The layout that shows a width x height picture on a terminal of columns x rows in `mode`:
// `requested` unless it is Auto, else wide when 2 x width by height fits, else half when the
// colours can mix (Colors256, TrueColor, Palette), else cells.
DisplayLayout chooseDisplayLayout(DisplayLayout requested, ColorMode mode, int32_t columns,
                                  int32_t rows, int32_t width, int32_t height);

// Terminal columns and rows that show a width x height picture whole in `layout` (not Auto).
void displayGridSize(DisplayLayout layout, int32_t width, int32_t height, int32_t& columns,
                     int32_t& rows);

// Maps pointer positions on the terminal to the picture's cells for the layout shown.
struct PointerMap {
    int32_t originColumn = 0;      // terminal column (0-based) of the picture's left edge
    int32_t originRow = 0;         // terminal row (0-based) of the picture's top edge
    int32_t pictureWidth = 32767;  // cells; positions are clamped into the picture (until
    int32_t pictureHeight = 32767; // set, only into the range of a cell coordinate)
    int32_t columnsPerCell = 1;    // 2 in wide
    int32_t cellsPerRow = 1;       // 2 in half: one terminal row holds two cell rows
    int32_t cellPixelWidth = 0;    // pixels of one terminal cell, when the terminal reports the
    int32_t cellPixelHeight = 0;   // pointer in pixels; 0 when it reports cells

    // Sets the map for `layout` (not Auto) with the picture's top-left at the given terminal
    // cell; the pixel size is kept.
    void set(DisplayLayout layout, int32_t width, int32_t height, int32_t column, int32_t row);

    // The cell under terminal cell (column, row), both 0-based; in half the upper cell of the
    // pair. Positions off the picture (the margins of a centred picture) give its nearest
    // edge cell.
    void cellAt(int64_t column, int64_t row, int16_t& x, int16_t& y) const;

    // The same for a position in pixels (0-based) from the terminal's top-left corner, which
    // tells the two cells of a half-block character apart. Needs the cell's pixel size.
    void cellAtPixel(int64_t px, int64_t py, int16_t& x, int16_t& y) const;
};
