// Builds the terminal's bytes for one frame: cells that changed, the cheapest cursor moves,
// colour changes only, characters as UTF-8.
#include "console/terminal_output.h"

#include <cassert>
#include <cstring>
#include <new>

#include "console/console_palette.h"
#include "gfx/cp437.h"

namespace {

// The nearest entries of the xterm 256-colour cube (levels 0, 95, 135, 175, 215, 255) and
// grey ramp to the classic console colours; fixed in every theme, unlike indices 0-15.
constexpr uint8_t kConsoleTo256[16] = {16,  18, 28, 30, 88,  90,  100, 250,
                                       244, 21, 46, 51, 196, 201, 226, 231};

// ANSI colour numbers run red 1, green 2, blue 4: the attribute's blue and red bits swap.
uint8_t ansiColor(uint8_t console) {
    return static_cast<uint8_t>((console & 0x0A) | ((console & 1) << 2) | ((console & 4) >> 2));
}

size_t appendNumber(char* out, uint32_t value) {
    char digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
    return count;
}

size_t digitCount(uint32_t value) {
    return value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
}

// Space, NUL and no-break space show nothing but their background.
bool isBlank(uint8_t character) {
    return character == 0x20 || character == 0 || character == 0xFF;
}

// Whether `cell` looks right when written with the terminal's colours at `pen` (-1 unknown).
bool showsInPen(const Cell& cell, int32_t pen) {
    if (pen < 0) return false;
    const uint8_t attribute = static_cast<uint8_t>(cell.attribute);
    return isBlank(static_cast<uint8_t>(cell.character)) ? (attribute >> 4) == (pen >> 4)
                                                         : attribute == pen;
}

// Bytes of "ESC [ n C" (n = 1 is written as "ESC [ C").
size_t forwardCost(int32_t n) {
    return n == 1 ? 3 : 3 + digitCount(static_cast<uint32_t>(n));
}

// Writes the SGR parameters of console colour `c` as a foreground (base 30) or background
// (base 40) colour in `mode`.
uint8_t colorParameters(char* out, ColorMode mode, uint8_t c, bool background) {
    size_t n = 0;
    if (mode == ColorMode::TrueColor) {
        const Rgb rgb = kConsolePalette[c];
        n += appendNumber(out + n, background ? 48 : 38);
        std::memcpy(out + n, ";2;", 3);
        n += 3;
        n += appendNumber(out + n, rgb.r);
        out[n++] = ';';
        n += appendNumber(out + n, rgb.g);
        out[n++] = ';';
        n += appendNumber(out + n, rgb.b);
    } else if (mode == ColorMode::Colors256) {
        n += appendNumber(out + n, background ? 48 : 38);
        std::memcpy(out + n, ";5;", 3);
        n += 3;
        n += appendNumber(out + n, kConsoleTo256[c]);
    } else {
        const uint32_t base = (c & 8) ? (background ? 100u : 90u) : (background ? 40u : 30u);
        n += appendNumber(out + n, base + (ansiColor(c) & 7));
    }
    return static_cast<uint8_t>(n);
}

} // namespace

ColorMode resolveColorMode(ColorMode requested, const char* colorterm, const char* term) {
    if (requested != ColorMode::Auto) return requested;
    if (colorterm &&
        (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
        return ColorMode::TrueColor;
    if (term) {
        const size_t n = std::strlen(term);
        if (n >= 7 && std::strcmp(term + n - 7, "-direct") == 0) return ColorMode::TrueColor;
        if (std::strstr(term, "256color")) return ColorMode::Colors256;
    }
    return ColorMode::Colors16;
}

bool TerminalOutput::create(int32_t width, int32_t height) {
    assert(!front && "TerminalOutput::create called twice");
    if (width <= 0 || height <= 0) return false;
    const size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t needed = kControlBytes + kMaxCellBytes * (cells + 1);
    std::unique_ptr<Cell[]> newFront(new (std::nothrow) Cell[cells]());
    std::unique_ptr<char[]> newBytes(new (std::nothrow) char[needed]);
    if (!newFront || !newBytes) return false;
    front = std::move(newFront);
    bytes = std::move(newBytes);
    capacity = needed;
    pictureWidth = width;
    pictureHeight = height;
    setColorMode(colorMode);
    return true;
}

void TerminalOutput::setColorMode(ColorMode mode) {
    colorMode = mode == ColorMode::Auto ? ColorMode::Colors16 : mode;
    for (uint8_t c = 0; c < 16; ++c) {
        foregroundLength[c] = colorParameters(foregroundSgr[c], colorMode, c, false);
        backgroundLength[c] = colorParameters(backgroundSgr[c], colorMode, c, true);
    }
    invalidate();
}

void TerminalOutput::setTerminalSize(int32_t columns, int32_t rows) {
    terminalColumns = columns < 1 ? 1 : columns > 9999 ? 9999 : columns;
    terminalRows = rows < 1 ? 1 : rows > 9999 ? 9999 : rows;
    // Per axis: centred when there is room, else pinned to the top-left like a console
    // window smaller than its buffer.
    originColumn = terminalColumns > pictureWidth ? (terminalColumns - pictureWidth) / 2 : 0;
    originRow = terminalRows > pictureHeight ? (terminalRows - pictureHeight) / 2 : 0;
    visibleWidth = terminalColumns < pictureWidth ? terminalColumns : pictureWidth;
    visibleHeight = terminalRows < pictureHeight ? terminalRows : pictureHeight;
    invalidate();
}

void TerminalOutput::invalidate() {
    repaintAll = true;
    cursorRow = -1;
    penAttribute = -1;
}

void TerminalOutput::appendBytes(const char* data, size_t count) {
    if (length + count > kControlBytes) return;
    std::memcpy(bytes.get() + length, data, count);
    length += count;
}

void TerminalOutput::appendTitle(const char* title) {
    char sequence[4 + kMaxTitle * 3 + 1];
    size_t n = 0;
    std::memcpy(sequence, "\x1b]2;", 4);
    n += 4;
    // The cp437 glyphs hold no control bytes, so nothing in the title can end the sequence.
    for (size_t i = 0; i < kMaxTitle && title[i] != 0; ++i) {
        const Utf8Glyph& glyph = cp437Utf8(static_cast<uint8_t>(title[i]));
        std::memcpy(sequence + n, glyph.bytes, glyph.length);
        n += glyph.length;
    }
    sequence[n++] = '\a';
    appendBytes(sequence, n);
}

void TerminalOutput::appendFrame(const CellImage& back) {
    assert(back.width == pictureWidth && back.height == pictureHeight &&
           "appendFrame needs the picture size given to create");
    assert(terminalColumns > 0 && "setTerminalSize comes before the first frame");
    char* out = bytes.get();
    size_t n = length;
    auto put = [&](const char* s, size_t count) {
        std::memcpy(out + n, s, count);
        n += count;
    };
    auto putNumber = [&](uint32_t value) { n += appendNumber(out + n, value); };

    if (repaintAll) {
        // Clear in black, so the margins of a centred picture are black in every theme
        // (on terminals that erase with the current background).
        put("\x1b[0;", 4);
        put(backgroundSgr[0], backgroundLength[0]);
        put("m\x1b[2J", 5);
        penAttribute = -1;
        cursorRow = -1;
    }

    const Cell* backCells = back.cells.get();
    for (int32_t y = 0; y < visibleHeight; ++y) {
        const Cell* backRow = backCells + static_cast<size_t>(y) * pictureWidth;
        Cell* frontRow = front.get() + static_cast<size_t>(y) * pictureWidth;
        const int32_t row = originRow + y;
        for (int32_t x = 0; x < visibleWidth; ++x) {
            const uint8_t character = static_cast<uint8_t>(backRow[x].character);
            const uint8_t attribute = static_cast<uint8_t>(backRow[x].attribute);
            const bool blank = isBlank(character);
            if (!repaintAll) {
                const uint8_t shownCharacter = static_cast<uint8_t>(frontRow[x].character);
                const uint8_t shownAttribute = static_cast<uint8_t>(frontRow[x].attribute);
                // Blank cells show only their background: a new foreground changes nothing.
                const bool same =
                    blank ? isBlank(shownCharacter) && (attribute >> 4) == (shownAttribute >> 4)
                          : character == shownCharacter && attribute == shownAttribute;
                if (same) {
                    frontRow[x] = backRow[x];
                    continue;
                }
            }
            const int32_t column = originColumn + x;

            // [move] Pick the cheapest way to the cell from where the cursor stands.
            if (cursorRow != row || cursorColumn != column) {
                size_t best = 6 + digitCount(static_cast<uint32_t>(row + 1)) +
                              digitCount(static_cast<uint32_t>(column + 1)); // ESC[r;cH
                enum { Absolute, Forward, Rewrite, NextLine } how = Absolute;
                if (cursorRow == row && cursorColumn < column) {
                    const int32_t gap = column - cursorColumn;
                    if (forwardCost(gap) < best) best = forwardCost(gap), how = Forward;
                    // The cells in between are unchanged: writing them again is cheaper than
                    // a move when they are few and in the current colours.
                    if (gap <= 4 && gap <= x) {
                        size_t cost = 0;
                        bool sameColours = true;
                        for (int32_t i = x - gap; i < x && sameColours; ++i) {
                            sameColours = showsInPen(frontRow[i], penAttribute);
                            cost += cp437Utf8(static_cast<uint8_t>(frontRow[i].character)).length;
                        }
                        if (sameColours && cost <= best) best = cost, how = Rewrite;
                    }
                } else if (cursorRow >= 0 && cursorRow + 1 == row) {
                    const size_t cost = 2 + (column > 0 ? forwardCost(column) : 0); // CR LF
                    if (cost < best) best = cost, how = NextLine;
                }
                switch (how) {
                case Absolute:
                    put("\x1b[", 2);
                    putNumber(static_cast<uint32_t>(row + 1));
                    out[n++] = ';';
                    putNumber(static_cast<uint32_t>(column + 1));
                    out[n++] = 'H';
                    break;
                case Forward:
                    put("\x1b[", 2);
                    if (column - cursorColumn > 1)
                        putNumber(static_cast<uint32_t>(column - cursorColumn));
                    out[n++] = 'C';
                    break;
                case Rewrite:
                    for (int32_t i = x - (column - cursorColumn); i < x; ++i) {
                        const Utf8Glyph& g = cp437Utf8(static_cast<uint8_t>(frontRow[i].character));
                        put(g.bytes, g.length);
                    }
                    break;
                case NextLine:
                    put("\r\n", 2);
                    if (column > 0) {
                        put("\x1b[", 2);
                        if (column > 1) putNumber(static_cast<uint32_t>(column));
                        out[n++] = 'C';
                    }
                    break;
                }
                cursorRow = row;
                cursorColumn = column;
            }

            // [colour] Only the halves that change; a blank keeps the pen's foreground.
            if (!showsInPen(backRow[x], penAttribute)) {
                const uint8_t fg = attribute & 0x0F;
                const uint8_t bg = static_cast<uint8_t>(attribute >> 4);
                const bool fgChanges = penAttribute < 0 || (!blank && fg != (penAttribute & 0x0F));
                const bool bgChanges = penAttribute < 0 || bg != (penAttribute >> 4);
                put("\x1b[", 2);
                if (fgChanges) put(foregroundSgr[fg], foregroundLength[fg]);
                if (fgChanges && bgChanges) out[n++] = ';';
                if (bgChanges) put(backgroundSgr[bg], backgroundLength[bg]);
                out[n++] = 'm';
                penAttribute = fgChanges ? attribute : (penAttribute & 0x0F) | (bg << 4);
            }

            const Utf8Glyph& glyph = cp437Utf8(character);
            put(glyph.bytes, glyph.length);
            frontRow[x] = backRow[x];
            ++cursorColumn; // reaching terminalColumns means a pending wrap: never print there
        }
    }
    repaintAll = false;
    length = n;
    assert(length <= capacity && "frame exceeded the worst-case size");
}
