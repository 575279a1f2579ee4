// TerminalOutput checked by a real terminal emulator (libvterm): frame after frame, partial
// updates, resizes and full repaints must leave the terminal showing the back buffer, in
// every colour mode.
#include "console/terminal_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "emulated_terminal.h"
#include "gfx/cp437.h"

namespace {

constexpr ColorMode kModes[] = {ColorMode::Colors16, ColorMode::Colors256, ColorMode::TrueColor,
                                ColorMode::Palette};

const char* modeName(ColorMode mode) {
    return mode == ColorMode::Colors16    ? "16"
           : mode == ColorMode::Colors256 ? "256"
           : mode == ColorMode::Palette   ? "palette"
                                          : "24-bit";
}

CellImage makeImage(int32_t width, int32_t height) {
    CellImage image;
    image.width = width;
    image.height = height;
    image.cells = std::make_unique<Cell[]>(static_cast<size_t>(width * height));
    return image;
}

void randomise(CellImage& image, std::mt19937& rng, int percent) {
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        if (static_cast<int>(rng() % 100) >= percent) continue;
        image.cells[static_cast<size_t>(i)] =
            Cell{static_cast<uint16_t>(rng() % 256), static_cast<uint16_t>(rng() % 256)};
    }
}

// Builds one frame and hands its bytes to the emulated terminal. A palette terminal gets its
// entries 0-15 first, as the back end sets them on entering.
size_t sendFrame(TerminalOutput& out, const CellImage& image, EmulatedTerminal& terminal) {
    if (out.colorMode == ColorMode::Palette && terminal.palette[0] < 0) {
        const char* set = classicPaletteSequence();
        terminal.write(set, std::strlen(set));
    }
    out.begin();
    out.appendFrame(image);
    terminal.write(out.bytes.get(), out.length);
    return out.length;
}

std::string shows(const TerminalOutput& out, const CellImage& image,
                  const EmulatedTerminal& terminal) {
    return terminal.mismatch(
        image, out.originColumn, out.originRow, out.visibleWidth, out.visibleHeight, out.colorMode,
        out.layout, out.layout == DisplayLayout::Half && out.halfGlyphs == HalfGlyphs::Either);
}

bool contains(const TerminalOutput& out, const char* text) {
    const std::string bytes(out.bytes.get(), out.length);
    return bytes.find(text) != std::string::npos;
}

} // namespace

// [frames] Random pictures, then random sparse changes: every frame leaves the terminal
// equal to the back buffer, and partial frames never clear the screen.
TEST(TerminalOutputFrames, partial_updates_keep_the_terminal_equal_in_every_mode) {
    for (ColorMode mode : kModes) {
        std::mt19937 rng(7);
        CellImage image = makeImage(80, 50);
        TerminalOutput out;
        ASSERT_TRUE(out.create(80, 50));
        out.setColorMode(mode);
        out.setTerminalSize(80, 50);
        EmulatedTerminal terminal(80, 50);
        randomise(image, rng, 100);
        sendFrame(out, image, terminal);
        ASSERT_EQ(shows(out, image, terminal), "") << modeName(mode) << " full repaint";
        for (int frame = 0; frame < 30; ++frame) {
            randomise(image, rng, frame % 3 == 0 ? 1 : 15);
            sendFrame(out, image, terminal);
            ASSERT_FALSE(contains(out, "\x1b[2J")) << modeName(mode) << " frame " << frame;
            ASSERT_EQ(shows(out, image, terminal), "") << modeName(mode) << " frame " << frame;
        }
    }
}

TEST(TerminalOutputFrames, unchanged_frame_writes_nothing_and_one_cell_writes_little) {
    CellImage image = makeImage(80, 50);
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setColorMode(ColorMode::TrueColor);
    out.setTerminalSize(80, 50);
    EmulatedTerminal terminal(80, 50);
    sendFrame(out, image, terminal);
    EXPECT_EQ(sendFrame(out, image, terminal), 0u);
    image.cells[50 * 80 - 1] = Cell{0xB2, 0x1E}; // bottom-right corner, yellow on blue
    // ESC[50;80H (8) + ESC[38;2;255;255;0;48;2;0;0;128m (30) + U+2593 (3)
    EXPECT_EQ(sendFrame(out, image, terminal), 41u);
    EXPECT_EQ(shows(out, image, terminal), "");
}

TEST(TerminalOutputFrames, colour_changes_send_only_the_half_that_changed) {
    CellImage image = makeImage(4, 1);
    TerminalOutput out;
    ASSERT_TRUE(out.create(4, 1));
    out.setColorMode(ColorMode::Colors16);
    out.setTerminalSize(4, 1);
    EmulatedTerminal terminal(4, 1);
    image.cells[0] = Cell{'a', 0x07};
    image.cells[1] = Cell{'b', 0x0F}; // foreground only: bright white is 97
    image.cells[2] = Cell{'c', 0x1F}; // background only: blue is 44
    image.cells[3] = Cell{'d', 0x1F}; // nothing
    sendFrame(out, image, terminal);
    const std::string bytes(out.bytes.get(), out.length);
    EXPECT_NE(bytes.find("a\x1b[97mb\x1b[44mcd"), std::string::npos) << bytes;
    EXPECT_EQ(shows(out, image, terminal), "");
}

TEST(TerminalOutputFrames, blanks_ignore_the_foreground) {
    // Spaces, NULs and no-break spaces show only their background.
    CellImage image = makeImage(6, 1);
    TerminalOutput out;
    ASSERT_TRUE(out.create(6, 1));
    out.setColorMode(ColorMode::Colors16);
    out.setTerminalSize(6, 1);
    EmulatedTerminal terminal(6, 1);
    image.cells[0] = Cell{'x', 0x1E};
    image.cells[1] = Cell{' ', 0x17};
    image.cells[2] = Cell{0, 0x12};
    image.cells[3] = Cell{0xFF, 0x1F};
    image.cells[4] = Cell{'y', 0x1E};
    image.cells[5] = Cell{' ', 0x40};
    sendFrame(out, image, terminal);
    std::string bytes(out.bytes.get(), out.length);
    // Yellow on blue, three blanks in the same pen, y, then only the background changes.
    EXPECT_NE(bytes.find("\x1b[93;44mx  \xc2\xa0y\x1b[41m "), std::string::npos) << bytes;
    EXPECT_EQ(shows(out, image, terminal), "");
    image.cells[1].attribute = 0x1C; // a blank's new foreground: nothing to write
    image.cells[2].character = ' ';  // one blank for another
    EXPECT_EQ(sendFrame(out, image, terminal), 0u);
    image.cells[3].attribute = 0x2C; // a new background must go out
    EXPECT_GT(sendFrame(out, image, terminal), 0u);
    EXPECT_EQ(shows(out, image, terminal), "");
}

TEST(TerminalOutputFrames, cursor_moves_are_short_and_right) {
    // Changes spread over the row ends exercise every kind of move: forward jumps, rewriting
    // a short gap, next-line and absolute moves, and leaving the last column.
    std::mt19937 rng(3);
    CellImage image = makeImage(80, 50);
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setTerminalSize(80, 50);
    EmulatedTerminal terminal(80, 50);
    sendFrame(out, image, terminal);
    for (int frame = 0; frame < 40; ++frame) {
        for (int k = 0; k < 30; ++k) {
            const int x = static_cast<int>(rng() % 2 ? rng() % 6 : 74 + rng() % 6);
            const int y = static_cast<int>(rng() % 50);
            image.cells[static_cast<size_t>(y * 80 + x)] =
                Cell{static_cast<uint16_t>('A' + rng() % 26), static_cast<uint16_t>(rng() % 3)};
        }
        sendFrame(out, image, terminal);
        ASSERT_EQ(shows(out, image, terminal), "") << "frame " << frame;
    }
}

TEST(TerminalOutputFrames, worst_frame_fits_the_buffer) {
    // Every other cell changes, each with new colours on both halves: a move, a full colour
    // change and a three-byte glyph per cell in 24-bit mode, in every layout.
    for (DisplayLayout layout : {DisplayLayout::Wide, DisplayLayout::Half, DisplayLayout::Cells}) {
        CellImage image = makeImage(80, 50);
        TerminalOutput out;
        ASSERT_TRUE(out.create(80, 50));
        out.setColorMode(ColorMode::TrueColor);
        out.setLayout(layout);
        out.setTerminalSize(160, 50);
        EmulatedTerminal terminal(160, 50);
        for (int i = 0; i < 4000; ++i)
            image.cells[static_cast<size_t>(i)] =
                Cell{0xB1, static_cast<uint16_t>(i % 2 ? 0x7F : 0xF7)};
        sendFrame(out, image, terminal);
        for (int i = 0; i < 4000; i += 2)
            image.cells[static_cast<size_t>(i)] =
                Cell{0xB2, static_cast<uint16_t>((i / 2) % 2 ? 0xE9 : 0x9E)};
        sendFrame(out, image, terminal);
        EXPECT_LE(out.length, out.capacity);
        EXPECT_EQ(shows(out, image, terminal), "");
    }
}

// [layout] Larger terminals centre the picture, smaller ones show its top-left part.
TEST(TerminalOutputLayout, resize_repaints_centred_or_cut) {
    std::mt19937 rng(11);
    CellImage image = makeImage(80, 50);
    randomise(image, rng, 100);
    for (ColorMode mode : kModes) {
        TerminalOutput out;
        ASSERT_TRUE(out.create(80, 50));
        out.setColorMode(mode);
        out.setTerminalSize(80, 50);
        EmulatedTerminal terminal(80, 50);
        sendFrame(out, image, terminal);

        terminal.resize(101, 61);
        out.setTerminalSize(101, 61);
        sendFrame(out, image, terminal);
        EXPECT_TRUE(contains(out, "\x1b[2J"));
        EXPECT_EQ(out.originColumn, 10); // (101 - 80) / 2
        EXPECT_EQ(out.originRow, 5);     // (61 - 50) / 2
        EXPECT_EQ(shows(out, image, terminal), "") << modeName(mode);
        EXPECT_EQ(terminal.character(9, 20), 0x20u); // the margins are blank
        EXPECT_EQ(terminal.character(90, 20), 0x20u);
        EXPECT_EQ(terminal.character(40, 4), 0x20u);
        EXPECT_EQ(terminal.character(40, 55), 0x20u);

        randomise(image, rng, 10);
        sendFrame(out, image, terminal);
        EXPECT_EQ(shows(out, image, terminal), "") << modeName(mode) << " centred update";

        terminal.resize(70, 40);
        out.setTerminalSize(70, 40);
        sendFrame(out, image, terminal);
        EXPECT_EQ(out.originColumn, 0);
        EXPECT_EQ(out.visibleWidth, 70);
        EXPECT_EQ(out.visibleHeight, 40);
        EXPECT_EQ(shows(out, image, terminal), "") << modeName(mode) << " cut";

        randomise(image, rng, 10);
        sendFrame(out, image, terminal);
        EXPECT_EQ(shows(out, image, terminal), "") << modeName(mode) << " cut update";
    }
}

TEST(TerminalOutputLayout, wider_but_shorter_terminal_centres_one_axis_only) {
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setTerminalSize(120, 30);
    EXPECT_EQ(out.originColumn, 20);
    EXPECT_EQ(out.originRow, 0);
    EXPECT_EQ(out.visibleWidth, 80);
    EXPECT_EQ(out.visibleHeight, 30);
}

TEST(TerminalOutputLayout, invalidate_repaints_a_terminal_that_lost_its_picture) {
    std::mt19937 rng(5);
    CellImage image = makeImage(80, 50);
    randomise(image, rng, 100);
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setTerminalSize(80, 50);
    EmulatedTerminal terminal(80, 50);
    sendFrame(out, image, terminal);
    vterm_screen_reset(terminal.screen, 1); // as after a suspend: the screen was wiped
    out.invalidate();
    sendFrame(out, image, terminal);
    EXPECT_EQ(shows(out, image, terminal), "");
}

// [glyphs] Every code page 437 byte reaches the terminal as its console glyph.
TEST(TerminalOutputGlyphs, all_256_characters_show_their_glyph) {
    CellImage image = makeImage(32, 8);
    for (int i = 0; i < 256; ++i)
        image.cells[static_cast<size_t>(i)] = Cell{static_cast<uint16_t>(i), 0x07};
    TerminalOutput out;
    ASSERT_TRUE(out.create(32, 8));
    out.setTerminalSize(32, 8);
    EmulatedTerminal terminal(32, 8);
    sendFrame(out, image, terminal);
    EXPECT_EQ(shows(out, image, terminal), "");
    // Worked examples from the code page chart.
    struct Glyph {
        int byte;
        uint32_t codePoint;
    };
    for (Glyph g :
         {Glyph{0x00, 0x20}, Glyph{0x01, 0x263A}, Glyph{0x1B, 0x2190}, Glyph{0x2E, 0x2E},
          Glyph{0x7F, 0x2302}, Glyph{0xB0, 0x2591}, Glyph{0xB1, 0x2592}, Glyph{0xC5, 0x253C},
          Glyph{0xDB, 0x20}, // the full block as a space on its colour
          Glyph{0xE1, 0x00DF}, Glyph{0xFF, 0x00A0}}) {
        EXPECT_EQ(terminal.character(g.byte % 32, g.byte / 32), g.codePoint) << g.byte;
    }
}

TEST(TerminalOutputGlyphs, title_is_utf8_and_cut) {
    TerminalOutput out;
    ASSERT_TRUE(out.create(1, 1));
    EmulatedTerminal terminal(10, 2);
    out.begin();
    out.appendTitle("Tempus 1.0 est \xB0\x07");
    terminal.write(out.bytes.get(), out.length);
    EXPECT_EQ(terminal.title, "Tempus 1.0 est \u2591\u2022"); // BEL is the bullet glyph here
    out.begin();
    const std::string longTitle(300, 'x');
    out.appendTitle(longTitle.c_str());
    terminal.write(out.bytes.get(), out.length);
    EXPECT_EQ(terminal.title, std::string(TerminalOutput::kMaxTitle, 'x'));
}

// [display layouts] Wide doubles every cell, half stacks two cells in a half block with their
// colours as a viewer sees them, cells is one to one; all three through libvterm.
namespace {

constexpr DisplayLayout kLayouts[] = {DisplayLayout::Wide, DisplayLayout::Half,
                                      DisplayLayout::Cells};

const char* layoutName(DisplayLayout layout) {
    return layout == DisplayLayout::Wide   ? "wide"
           : layout == DisplayLayout::Half ? "half"
                                           : "cells";
}

// The glyphs the demo draws with (blanks, shades, blocks, dots), the overlay's and others.
constexpr uint8_t kDemoGlyphs[] = {' ', 0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF, '.',
                                   '+', '*',  'A',  0xC5, 0,    0xFF, '7'};

void randomiseDemoLike(CellImage& image, std::mt19937& rng, int percent) {
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        if (static_cast<int>(rng() % 100) >= percent) continue;
        image.cells[static_cast<size_t>(i)] =
            Cell{kDemoGlyphs[rng() % std::size(kDemoGlyphs)], static_cast<uint16_t>(rng() % 256)};
    }
}

} // namespace

TEST(TerminalOutputLayouts, every_layout_and_mode_stays_equal_across_updates_and_repaints) {
    for (ColorMode mode : kModes) {
        for (DisplayLayout layout : kLayouts) {
            const std::string name = std::string(modeName(mode)) + " " + layoutName(layout);
            std::mt19937 rng(17);
            CellImage image = makeImage(80, 50);
            TerminalOutput out;
            ASSERT_TRUE(out.create(80, 50));
            out.halfGlyphs = HalfGlyphs::Either; // the picture's own half blocks stay as drawn
            out.setColorMode(mode);
            out.setLayout(layout);
            out.setTerminalSize(160, 50);
            EmulatedTerminal terminal(160, 50);
            randomiseDemoLike(image, rng, 100);
            sendFrame(out, image, terminal);
            ASSERT_EQ(shows(out, image, terminal), "") << name << " full repaint";
            for (int frame = 0; frame < 12; ++frame) {
                randomiseDemoLike(image, rng, frame % 3 == 0 ? 2 : 20);
                sendFrame(out, image, terminal);
                ASSERT_FALSE(contains(out, "\x1b[2J")) << name << " frame " << frame;
                ASSERT_EQ(shows(out, image, terminal), "") << name << " frame " << frame;
            }
            // A full block never goes out as U+2588: fonts draw it with seams.
            EXPECT_FALSE(contains(out, "\xe2\x96\x88")) << name;
            vterm_screen_reset(terminal.screen, 1);
            out.invalidate();
            sendFrame(out, image, terminal);
            EXPECT_EQ(shows(out, image, terminal), "") << name << " repaint";
        }
    }
}

TEST(TerminalOutputLayouts, auto_layout_follows_resizes_and_repaints) {
    struct Step {
        int columns, rows;
        DisplayLayout expected;
        int originColumn, originRow;
    };
    struct Case {
        ColorMode mode;
        Step steps[4];
    };
    const Case cases[] = {
        {ColorMode::TrueColor,
         {{160, 50, DisplayLayout::Wide, 0, 0},
          {80, 25, DisplayLayout::Half, 0, 0},
          {100, 60, DisplayLayout::Half, 10, 17}, // centred: (100 - 80) / 2, (60 - 25) / 2
          {171, 53, DisplayLayout::Wide, 5, 1}}},
        {ColorMode::Colors256,
         {{80, 24, DisplayLayout::Half, 0, 0},
          {200, 50, DisplayLayout::Wide, 20, 0},
          {159, 50, DisplayLayout::Half, 39, 12},
          {160, 49, DisplayLayout::Half, 40, 12}}},
        {ColorMode::Colors16,
         {{160, 50, DisplayLayout::Wide, 0, 0},
          {80, 25, DisplayLayout::Cells, 0, 0},
          {100, 60, DisplayLayout::Cells, 10, 5},
          {160, 50, DisplayLayout::Wide, 0, 0}}},
    };
    for (const Case& c : cases) {
        std::mt19937 rng(23);
        CellImage image = makeImage(80, 50);
        randomiseDemoLike(image, rng, 100);
        TerminalOutput out;
        ASSERT_TRUE(out.create(80, 50));
        out.setColorMode(c.mode);
        out.setLayout(DisplayLayout::Auto);
        EmulatedTerminal terminal(c.steps[0].columns, c.steps[0].rows);
        for (const Step& step : c.steps) {
            const std::string name = std::string(modeName(c.mode)) + " at " +
                                     std::to_string(step.columns) + "x" + std::to_string(step.rows);
            terminal.resize(step.columns, step.rows);
            out.setTerminalSize(step.columns, step.rows);
            EXPECT_EQ(out.layout, step.expected) << name;
            EXPECT_EQ(out.originColumn, step.originColumn) << name;
            EXPECT_EQ(out.originRow, step.originRow) << name;
            sendFrame(out, image, terminal);
            EXPECT_TRUE(contains(out, "\x1b[2J")) << name;
            EXPECT_EQ(shows(out, image, terminal), "") << name;
            randomiseDemoLike(image, rng, 10);
            sendFrame(out, image, terminal);
            EXPECT_EQ(shows(out, image, terminal), "") << name << " update";
        }
    }
}

TEST(TerminalOutputLayouts, smaller_terminals_show_the_top_left_and_count_as_cropped) {
    struct Case {
        DisplayLayout layout;
        int columns, rows;
        int visibleWidth, visibleHeight;
        bool cropped;
    };
    const Case cases[] = {
        {DisplayLayout::Wide, 160, 50, 160, 50, false},
        {DisplayLayout::Wide, 159, 50, 159, 50, true}, // the last cell shows one column
        {DisplayLayout::Wide, 80, 24, 80, 24, true},
        {DisplayLayout::Half, 80, 25, 80, 25, false},
        {DisplayLayout::Half, 80, 24, 80, 24, true}, // all but the last two cell rows
        {DisplayLayout::Half, 79, 30, 79, 25, true},
        {DisplayLayout::Cells, 80, 50, 80, 50, false},
        {DisplayLayout::Cells, 80, 24, 80, 24, true},
    };
    std::mt19937 rng(29);
    CellImage image = makeImage(80, 50);
    randomiseDemoLike(image, rng, 100);
    for (const Case& c : cases) {
        const std::string name = std::string(layoutName(c.layout)) + " at " +
                                 std::to_string(c.columns) + "x" + std::to_string(c.rows);
        TerminalOutput out;
        ASSERT_TRUE(out.create(80, 50));
        out.setColorMode(ColorMode::TrueColor);
        out.setLayout(c.layout);
        out.setTerminalSize(c.columns, c.rows);
        EXPECT_EQ(out.visibleWidth, c.visibleWidth) << name;
        EXPECT_EQ(out.visibleHeight, c.visibleHeight) << name;
        EXPECT_EQ(out.cropped(), c.cropped) << name;
        EmulatedTerminal terminal(c.columns, c.rows);
        sendFrame(out, image, terminal);
        EXPECT_EQ(shows(out, image, terminal), "") << name;
    }
}

// [half colours] Every glyph the demo uses over every attribute, each as the upper and as the
// lower cell of a character, against the mix computed by the emulated terminal's checker.
TEST(TerminalOutputLayouts, half_block_colours_mix_every_glyph_and_attribute) {
    constexpr int kPairs = static_cast<int>(std::size(kDemoGlyphs)) * 256;
    constexpr int kWidth = 64;
    constexpr int kRows = (kPairs + kWidth - 1) / kWidth;
    CellImage image = makeImage(kWidth, 2 * kRows);
    for (int i = 0; i < kPairs; ++i) {
        const Cell cell{kDemoGlyphs[i / 256], static_cast<uint16_t>(i % 256)};
        const int x = i % kWidth;
        const int y = i / kWidth;
        image.cells[static_cast<size_t>(2 * y * kWidth + x)] = cell;
        // The same cell below a different one, one character further on.
        const int j = (i + 1) % kPairs;
        image.cells[static_cast<size_t>((2 * (j / kWidth) + 1) * kWidth + j % kWidth)] = cell;
    }
    for (ColorMode mode : kModes) {
        TerminalOutput out;
        ASSERT_TRUE(out.create(kWidth, 2 * kRows));
        out.setColorMode(mode);
        out.setLayout(DisplayLayout::Half);
        out.setTerminalSize(kWidth, kRows);
        EmulatedTerminal terminal(kWidth, kRows);
        sendFrame(out, image, terminal);
        EXPECT_EQ(shows(out, image, terminal), "") << modeName(mode);
    }
}

TEST(TerminalOutputLayouts, half_block_worked_example) {
    // Medium shade, blue (0,0,128) on bright blue (0,0,255), over a black space: the upper
    // colour is half way, (0,0,191.5) rounded to (0,0,192); the cube's nearest is level 175
    // (index 16 + 3 = 19); of the sixteen, bright blue (63 away) beats blue (64 away).
    struct Case {
        ColorMode mode;
        bool rgb;
        int expected; // 0xRRGGBB or an index
    };
    for (Case c : {Case{ColorMode::TrueColor, true, 0x0000C0},
                   Case{ColorMode::Colors256, false, 19}, Case{ColorMode::Colors16, false, 12}}) {
        CellImage image = makeImage(1, 2);
        image.cells[0] = Cell{0xB1, 0x91};
        image.cells[1] = Cell{' ', 0x00};
        TerminalOutput out;
        ASSERT_TRUE(out.create(1, 2));
        out.setColorMode(c.mode);
        out.setLayout(DisplayLayout::Half);
        out.setTerminalSize(1, 1);
        EmulatedTerminal terminal(1, 1);
        sendFrame(out, image, terminal);
        VTermScreenCell cell{};
        vterm_screen_get_cell(terminal.screen, VTermPos{0, 0}, &cell);
        // A lower half block: the upper colour is its background.
        EXPECT_EQ(cell.chars[0], 0x2584u) << modeName(c.mode);
        const int bg = c.rgb ? (cell.bg.rgb.red << 16 | cell.bg.rgb.green << 8 | cell.bg.rgb.blue)
                             : cell.bg.indexed.idx;
        EXPECT_EQ(bg, c.expected) << modeName(c.mode);
    }
}

// [half glyphs] Lower writes ▄ alone; Either turns a character into ▀ where that keeps more
// of the current colours. Worked example: three characters of two solid colours, A over B,
// B over A, A over B. Lower writes ▄ in B on A, A on B, B on A: three colour changes. Either
// writes ▄ in B on A, then ▀ in B on A (B over A), then ▄ in B on A: one change.
TEST(TerminalOutputLayouts, half_glyphs_worked_example) {
    struct Case {
        HalfGlyphs glyphs;
        const char* shown; // the three characters
        size_t colourChanges;
    };
    const Case cases[] = {{HalfGlyphs::Lower, "\u2584\u2584\u2584", 3},
                          {HalfGlyphs::Either, "\u2584\u2580\u2584", 1}};
    for (const Case& c : cases) {
        CellImage image = makeImage(3, 2);
        constexpr uint16_t kA = 0x99, kB = 0xCC; // bright blue, bright red
        const uint16_t upper[] = {kA, kB, kA};
        for (int x = 0; x < 3; ++x) {
            image.cells[static_cast<size_t>(x)] = Cell{' ', upper[x]};
            image.cells[static_cast<size_t>(3 + x)] = Cell{' ', upper[x] == kA ? kB : kA};
        }
        TerminalOutput out;
        ASSERT_TRUE(out.create(3, 2));
        out.halfGlyphs = c.glyphs;
        out.setColorMode(ColorMode::TrueColor);
        out.setLayout(DisplayLayout::Half);
        out.setTerminalSize(3, 1);
        EmulatedTerminal terminal(3, 1);
        sendFrame(out, image, terminal);
        std::string shown;
        for (int x = 0; x < 3; ++x)
            shown += terminal.character(x, 0) == 0x2580 ? "\u2580" : "\u2584";
        EXPECT_EQ(shown, c.shown);
        const std::string bytes(out.bytes.get(), out.length);
        size_t changes = 0;
        for (size_t at = bytes.find("38;2;"); at != std::string::npos;
             at = bytes.find("38;2;", at + 1))
            ++changes;
        EXPECT_EQ(changes, c.colourChanges) << c.shown;
        EXPECT_EQ(shows(out, image, terminal), "") << c.shown;
    }
}

// [colour mode] Auto reads COLORTERM, then TERM; inside GNU screen (by TERM without TMUX, or
// by its own answer) no 24-bit colour.
TEST(TerminalOutputColorMode, auto_mode_from_the_environment) {
    struct Case {
        const char* colorterm;
        const char* term;
        const char* tmux;
        bool saidScreen; // the terminal answered DA2 as GNU screen
        ColorMode expected;
    };
    const Case cases[] = {
        {"truecolor", "xterm-256color", nullptr, false, ColorMode::TrueColor},
        {"24bit", nullptr, nullptr, false, ColorMode::TrueColor},
        {nullptr, "xterm-direct", nullptr, false, ColorMode::TrueColor},
        {nullptr, "xterm-256color", nullptr, false, ColorMode::Colors256},
        {"", "screen-256color", nullptr, false, ColorMode::Colors256},
        {nullptr, "linux", nullptr, false, ColorMode::Colors16},
        {nullptr, nullptr, nullptr, false, ColorMode::Colors16},
        {"yes", "xterm", nullptr, false, ColorMode::Colors16},
        {"truecolor", "screen", nullptr, false, ColorMode::Colors256},
        {"truecolor", "screen.xterm-256color", "", false, ColorMode::Colors256},
        {"truecolor", "screen-256color", "/tmp/tmux-0/default,1,0", false, ColorMode::TrueColor},
        {"truecolor", "screen", "/tmp/tmux-0/default,1,0", true, ColorMode::Colors256},
        {"truecolor", "screensaver", nullptr, false, ColorMode::TrueColor},
        {nullptr, "screen", nullptr, false, ColorMode::Colors16},
    };
    for (const Case& c : cases) {
        const bool gnuScreen = c.saidScreen || environmentSaysGnuScreen(c.term, c.tmux);
        EXPECT_EQ(resolveColorMode(ColorMode::Auto, c.colorterm, c.term, gnuScreen), c.expected)
            << (c.colorterm ? c.colorterm : "-") << " " << (c.term ? c.term : "-") << " "
            << (c.tmux ? "tmux" : "-") << " " << c.saidScreen;
    }
    EXPECT_EQ(resolveColorMode(ColorMode::Colors16, "truecolor", nullptr, false),
              ColorMode::Colors16);
    // Palette only where the terminal told a palette colour, and never in GNU screen.
    struct PaletteCase {
        ColorMode requested;
        bool gnuScreen;
        bool answered;
        ColorMode expected;
    };
    const PaletteCase paletteCases[] = {
        {ColorMode::Auto, false, true, ColorMode::Palette},
        {ColorMode::Auto, true, true, ColorMode::Colors256},
        {ColorMode::Palette, false, true, ColorMode::Palette},
        {ColorMode::Palette, false, false, ColorMode::TrueColor},
        {ColorMode::Palette, true, true, ColorMode::Colors256},
        {ColorMode::Colors16, false, true, ColorMode::Colors16},
    };
    for (const PaletteCase& c : paletteCases) {
        EXPECT_EQ(resolveColorMode(c.requested, "truecolor", "xterm", c.gnuScreen, c.answered),
                  c.expected)
            << static_cast<int>(c.requested) << " " << c.gnuScreen << " " << c.answered;
    }
    EXPECT_EQ(resolveColorMode(ColorMode::TrueColor, nullptr, "screen", true),
              ColorMode::TrueColor); // the user's choice
}

// [palette] More mixes on screen than entries 16-255: the rest go out as 24-bit codes and
// every cell still shows its colour; once few are shown, freed entries serve new mixes.
TEST(TerminalOutputPalette, mixes_beyond_the_entries_fall_back_and_freed_entries_are_reused) {
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setColorMode(ColorMode::Palette);
    out.setLayout(DisplayLayout::Half);
    out.setTerminalSize(80, 25);
    EmulatedTerminal terminal(80, 25);
    // Light shade over each attribute (upper) and medium shade (lower): over 300 mixes.
    CellImage image = makeImage(80, 50);
    for (int32_t i = 0; i < 80 * 50; ++i) {
        const int32_t row = i / 80;
        const int32_t column = i % 80;
        const uint16_t attribute = static_cast<uint16_t>((row / 2 * 80 + column) & 0xFF);
        image.cells[static_cast<size_t>(i)] =
            Cell{row % 2 ? uint16_t{0xB1} : uint16_t{0xB0}, attribute};
    }
    sendFrame(out, image, terminal);
    EXPECT_EQ(shows(out, image, terminal), "");
    EXPECT_TRUE(contains(out, ";2;")) << "no 24-bit fallback";
    // Dark shade everywhere, in two mixes and then in two others: once the first two show,
    // every other entry is free for the next.
    for (const int attributes : {0x1E4A, 0x2C5B}) {
        for (int32_t i = 0; i < 80 * 50; ++i)
            image.cells[static_cast<size_t>(i)] = Cell{
                0xB2, static_cast<uint16_t>(i % 80 < 40 ? attributes >> 8 : attributes & 0xFF)};
        sendFrame(out, image, terminal);
        EXPECT_EQ(shows(out, image, terminal), "") << attributes;
    }
    EXPECT_FALSE(contains(out, ";2;"));
    EXPECT_TRUE(contains(out, "\x1b]4;"));
}
