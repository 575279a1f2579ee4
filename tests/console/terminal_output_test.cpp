// TerminalOutput checked by a real terminal emulator (libvterm): frame after frame, partial
// updates, resizes and full repaints must leave the terminal showing the back buffer, in
// every colour mode.
#include "console/terminal_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "gfx/cp437.h"
#include "emulated_terminal.h"

namespace {

constexpr ColorMode kModes[] = {ColorMode::Colors16, ColorMode::Colors256, ColorMode::TrueColor};

const char* modeName(ColorMode mode) {
    return mode == ColorMode::Colors16 ? "16" : mode == ColorMode::Colors256 ? "256" : "24-bit";
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

// Builds one frame and hands its bytes to the emulated terminal.
size_t sendFrame(TerminalOutput& out, const CellImage& image, EmulatedTerminal& terminal) {
    out.begin();
    out.appendFrame(image);
    terminal.write(out.bytes.get(), out.length);
    return out.length;
}

std::string shows(const TerminalOutput& out, const CellImage& image,
                  const EmulatedTerminal& terminal) {
    return terminal.mismatch(image, out.originColumn, out.originRow, out.visibleWidth,
                             out.visibleHeight, out.colorMode);
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
    // change and a three-byte glyph per cell in 24-bit mode.
    CellImage image = makeImage(80, 50);
    TerminalOutput out;
    ASSERT_TRUE(out.create(80, 50));
    out.setColorMode(ColorMode::TrueColor);
    out.setTerminalSize(80, 50);
    EmulatedTerminal terminal(80, 50);
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

// [colour mode] Auto reads COLORTERM, then TERM.
TEST(TerminalOutputColorMode, auto_mode_from_the_environment) {
    struct Case {
        const char* colorterm;
        const char* term;
        ColorMode expected;
    };
    const Case cases[] = {
        {"truecolor", "xterm-256color", ColorMode::TrueColor},
        {"24bit", nullptr, ColorMode::TrueColor},
        {nullptr, "xterm-direct", ColorMode::TrueColor},
        {nullptr, "xterm-256color", ColorMode::Colors256},
        {"", "screen-256color", ColorMode::Colors256},
        {nullptr, "linux", ColorMode::Colors16},
        {nullptr, nullptr, ColorMode::Colors16},
        {"yes", "xterm", ColorMode::Colors16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolveColorMode(ColorMode::Auto, c.colorterm, c.term), c.expected)
            << (c.colorterm ? c.colorterm : "-") << " " << (c.term ? c.term : "-");
    }
    EXPECT_EQ(resolveColorMode(ColorMode::Colors16, "truecolor", nullptr), ColorMode::Colors16);
}
