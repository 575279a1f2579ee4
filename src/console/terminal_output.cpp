// Builds the terminal's bytes for one frame: the picture's cells laid out as terminal cells,
// then the terminal cells that changed, the cheapest cursor moves, colour changes only,
// characters as UTF-8.
#include "console/terminal_output.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <new>

#include "console/classic_colors.h"
#include "gfx/cp437.h"

namespace {

// Most numbers written are colour components and codes (below 256) and cursor positions.
size_t appendNumber(char* out, uint32_t value) {
    if (value < 10) {
        out[0] = static_cast<char>('0' + value);
        return 1;
    }
    if (value < 100) {
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
        return 2;
    }
    if (value < 1000) {
        out[0] = static_cast<char>('0' + value / 100);
        out[1] = static_cast<char>('0' + value / 10 % 10);
        out[2] = static_cast<char>('0' + value % 10);
        return 3;
    }
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
constexpr std::array<bool, 256> kBlank = [] {
    std::array<bool, 256> table{};
    table[0x20] = table[0x00] = table[0xFF] = true;
    return table;
}();

bool isBlank(uint8_t character) {
    return kBlank[character];
}

constexpr uint8_t kFullBlock = 0xDB;
constexpr uint8_t kLowerHalfBlock = 0xDC;
constexpr uint8_t kUpperHalfBlock = 0xDF;

// Whether two terminal cells look the same: blanks only by their background.
bool sameLook(const ShownCell& a, const ShownCell& b) {
    if (isBlank(a.glyph)) return isBlank(b.glyph) && a.background == b.background;
    return a.glyph == b.glyph && a.foreground == b.foreground && a.background == b.background;
}

// Bytes of "ESC [ n C" (n = 1 is written as "ESC [ C").
size_t forwardCost(int32_t n) {
    return n == 1 ? 3 : 3 + digitCount(static_cast<uint32_t>(n));
}

uint32_t packed(Rgb c) {
    return static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
}

// A colour of `rgb` in `mode`'s units.
uint32_t modeColor(ColorMode mode, Rgb rgb) {
    if (mode == ColorMode::TrueColor) return packed(rgb);
    if (mode == ColorMode::Colors256) return nearestXterm256(rgb);
    return nearestClassicColor(rgb);
}

// The terminal cell of a picture cell shown on its own: a full block becomes a space on the
// block's colour (fonts draw no seam around a space), a blank keeps only its background.
// Inlined, like halfBlock: a frame works out two terminal cells, as it is now and as it was
// shown, for every picture cell that changed.
[[gnu::always_inline]] inline ShownCell shownCell(const TerminalOutput& out, uint8_t glyph,
                                                  uint8_t attribute) {
    const uint32_t fg = out.consoleColor[attribute & 0x0F];
    const uint32_t bg = out.consoleColor[attribute >> 4];
    if (glyph == kFullBlock) return ShownCell{0, fg, ' '};
    if (isBlank(glyph)) return ShownCell{0, bg, glyph};
    return ShownCell{fg, bg, glyph};
}

uint32_t bitsOf(const Cell& cell) {
    uint32_t bits;
    std::memcpy(&bits, &cell, sizeof bits);
    return bits;
}

// Two neighbouring cells at once.
uint64_t pairBitsOf(const Cell* cells) {
    uint64_t bits;
    std::memcpy(&bits, cells, sizeof bits);
    return bits;
}

// The colour a viewer sees of a picture cell in half, in the mode's units.
uint32_t seenColor(const TerminalOutput& out, const Cell& cell) {
    return out.mixedColor[out.glyphInk[cell.character & 0xFF]][cell.attribute & 0xFF];
}

// Picture rows `upper` and `lower` (null past the bottom) as one row of half-block characters.
[[gnu::always_inline]] inline ShownCell halfBlock(const TerminalOutput& out, const Cell& upper,
                                                  const Cell* lower) {
    const uint32_t top = seenColor(out, upper);
    const uint32_t bottom = lower ? seenColor(out, *lower) : out.consoleColor[0];
    // Equal halves as a space: cheaper, and seamless like the full block.
    return top == bottom ? ShownCell{0, top, ' '} : ShownCell{bottom, top, kLowerHalfBlock};
}

// What is written for `cell` over the pen's colours: under Either, a lower half block becomes
// the upper one with its colours swapped where that changes fewer of them (ties keep ▄).
[[gnu::always_inline]] inline ShownCell writtenForm(HalfGlyphs glyphs, const ShownCell& cell,
                                                    bool penSet, uint32_t penFg, uint32_t penBg) {
    if (glyphs != HalfGlyphs::Either || cell.glyph != kLowerHalfBlock || !penSet) return cell;
    const int asIs = (cell.foreground != penFg) + (cell.background != penBg);
    const int swapped = (cell.background != penFg) + (cell.foreground != penBg);
    return swapped < asIs ? ShownCell{cell.background, cell.foreground, kUpperHalfBlock} : cell;
}

// The terminal cell of picture column px of the picture row `upperRow` (and in half
// `lowerRow`, null past the bottom).
[[gnu::always_inline]] inline ShownCell shownOf(const TerminalOutput& out, bool half,
                                                const Cell* upperRow, const Cell* lowerRow,
                                                int32_t px) {
    return half ? halfBlock(out, upperRow[px], lowerRow ? lowerRow + px : nullptr)
                : shownCell(out, static_cast<uint8_t>(upperRow[px].character),
                            static_cast<uint8_t>(upperRow[px].attribute));
}

// "0;" to "255;": a 24-bit colour's component and the separator after it, as four bytes to
// copy whole and the count that belongs to it.
struct Component {
    char text[4];
    uint8_t length;
};
constexpr std::array<Component, 256> kComponents = [] {
    std::array<Component, 256> table{};
    for (int v = 0; v < 256; ++v) {
        Component& c = table[static_cast<size_t>(v)];
        if (v >= 100) c.text[c.length++] = static_cast<char>('0' + v / 100);
        if (v >= 10) c.text[c.length++] = static_cast<char>('0' + v / 10 % 10);
        c.text[c.length++] = static_cast<char>('0' + v % 10);
        c.text[c.length++] = ';';
    }
    return table;
}();

// Writes the SGR parameters of `color` (in `mode`'s units) as a foreground (38, 30-37, 90-97)
// or background (48, 40-47, 100-107) colour. May store up to 3 bytes past what it writes.
size_t colorParameters(char* out, ColorMode mode, uint32_t color, bool background) {
    size_t n = 0;
    if (mode == ColorMode::TrueColor) {
        std::memcpy(out, background ? "48;2;" : "38;2;", 5);
        n = 5;
        for (const uint32_t part : {color >> 16, (color >> 8) & 0xFF, color & 0xFF}) {
            const Component& c = kComponents[part];
            std::memcpy(out + n, c.text, 4);
            n += c.length;
        }
        --n; // no separator after the last component
    } else if (mode == ColorMode::Colors256) {
        n += appendNumber(out + n, background ? 48 : 38);
        std::memcpy(out + n, ";5;", 3);
        n += 3;
        n += appendNumber(out + n, color & 0xFF);
    } else {
        const uint8_t c = static_cast<uint8_t>(color & 0x0F);
        const uint32_t base = (c & 8) ? (background ? 100u : 90u) : (background ? 40u : 30u);
        n += appendNumber(out + n, base + (ansiColorIndex(c) & 7));
    }
    return n;
}

constexpr char kHexDigits[] = "0123456789abcdef";

// Entries 0-15 in one OSC 4: ANSI number n takes the console colour whose ANSI number is n.
constexpr size_t kClassicPaletteRoom = 4 + 16 * 18 + 2 + 1;
std::array<char, kClassicPaletteRoom> classicPaletteText() {
    std::array<char, kClassicPaletteRoom> text{};
    size_t n = 0;
    std::memcpy(text.data(), "\x1b]4;", 4);
    n += 4;
    for (uint32_t ansi = 0; ansi < 16; ++ansi) {
        if (ansi > 0) text[n++] = ';';
        n += paletteEntryText(text.data() + n, ansi,
                              packed(kClassicColors[ansiColorIndex(static_cast<uint8_t>(ansi))]));
    }
    std::memcpy(text.data() + n, "\x1b\\", 2);
    return text;
}

// Palette mode's colour numbers: the console colours are 0-15, and every other colour half
// mixes gets one number, whichever glyphs and attributes give it.
void numberPaletteColors(TerminalOutput& out) {
    constexpr size_t kMixes = TerminalOutput::kInkShares * 256;
    for (uint32_t c = 0; c < 16; ++c) {
        out.consoleColor[c] = c;
        out.colorRgb[c] = packed(kClassicColors[c]);
    }
    // Each mix as its colour above its place: sorted, equal colours sit together.
    std::array<uint64_t, kMixes> keys;
    for (uint32_t share = 0; share < TerminalOutput::kInkShares; ++share) {
        for (uint32_t attribute = 0; attribute < 256; ++attribute) {
            const Rgb mix =
                mixColors(kClassicColors[attribute & 0x0F], kClassicColors[attribute >> 4], share);
            keys[share * 256 + attribute] =
                static_cast<uint64_t>(packed(mix)) << 16 | (share * 256 + attribute);
        }
    }
    std::sort(keys.begin(), keys.end());
    uint32_t next = 16;
    uint32_t number = 0;
    uint64_t previous = ~uint64_t{0};
    for (const uint64_t key : keys) {
        const uint32_t rgb = static_cast<uint32_t>(key >> 16);
        if (rgb != previous) {
            previous = rgb;
            number = next;
            for (uint32_t c = 0; c < 16; ++c)
                if (out.colorRgb[c] == rgb) number = c;
            if (number == next) out.colorRgb[next++] = rgb;
        }
        const uint32_t place = static_cast<uint32_t>(key & 0xFFFF);
        out.mixedColor[place / 256][place % 256] = number;
    }
}

} // namespace

size_t paletteEntryText(char* out, uint32_t entry, uint32_t rgb) {
    size_t n = 0;
    n += appendNumber(out + n, entry);
    std::memcpy(out + n, ";rgb:", 5);
    n += 5;
    for (int shift = 16; shift >= 0; shift -= 8) {
        out[n++] = kHexDigits[(rgb >> (shift + 4)) & 0xF];
        out[n++] = kHexDigits[(rgb >> shift) & 0xF];
        if (shift > 0) out[n++] = '/';
    }
    out[n] = 0;
    return n;
}

uint32_t packedColor(Rgb color) {
    return packed(color);
}

const char* classicPaletteSequence() {
    static const std::array<char, kClassicPaletteRoom> text = classicPaletteText();
    return text.data();
}
const char kResetPalette[] = "\x1b]104\x1b\\";

bool environmentSaysGnuScreen(const char* term, const char* tmux) {
    if (!term || (tmux && *tmux)) return false;
    return std::strncmp(term, "screen", 6) == 0 &&
           (term[6] == 0 || term[6] == '.' || term[6] == '-');
}

ColorMode resolveColorMode(ColorMode requested, const char* colorterm, const char* term,
                           bool gnuScreen, bool paletteAnswered) {
    const ColorMode deepest = gnuScreen ? ColorMode::Colors256 : ColorMode::TrueColor;
    const bool palette = paletteAnswered && !gnuScreen;
    if (requested == ColorMode::Palette) return palette ? requested : deepest;
    if (requested != ColorMode::Auto) return requested;
    if (palette) return ColorMode::Palette;
    if (colorterm &&
        (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
        return deepest;
    if (term) {
        const size_t n = std::strlen(term);
        if (n >= 7 && std::strcmp(term + n - 7, "-direct") == 0) return deepest;
        if (std::strstr(term, "256color")) return ColorMode::Colors256;
    }
    return ColorMode::Colors16;
}

bool TerminalOutput::create(int32_t width, int32_t height) {
    assert(!lastBack && "TerminalOutput::create called twice");
    if (width <= 0 || height <= 0 || width > 9999 || height > 9999) return false;
    // The widest layout's grid is the largest: wide's 2 x width by height.
    const size_t cells = 2 * static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t needed = kControlBytes + kMaxCellBytes * (cells + 1) + kTrailerBytes;
    std::unique_ptr<Cell[]> newLastBack(new (std::nothrow) Cell[cells / 2]());
    std::unique_ptr<char[]> newBytes(new (std::nothrow) char[needed]);
    // The entries of half's terminal cells: width x ceil(height / 2), two each.
    const size_t halfCells = static_cast<size_t>(width) * ((static_cast<size_t>(height) + 1) / 2);
    std::unique_ptr<uint8_t[]> newCellEntries(new (std::nothrow) uint8_t[2 * halfCells]());
    if (!newLastBack || !newBytes || !newCellEntries) return false;
    lastBack = std::move(newLastBack);
    bytes = std::move(newBytes);
    cellEntries = std::move(newCellEntries);
    capacity = needed;
    pictureWidth = width;
    pictureHeight = height;
    for (int glyph = 0; glyph < 256; ++glyph)
        glyphInk[glyph] = inkSixteenths(static_cast<uint8_t>(glyph));
    setColorMode(colorMode);
    return true;
}

void TerminalOutput::setColorMode(ColorMode mode) {
    colorMode = mode == ColorMode::Auto ? ColorMode::Colors16 : mode;
    if (colorMode == ColorMode::Palette) {
        numberPaletteColors(*this);
    } else {
        for (int c = 0; c < 16; ++c) consoleColor[c] = modeColor(colorMode, kClassicColors[c]);
        for (uint32_t share = 0; share < kInkShares; ++share) {
            for (int attribute = 0; attribute < 256; ++attribute) {
                const Rgb mix = mixColors(kClassicColors[attribute & 0x0F],
                                          kClassicColors[attribute >> 4], share);
                mixedColor[share][attribute] = modeColor(colorMode, mix);
            }
        }
    }
    if (colorMode != ColorMode::TrueColor) {
        for (uint32_t color = 0; color < 256; ++color) {
            // Palette: the console colours by their 16-colour codes, entries 16-255 by index.
            const ColorMode codes = colorMode != ColorMode::Palette ? colorMode
                                    : color < 16                    ? ColorMode::Colors16
                                                                    : ColorMode::Colors256;
            for (int background = 0; background < 2; ++background) {
                indexedSgrLength[background][color] = static_cast<uint8_t>(
                    colorParameters(indexedSgr[background][color], codes, color, background));
            }
        }
    }
    // Auto's choice depends on the mode.
    if (terminalColumns > 0) setTerminalSize(terminalColumns, terminalRows);
    invalidate();
}

void TerminalOutput::setLayout(DisplayLayout requested) {
    requestedLayout = requested;
    if (terminalColumns > 0) setTerminalSize(terminalColumns, terminalRows);
    invalidate();
}

void TerminalOutput::setTerminalSize(int32_t columns, int32_t rows) {
    terminalColumns = columns < 1 ? 1 : columns > 9999 ? 9999 : columns;
    terminalRows = rows < 1 ? 1 : rows > 9999 ? 9999 : rows;
    layout = chooseDisplayLayout(requestedLayout, colorMode, terminalColumns, terminalRows,
                                 pictureWidth, pictureHeight);
    displayGridSize(layout, pictureWidth, pictureHeight, gridColumns, gridRows);
    // Per axis: centred when there is room, else pinned to the top-left like a console
    // window smaller than its buffer.
    originColumn = terminalColumns > gridColumns ? (terminalColumns - gridColumns) / 2 : 0;
    originRow = terminalRows > gridRows ? (terminalRows - gridRows) / 2 : 0;
    visibleWidth = terminalColumns < gridColumns ? terminalColumns : gridColumns;
    visibleHeight = terminalRows < gridRows ? terminalRows : gridRows;
    invalidate();
}

PointerMap TerminalOutput::pointerMap() const {
    PointerMap map;
    map.set(layout, pictureWidth, pictureHeight, originColumn, originRow);
    return map;
}

void TerminalOutput::invalidate() {
    repaintAll = true;
    cursorRow = -1;
    penKnown = false;
    std::memset(entryOf, 0, sizeof entryOf);
    std::memset(entryColor, 0, sizeof entryColor);
    std::memset(entryUsers, 0, sizeof entryUsers);
    if (cellEntries) {
        std::memset(cellEntries.get(), 0,
                    2 * static_cast<size_t>(pictureWidth) * ((pictureHeight + 1) / 2));
    }
    penForegroundEntry = 0;
    penBackgroundEntry = 0;
}

void TerminalOutput::appendBytes(const char* data, size_t count) {
    if (length + count > kControlBytes) return;
    std::memcpy(bytes.get() + length, data, count);
    length += count;
}

void TerminalOutput::appendTrailer(const char* data, size_t count) {
    if (length + count > capacity) return;
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

ShownCell TerminalOutput::shownAt(int32_t column, int32_t row) const {
    assert(column >= 0 && column < visibleWidth && row >= 0 && row < visibleHeight &&
           "shownAt is asked about a visible terminal cell");
    const bool half = layout == DisplayLayout::Half;
    const int32_t source = half ? 2 * row : row;
    const Cell* upper = lastBack.get() + static_cast<size_t>(source) * pictureWidth;
    const Cell* lower = half && source + 1 < pictureHeight ? upper + pictureWidth : nullptr;
    return shownOf(*this, half, upper, lower, layout == DisplayLayout::Wide ? column / 2 : column);
}

void TerminalOutput::appendFrame(const CellImage& back) {
    assert(back.width == pictureWidth && back.height == pictureHeight &&
           "appendFrame needs the picture size given to create");
    assert(terminalColumns > 0 && "setTerminalSize comes before the first frame");
    char* out = bytes.get();
    size_t n = length;
    // The cursor and the pen are kept in locals while the frame is built: every byte stored
    // through `out` could alias the members, which the compiler would then reload.
    int32_t atRow = cursorRow, atColumn = cursorColumn;
    bool penSet = penKnown;
    uint32_t penFg = penForeground, penBg = penBackground;
    uint8_t penFgEntry = penForegroundEntry, penBgEntry = penBackgroundEntry;
    // Palette mode in half: mixes drawn through entries 16-255, counted per terminal cell.
    const bool entries = colorMode == ColorMode::Palette && layout == DisplayLayout::Half;
    auto put = [&](const char* s, size_t count) {
        std::memcpy(out + n, s, count);
        n += count;
    };
    auto putNumber = [&](uint32_t value) { n += appendNumber(out + n, value); };
    // Copies the glyph's three bytes whole (the buffer has room past any frame) and keeps
    // those that belong to it.
    auto putGlyph = [&](uint8_t character) {
        const Utf8Glyph& glyph = cp437Utf8(character);
        std::memcpy(out + n, glyph.bytes, sizeof glyph.bytes);
        n += glyph.length;
    };
    // `entry`: the palette entry a mix is drawn with, 0 for a 24-bit code.
    auto putColor = [&](uint32_t color, bool background, uint8_t entry) {
        if (colorMode == ColorMode::TrueColor) {
            n += colorParameters(out + n, colorMode, color, background);
        } else if (colorMode == ColorMode::Palette && color >= 16) {
            if (entry != 0) {
                put(indexedSgr[background][entry], indexedSgrLength[background][entry]);
            } else {
                n += colorParameters(out + n, ColorMode::TrueColor, colorRgb[color], background);
            }
        } else {
            put(indexedSgr[background][color & 0xFF], indexedSgrLength[background][color & 0xFF]);
        }
    };
    // A mix's entry for one more terminal cell: the one it has, else one no cell shows, set
    // to it (the pen forgets an entry that changes); 0 when every entry is in use.
    auto holdEntry = [&](uint32_t color) -> uint8_t {
        if (color < 16) return 0;
        if (const uint8_t held = entryOf[color]; held != 0) {
            ++entryUsers[held];
            return held;
        }
        // The lowest free entry: two-digit numbers (below 100) are a byte shorter to name.
        for (uint32_t entry = 16; entry < kPaletteEntriesEnd; ++entry) {
            if (entryUsers[entry] != 0) continue;
            if (entryColor[entry] != 0) entryOf[entryColor[entry]] = 0;
            entryColor[entry] = static_cast<uint16_t>(color);
            entryOf[color] = static_cast<uint8_t>(entry);
            entryUsers[entry] = 1;
            if (entry == penFgEntry || entry == penBgEntry) penSet = false;
            put("\x1b]4;", 4);
            n += paletteEntryText(out + n, entry, colorRgb[color]);
            put("\x1b\\", 2);
            return static_cast<uint8_t>(entry);
        }
        return 0;
    };
    // Terminal cell x of grid row y now shows entries fg and bg (0: none).
    auto recordEntries = [&](int32_t y, int32_t x, uint8_t fg, uint8_t bg) {
        uint8_t* shown = cellEntries.get() + 2 * (static_cast<size_t>(y) * pictureWidth + x);
        if (shown[0] != 0) --entryUsers[shown[0]];
        if (shown[1] != 0) --entryUsers[shown[1]];
        shown[0] = fg;
        shown[1] = bg;
    };
    // `cell` in the form written over the terminal's current colours; the picture's own half
    // blocks (in cells and wide) are written as they are.
    const HalfGlyphs glyphs = layout == DisplayLayout::Half ? halfGlyphs : HalfGlyphs::Lower;
    auto written = [&](const ShownCell& cell) {
        return writtenForm(glyphs, cell, penSet, penFg, penBg);
    };
    // Whether a written form looks right with the terminal's current colours.
    auto showsInPen = [&](const ShownCell& cell) {
        if (!penSet) return false;
        return cell.background == penBg && (isBlank(cell.glyph) || cell.foreground == penFg);
    };

    if (repaintAll) {
        // Clear in black, so the margins of a centred picture are black in every theme
        // (on terminals that erase with the current background).
        put("\x1b[0;", 4);
        n += colorParameters(out + n, colorMode, consoleColor[0], true);
        put("m\x1b[2J", 5);
        penSet = false;
        atRow = -1;
    }

    const bool half = layout == DisplayLayout::Half;
    const bool wide = layout == DisplayLayout::Wide;
    // The picture columns behind the visible terminal columns.
    const int32_t pictureColumns = wide ? (visibleWidth + 1) / 2 : visibleWidth;
    const bool repaint = repaintAll;
    for (int32_t y = 0; y < visibleHeight; ++y) {
        // The picture row(s) behind terminal row y, now and in the last frame.
        const int32_t source = half ? 2 * y : y;
        const size_t offset = static_cast<size_t>(source) * pictureWidth;
        const Cell* upper = back.cells.get() + offset;
        const Cell* lastUpper = lastBack.get() + offset;
        const bool hasLower = half && source + 1 < pictureHeight;
        const Cell* lower = hasLower ? upper + pictureWidth : nullptr;
        const Cell* lastLower = hasLower ? lastUpper + pictureWidth : nullptr;
        // A terminal cell is a function of its picture cells, and most rows and cells did not
        // change: an unchanged row costs one comparison, an unchanged cell a few instructions.
        const size_t rowBytes = static_cast<size_t>(pictureColumns) * sizeof(Cell);
        if (!repaint && std::memcmp(upper, lastUpper, rowBytes) == 0 &&
            (!lower || std::memcmp(lower, lastLower, rowBytes) == 0))
            continue;
        const int32_t row = originRow + y;
        // Terminal column x as it shows now: its picture cell is written or unchanged.
        auto shownNow = [&](int32_t x) {
            return shownOf(*this, half, upper, lower, wide ? x / 2 : x);
        };
        // The first picture column from px on whose cells changed (all of them on a repaint).
        auto nextChanged = [&](int32_t px) {
            if (repaint) return px;
            if (lower) {
                while (px < pictureColumns && bitsOf(upper[px]) == bitsOf(lastUpper[px]) &&
                       bitsOf(lower[px]) == bitsOf(lastLower[px]))
                    ++px;
                return px;
            }
            while (px + 1 < pictureColumns && pairBitsOf(upper + px) == pairBitsOf(lastUpper + px))
                px += 2;
            while (px < pictureColumns && bitsOf(upper[px]) == bitsOf(lastUpper[px])) ++px;
            return px;
        };
        for (int32_t px = nextChanged(0); px < pictureColumns; px = nextChanged(px + 1)) {
            // The terminal columns of picture column px: two in wide, the last maybe cut off.
            const int32_t firstX = wide ? 2 * px : px;
            const int32_t endX = wide && firstX + 1 < visibleWidth ? firstX + 2 : firstX + 1;
            const ShownCell shown = shownOf(*this, half, upper, lower, px);
            // As the terminal shows it: the last frame's picture cells.
            if (!repaint && sameLook(shown, shownOf(*this, half, lastUpper, lastLower, px)))
                continue;
            for (int32_t x = firstX; x < endX; ++x) {
                const int32_t column = originColumn + x;

                // [move] Pick the cheapest way to the cell from where the cursor stands.
                if (atRow != row || atColumn != column) {
                    size_t best = 6 + digitCount(static_cast<uint32_t>(row + 1)) +
                                  digitCount(static_cast<uint32_t>(column + 1)); // ESC[r;cH
                    enum { Absolute, Forward, Rewrite, NextLine } how = Absolute;
                    if (atRow == row && atColumn < column) {
                        const int32_t gap = column - atColumn;
                        if (forwardCost(gap) < best) best = forwardCost(gap), how = Forward;
                        // The cells in between are unchanged: writing them again is cheaper than
                        // a move when they are few and in the current colours.
                        if (gap <= 4 && gap <= x) {
                            size_t cost = 0;
                            bool sameColours = true;
                            for (int32_t i = x - gap; i < x && sameColours; ++i) {
                                const ShownCell between = written(shownNow(i));
                                sameColours = showsInPen(between);
                                cost += cp437Utf8(between.glyph).length;
                            }
                            if (sameColours && cost <= best) best = cost, how = Rewrite;
                        }
                    } else if (atRow >= 0 && atRow + 1 == row) {
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
                        if (column - atColumn > 1)
                            putNumber(static_cast<uint32_t>(column - atColumn));
                        out[n++] = 'C';
                        break;
                    case Rewrite:
                        for (int32_t i = x - (column - atColumn); i < x; ++i) {
                            const ShownCell again = written(shownNow(i));
                            putGlyph(again.glyph);
                            if (!entries) continue;
                            // Now drawn with the pen's entries, which may differ from the
                            // 24-bit code it was drawn with.
                            const uint8_t fg = isBlank(again.glyph) ? 0 : penFgEntry;
                            if (fg != 0) ++entryUsers[fg];
                            if (penBgEntry != 0) ++entryUsers[penBgEntry];
                            recordEntries(y, i, fg, penBgEntry);
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
                    atRow = row;
                    atColumn = column;
                }

                // The form written: in half, either half block where the terminal draws them.
                const ShownCell cell = written(shown);

                // [entries] Held before any is set, so that setting one never takes another
                // this cell needs; the cell's old ones are let go first.
                uint8_t fgEntry = 0, bgEntry = 0;
                if (entries) {
                    recordEntries(y, x, 0, 0);
                    const bool inked = !isBlank(cell.glyph);
                    if (cell.background >= 16 && entryOf[cell.background] != 0)
                        bgEntry = holdEntry(cell.background);
                    if (inked && cell.foreground >= 16 && entryOf[cell.foreground] != 0)
                        fgEntry = holdEntry(cell.foreground);
                    if (bgEntry == 0) bgEntry = holdEntry(cell.background);
                    if (inked && fgEntry == 0) fgEntry = holdEntry(cell.foreground);
                    recordEntries(y, x, fgEntry, bgEntry);
                }

                // [colour] Only the halves that change; a blank keeps the pen's foreground.
                if (!showsInPen(cell)) {
                    const bool fgChanges =
                        !penSet || (!isBlank(cell.glyph) && cell.foreground != penFg);
                    const bool bgChanges = !penSet || cell.background != penBg;
                    put("\x1b[", 2);
                    if (fgChanges) putColor(cell.foreground, false, fgEntry);
                    if (fgChanges && bgChanges) out[n++] = ';';
                    if (bgChanges) putColor(cell.background, true, bgEntry);
                    out[n++] = 'm';
                    if (fgChanges) penFg = cell.foreground, penFgEntry = fgEntry;
                    penBg = cell.background;
                    penBgEntry = bgEntry;
                    penSet = true;
                }

                putGlyph(cell.glyph);
                ++atColumn; // reaching terminalColumns means a pending wrap: never print there
            }
        }
    }
    std::memcpy(lastBack.get(), back.cells.get(),
                static_cast<size_t>(pictureWidth) * pictureHeight * sizeof(Cell));
    cursorRow = atRow;
    cursorColumn = atColumn;
    penKnown = penSet;
    penForeground = penFg;
    penBackground = penBg;
    penForegroundEntry = penFgEntry;
    penBackgroundEntry = penBgEntry;
    repaintAll = false;
    length = n;
    assert(length <= capacity && "frame exceeded the worst-case size");
}
