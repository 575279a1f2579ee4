// TerminalOutput: turns the back buffer, and what the terminal shows already, into the bytes
// that bring the terminal up to date. Pure: no terminal is touched; present() writes the bytes.
//
// Colour modes: 16 colours (SGR 30-37/90-97, 40-47/100-107: the terminal theme's colours),
// 256 colours and 24-bit colour (both pinned to the classic console palette, so the picture
// looks the same in every theme). Characters are code page 437 shown as UTF-8.
// A terminal smaller than the picture shows its top-left part; a larger one shows it centred.
// Only cells that differ from the terminal are written, with the cheapest cursor move and only
// the colour parameters that change. Every buffer is allocated once, by create().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "console/console_screen.h"

// The mode for Auto, picked from the COLORTERM and TERM variables (either may be null):
// "truecolor"/"24bit" or a TERM ending in "-direct" give TrueColor, a TERM naming
// "256color" gives Colors256, anything else Colors16. Other modes are returned unchanged.
ColorMode resolveColorMode(ColorMode requested, const char* colorterm, const char* term);

struct TerminalOutput {
    // Longest title kept, in code page 437 bytes; longer titles are cut.
    static constexpr size_t kMaxTitle = 128;
    // Room before the frame for control sequences (title, mouse modes).
    static constexpr size_t kControlBytes = 1024;
    // A cell costs at most a cursor move (12), both colours in 24-bit form (36) and a glyph (3).
    static constexpr size_t kMaxCellBytes = 64;

    ColorMode colorMode = ColorMode::Colors16; // never Auto; set with setColorMode
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t terminalColumns = 0;
    int32_t terminalRows = 0;
    int32_t originColumn = 0;  // terminal column (0-based) of the picture's left edge
    int32_t originRow = 0;     // terminal row (0-based) of the picture's top edge
    int32_t visibleWidth = 0;  // columns of the picture that fit on the terminal
    int32_t visibleHeight = 0; // rows of the picture that fit

    std::unique_ptr<Cell[]> front; // what the terminal shows, picture-sized, row-major
    std::unique_ptr<char[]> bytes; // the bytes of one frame
    size_t capacity = 0;           // of `bytes`: the worst frame, a 24-bit full repaint
    size_t length = 0;             // bytes of the frame built so far

    bool repaintAll = true; // the next frame clears the terminal and writes every cell
    // Where the terminal's cursor is (0-based); column == terminalColumns after a write into
    // the last column (pending wrap), row -1 when unknown.
    int32_t cursorColumn = 0;
    int32_t cursorRow = -1;
    int32_t penAttribute = -1; // attribute the terminal's colours stand at, -1 unknown

    // SGR parameters of each console colour (index: the attribute's 4-bit colour) for the
    // current mode, foreground and background, precomputed by setColorMode.
    char foregroundSgr[16][20] = {};
    char backgroundSgr[16][20] = {};
    uint8_t foregroundLength[16] = {};
    uint8_t backgroundLength[16] = {};

    // Allocates the front copy and the byte buffer for a width x height picture. False, with
    // nothing allocated, when an allocation fails or the size is not positive.
    bool create(int32_t width, int32_t height);

    // Chooses the colours; Auto counts as Colors16 here (resolve it first). Repaints next frame.
    void setColorMode(ColorMode mode);

    // Lays the picture out on a terminal of columns x rows (clamped to 1..9999) and asks for a
    // full repaint. Both are needed before the first frame.
    void setTerminalSize(int32_t columns, int32_t rows);

    // Forgets what the terminal shows: the next frame repaints everything (after a resume,
    // or a write that may not have reached the terminal).
    void invalidate();

    // Starts a new frame's bytes. Then, in this order: any appendBytes/appendTitle, then one
    // appendFrame.
    void begin() { length = 0; }

    // Appends a control sequence; dropped whole if the control room is used up.
    void appendBytes(const char* data, size_t count);

    // Appends the sequence that sets the window title to the NUL-terminated code page 437
    // `title` (cut at kMaxTitle bytes).
    void appendTitle(const char* title);

    // Appends what turns the terminal's picture into `back` (a CellImage of the size given to
    // create), and takes `back` as what the terminal shows.
    void appendFrame(const CellImage& back);
};
