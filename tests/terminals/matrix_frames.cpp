// The terminal matrix's frames: draws a frame (from `kaveo render --format cells`, or one of the
// harness's patterns) with the terminal program's own encoder, and says what each terminal
// cell should then show, for matrix.py to compare with a screenshot.
#include <cstdio>
#include <cstring>
#include <memory>

#include "console/classic_colors.h"
#include "console/display_layout.h"
#include "console/terminal_output.h"
#include "gfx/cell.h"
#include "gfx/cp437.h"
#include "shell/render_command.h"

namespace {

constexpr int32_t kWidth = 80;
constexpr int32_t kHeight = 50;
constexpr uint8_t kUpperHalf = 0xDF;
constexpr uint8_t kLowerHalf = 0xDC;

// Two-colour pairs (ink, paper) far apart in every theme, for the half-block seams.
constexpr uint8_t kSeamPairs[][2] = {{14, 1}, {15, 4}, {10, 5}, {11, 0}, {12, 2}, {9, 14}};

void fill(CellImage& image, uint8_t (*cellAt)(int32_t x, int32_t y, uint8_t& glyph)) {
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            uint8_t glyph = ' ';
            const uint8_t attribute = cellAt(x, y, glyph);
            image.cells[static_cast<size_t>(y * kWidth + x)] = Cell{glyph, attribute};
        }
    }
}

// The patterns, each a picture of blanks or half blocks (attribute: paper << 4 | ink).
bool makePattern(const char* name, CellImage& image) {
    if (std::strcmp(name, "checkerboard") == 0) {
        // Bright red and bright blue: told apart in any theme, and neither is the background.
        fill(image,
             [](int32_t x, int32_t y, uint8_t&) -> uint8_t { return (x + y) % 2 ? 0xC0 : 0x90; });
    } else if (std::strcmp(name, "palette") == 0) {
        // Sixteen bands of five columns, console colour 0 on the left.
        fill(image, [](int32_t x, int32_t, uint8_t&) -> uint8_t {
            return static_cast<uint8_t>((x / 5) << 4);
        });
    } else if (std::strcmp(name, "halfblocks") == 0) {
        // Rows 0-15 upper halves, 16-31 lower halves, 32-47 the two alternating by column;
        // neighbours always differ in both colours.
        fill(image, [](int32_t x, int32_t y, uint8_t& glyph) -> uint8_t {
            if (y >= 48) return 0;
            glyph = y < 16 ? kUpperHalf : y < 32 ? kLowerHalf : (x % 2 ? kLowerHalf : kUpperHalf);
            const uint8_t* pair = kSeamPairs[(x + 2 * y) % 6];
            return static_cast<uint8_t>(pair[1] << 4 | pair[0]);
        });
    } else {
        return false;
    }
    return true;
}

bool loadCells(const char* path, CellImage& image) {
    std::FILE* in = std::fopen(path, "rb");
    if (!in) return false;
    uint8_t bytes[kWidth * kHeight * 2];
    const bool whole = std::fread(bytes, 1, sizeof bytes, in) == sizeof bytes;
    std::fclose(in);
    for (size_t i = 0; whole && i < kWidth * kHeight; ++i)
        image.cells[i] = Cell{bytes[2 * i], bytes[2 * i + 1]};
    return whole;
}

// A colour in the output's units as the harness reads it: "cN" for console colour N (the
// terminal's theme shows it), else "rrggbb".
void printColor(ColorMode mode, uint32_t color) {
    Rgb rgb{};
    if (mode == ColorMode::Colors16) {
        std::printf(" c%u", color);
        return;
    }
    if (mode == ColorMode::Colors256) {
        rgb = xterm256Color(static_cast<uint8_t>(color));
    } else {
        rgb = Rgb{static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                  static_cast<uint8_t>(color)};
    }
    std::printf(" %02x%02x%02x", rgb.r, rgb.g, rgb.b);
}

// "grid COLUMNS ROWS", then per terminal cell, row by row: the code point shown, its ink
// share in sixteenths, then its foreground ("-" for a blank) and background.
void printExpected(const TerminalOutput& output) {
    std::printf("grid %d %d\n", output.gridColumns, output.gridRows);
    for (int32_t i = 0; i < output.gridColumns * output.gridRows; ++i) {
        const ShownCell cell = output.shownAt(i % output.gridColumns, i / output.gridColumns);
        const uint8_t ink = inkSixteenths(cell.glyph);
        std::printf("%u %u", static_cast<unsigned>(kCp437Unicode[cell.glyph]), ink);
        if (ink == 0) {
            std::printf(" -");
        } else {
            printColor(output.colorMode, cell.foreground);
        }
        printColor(output.colorMode, cell.background);
        std::printf("\n");
    }
}

int usage() {
    std::fputs("usage: matrix_frames ansi|expect SOURCE wide|half|cells 16|256|24bit\n"
               "SOURCE: 8,000 bytes of `kaveo render --format cells`, or the pattern\n"
               "checkerboard, palette or halfblocks.\n"
               "ansi writes the frame as the terminal program draws it; expect writes what\n"
               "each terminal cell of the layout's grid then shows.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    DisplayLayout layout = DisplayLayout::Auto;
    ColorMode mode = ColorMode::Auto;
    if (argc != 5 || !parseDisplayLayout(argv[3], layout) || layout == DisplayLayout::Auto ||
        !parseColorMode(argv[4], mode) || mode == ColorMode::Auto)
        return usage();
    const bool ansi = std::strcmp(argv[1], "ansi") == 0;
    if (!ansi && std::strcmp(argv[1], "expect") != 0) return usage();

    CellImage frame;
    auto output = std::make_unique<TerminalOutput>();
    if (!frame.create(kWidth, kHeight) || !startAnsiFrames(*output, layout, mode)) return 1;
    if (!makePattern(argv[2], frame) && !loadCells(argv[2], frame)) {
        std::fprintf(stderr, "matrix_frames: %s is neither a pattern nor a frame of cells\n",
                     argv[2]);
        return 1;
    }
    if (ansi) return writeFrameAnsi(*output, frame, stdout) ? 0 : 1;
    output->begin();
    output->appendFrame(frame);
    printExpected(*output);
    return 0;
}
