// Display layouts: the names, the Auto choice by terminal size and colour mode, and the way a
// pointer position on the terminal maps back to a cell of the picture in each layout.
#include "console/display_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// [names] The command line's names read back into the same layouts; others are refused.
TEST(DisplayLayoutNames, names_round_trip_and_unknown_ones_are_refused) {
    for (DisplayLayout layout :
         {DisplayLayout::Auto, DisplayLayout::Wide, DisplayLayout::Half, DisplayLayout::Cells}) {
        DisplayLayout read = DisplayLayout::Auto;
        EXPECT_TRUE(parseDisplayLayout(displayLayoutName(layout), read));
        EXPECT_EQ(read, layout);
    }
    DisplayLayout kept = DisplayLayout::Half;
    for (const char* bad : {"", "Wide", "cell", "wide ", "halfs"}) {
        EXPECT_FALSE(parseDisplayLayout(bad, kept)) << bad;
        EXPECT_EQ(kept, DisplayLayout::Half) << bad;
    }
}

// [names] Colour modes by their names, truecolor the other spelling of 24bit.
TEST(ColorModeNames, each_name_and_its_mode_and_unknown_ones_are_refused) {
    const std::pair<const char*, ColorMode> names[] = {{"auto", ColorMode::Auto},
                                                       {"16", ColorMode::Colors16},
                                                       {"256", ColorMode::Colors256},
                                                       {"24bit", ColorMode::TrueColor},
                                                       {"truecolor", ColorMode::TrueColor}};
    for (const auto& [name, mode] : names) {
        ColorMode read = ColorMode::Auto;
        EXPECT_TRUE(parseColorMode(name, read)) << name;
        EXPECT_EQ(read, mode) << name;
    }
    ColorMode kept = ColorMode::Colors256;
    for (const char* bad : {"", "8", "24", "TrueColor", "256 "}) {
        EXPECT_FALSE(parseColorMode(bad, kept)) << bad;
        EXPECT_EQ(kept, ColorMode::Colors256) << bad;
    }
}

// [auto] Wide needs 160 x 50; below that half where colours mix, cells in 16 colours.
TEST(DisplayLayoutChoice, auto_by_terminal_size_and_colour_mode) {
    struct Case {
        int columns, rows;
        ColorMode mode;
        DisplayLayout expected;
    };
    const Case cases[] = {
        {160, 50, ColorMode::Colors16, DisplayLayout::Wide},
        {160, 50, ColorMode::TrueColor, DisplayLayout::Wide},
        {300, 100, ColorMode::Colors256, DisplayLayout::Wide},
        {159, 50, ColorMode::TrueColor, DisplayLayout::Half},
        {160, 49, ColorMode::Colors256, DisplayLayout::Half},
        {80, 25, ColorMode::TrueColor, DisplayLayout::Half},
        {80, 24, ColorMode::Colors256, DisplayLayout::Half},
        {80, 24, ColorMode::Colors16, DisplayLayout::Cells},
        {159, 60, ColorMode::Colors16, DisplayLayout::Cells},
        {1, 1, ColorMode::TrueColor, DisplayLayout::Half},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseDisplayLayout(DisplayLayout::Auto, c.mode, c.columns, c.rows, 80, 50),
                  c.expected)
            << c.columns << "x" << c.rows << " mode " << static_cast<int>(c.mode);
    }
    // An explicit layout is kept whatever the terminal.
    EXPECT_EQ(chooseDisplayLayout(DisplayLayout::Half, ColorMode::Colors16, 300, 100, 80, 50),
              DisplayLayout::Half);
    EXPECT_EQ(chooseDisplayLayout(DisplayLayout::Wide, ColorMode::TrueColor, 80, 24, 80, 50),
              DisplayLayout::Wide);
}

// [pointer] Terminal positions (0-based) to cells: column pairs in wide, the upper cell of a
// pair in half (or the exact one from pixels), margins clamped to the picture's edge.
TEST(DisplayLayoutPointer, positions_map_to_cells_in_every_layout) {
    struct Case {
        DisplayLayout layout;
        int originColumn, originRow;
        int column, row;  // terminal cell
        int cellX, cellY; // picture cell expected
    };
    const Case cases[] = {
        {DisplayLayout::Cells, 0, 0, 10, 5, 10, 5},
        {DisplayLayout::Cells, 0, 0, 100, 60, 79, 49}, // beyond the picture: its corner
        {DisplayLayout::Cells, 10, 5, 9, 4, 0, 0},     // top-left margin
        {DisplayLayout::Cells, 10, 5, 90, 30, 79, 25}, // right margin
        {DisplayLayout::Wide, 0, 0, 0, 0, 0, 0},
        {DisplayLayout::Wide, 0, 0, 1, 0, 0, 0}, // both columns of a pair
        {DisplayLayout::Wide, 0, 0, 2, 7, 1, 7},
        {DisplayLayout::Wide, 0, 0, 159, 49, 79, 49},
        {DisplayLayout::Wide, 5, 2, 4, 1, 0, 0}, // margins of a centred picture
        {DisplayLayout::Wide, 5, 2, 6, 3, 0, 1},
        {DisplayLayout::Wide, 5, 2, 165, 52, 79, 49},
        {DisplayLayout::Wide, 5, 2, 164, 30, 79, 28},
        {DisplayLayout::Half, 0, 0, 10, 0, 10, 0},
        {DisplayLayout::Half, 0, 0, 10, 1, 10, 2}, // the upper cell of each pair
        {DisplayLayout::Half, 0, 0, 10, 24, 10, 48},
        {DisplayLayout::Half, 0, 0, 10, 30, 10, 49}, // below the picture
        {DisplayLayout::Half, 10, 17, 9, 16, 0, 0},
        {DisplayLayout::Half, 10, 17, 12, 20, 2, 6},
        {DisplayLayout::Half, 10, 17, 95, 45, 79, 49},
    };
    for (const Case& c : cases) {
        PointerMap map;
        map.set(c.layout, 80, 50, c.originColumn, c.originRow);
        int16_t x = -1, y = -1;
        map.cellAt(c.column, c.row, x, y);
        EXPECT_EQ(x, c.cellX) << displayLayoutName(c.layout) << " at " << c.column << "," << c.row;
        EXPECT_EQ(y, c.cellY) << displayLayoutName(c.layout) << " at " << c.column << "," << c.row;
    }
}

TEST(DisplayLayoutPointer, pixel_positions_tell_the_two_cells_of_a_half_block_apart) {
    struct Case {
        DisplayLayout layout;
        int originColumn, originRow;
        int px, py;       // pixels from the terminal's top-left corner
        int cellX, cellY; // with terminal cells of 8 x 16 pixels
    };
    const Case cases[] = {
        {DisplayLayout::Half, 0, 0, 85, 7, 10, 0},    // upper half of terminal row 0
        {DisplayLayout::Half, 0, 0, 85, 8, 10, 1},    // lower half
        {DisplayLayout::Half, 0, 0, 85, 25, 10, 3},   // row 1, lower half
        {DisplayLayout::Half, 10, 17, 83, 281, 0, 1}, // 9 pixels into row 17 (272): lower
        {DisplayLayout::Half, 10, 17, 79, 271, 0, 0}, // in the margin: clamped
        {DisplayLayout::Wide, 0, 0, 17, 0, 1, 0},     // terminal column 2 is cell 1
        {DisplayLayout::Wide, 0, 0, 15, 31, 0, 1},
        {DisplayLayout::Cells, 0, 0, 639, 799, 79, 49}, // the last pixel of the last cell
    };
    for (const Case& c : cases) {
        PointerMap map;
        map.set(c.layout, 80, 50, c.originColumn, c.originRow);
        map.cellPixelWidth = 8;
        map.cellPixelHeight = 16;
        int16_t x = -1, y = -1;
        map.cellAtPixel(c.px, c.py, x, y);
        EXPECT_EQ(x, c.cellX) << displayLayoutName(c.layout) << " at " << c.px << "," << c.py;
        EXPECT_EQ(y, c.cellY) << displayLayoutName(c.layout) << " at " << c.px << "," << c.py;
    }
}
