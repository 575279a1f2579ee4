// libvterm wrapped for the console tests, with the independent colour expectations.
#include "emulated_terminal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "gfx/cp437.h"

namespace {

// ANSI colour number of each console colour (attribute order blue 1, green 2, red 4).
constexpr int kAnsiOfConsole[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

struct Rgb {
    int r, g, b;
};
// The classic console palette.
constexpr Rgb kClassic[16] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},   {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},     {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};

int onSetTermProp(VTermProp prop, VTermValue* value, void* user) {
    auto& t = *static_cast<EmulatedTerminal*>(user);
    switch (prop) {
    case VTERM_PROP_TITLE:
        t.title = value->string ? value->string : "";
        break;
    case VTERM_PROP_ALTSCREEN:
        t.altScreen = value->boolean != 0;
        break;
    case VTERM_PROP_CURSORVISIBLE:
        t.cursorVisible = value->boolean != 0;
        break;
    case VTERM_PROP_MOUSE:
        t.mouseMode = value->number;
        break;
    default:
        break;
    }
    return 1;
}

// OSC 4 ("4;n;rgb:rr/gg/bb", pairs repeated) sets entries; OSC 104 resets the listed ones,
// or all.
void paletteCommand(EmulatedTerminal& t, const std::string& text) {
    if (t.ignoresPaletteReset && text.rfind("104", 0) == 0) return;
    if (text == "104") {
        for (int& entry : t.palette) entry = -1;
        return;
    }
    if (text.rfind("104;", 0) == 0) {
        for (size_t at = 4; at < text.size(); at = text.find(';', at) + 1) {
            t.palette[std::atoi(text.c_str() + at) & 0xFF] = -1;
            if (text.find(';', at) == std::string::npos) break;
        }
        return;
    }
    if (text.rfind("4;", 0) != 0) return;
    size_t at = 2;
    while (at < text.size()) {
        int index = 0, used = 0;
        unsigned r = 0, g = 0, b = 0;
        if (std::sscanf(text.c_str() + at, "%d;rgb:%2x/%2x/%2x%n", &index, &r, &g, &b, &used) != 4)
            return;
        t.palette[index & 0xFF] = static_cast<int>(r << 16 | g << 8 | b);
        at += static_cast<size_t>(used) + 1;
    }
}

VTermScreenCallbacks makeCallbacks() {
    VTermScreenCallbacks callbacks{};
    callbacks.settermprop = onSetTermProp;
    return callbacks;
}
const VTermScreenCallbacks kCallbacks = makeCallbacks();

Rgb xtermColor(int index) {
    // What xterm and its relatives show for an index of the cube and the grey ramp
    // (libvterm's own cube differs): levels 0, 95, 135, 175, 215, 255, then 8 + 10 n.
    auto level = [](int n) { return n == 0 ? 0 : 55 + 40 * n; };
    if (index >= 232)
        return Rgb{8 + 10 * (index - 232), 8 + 10 * (index - 232), 8 + 10 * (index - 232)};
    return Rgb{level((index - 16) / 36), level((index - 16) / 6 % 6), level((index - 16) % 6)};
}

int distance(Rgb a, Rgb b) {
    return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

// The colour a mode shows for `want`: an ANSI index (16), an xterm index (256) or the RGB
// itself (24-bit), each the nearest, the lower index on a tie.
int expectedColor(Rgb want, ColorMode mode) {
    if (mode == ColorMode::TrueColor || mode == ColorMode::Palette)
        return want.r << 16 | want.g << 8 | want.b;
    // Searched once per colour and mode: the checker compares thousands of cells per frame.
    static std::unordered_map<int, int> known[2];
    std::unordered_map<int, int>& cache = known[mode == ColorMode::Colors16 ? 0 : 1];
    const int key = want.r << 16 | want.g << 8 | want.b;
    if (const auto found = cache.find(key); found != cache.end()) return found->second;
    const int first = mode == ColorMode::Colors16 ? 0 : 16;
    const int last = mode == ColorMode::Colors16 ? 16 : 256;
    int best = first;
    int bestDistance = -1;
    for (int i = first; i < last; ++i) {
        const int d = distance(want, mode == ColorMode::Colors16 ? kClassic[i] : xtermColor(i));
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    const int index = mode == ColorMode::Colors16 ? kAnsiOfConsole[best] : best;
    cache.emplace(key, index);
    return index;
}

std::string colorProblem(VTermColor color, int expected, ColorMode mode, const int* palette) {
    if (mode == ColorMode::TrueColor || mode == ColorMode::Palette) {
        int shown = color.rgb.red << 16 | color.rgb.green << 8 | color.rgb.blue;
        if (mode == ColorMode::Palette && VTERM_COLOR_IS_INDEXED(&color)) {
            shown = palette[color.indexed.idx];
            if (shown < 0) return "entry " + std::to_string(color.indexed.idx) + " not set";
        } else if (!VTERM_COLOR_IS_RGB(&color)) {
            return "not an RGB colour";
        }
        if (shown != expected)
            return "rgb " + std::to_string(shown) + " instead of " + std::to_string(expected);
        return "";
    }
    if (!VTERM_COLOR_IS_INDEXED(&color)) return "not an indexed colour";
    if (color.indexed.idx != expected)
        return "index " + std::to_string(color.indexed.idx) + " instead of " +
               std::to_string(expected);
    return "";
}

// The share of its cell a glyph's ink covers, as the layouts are meant to show it.
double inkShare(int glyph) {
    switch (glyph) {
    case 0x00:
    case 0x20:
    case 0xFF:
        return 0.0;
    case 0xB0:
        return 0.25;
    case 0xB1:
        return 0.5;
    case 0xB2:
        return 0.75;
    case 0xDB:
        return 1.0;
    case 0xDC:
    case 0xDD:
    case 0xDE:
    case 0xDF:
        return 0.5;
    case '.':
    case 0xF9:
    case 0xFA:
        return 1.0 / 16;
    case '+':
        return 3.0 / 16;
    case '*':
        return 0.25;
    default:
        return 5.0 / 16;
    }
}

// What a viewer sees of a cell: ink over paper by the glyph's share, rounded per channel.
Rgb seenColor(const Cell& cell) {
    const Rgb ink = kClassic[cell.attribute & 0x0F];
    const Rgb paper = kClassic[(cell.attribute >> 4) & 0x0F];
    const double share = inkShare(cell.character & 0xFF);
    auto mix = [share](int i, int p) {
        return static_cast<int>(std::lround(i * share + p * (1.0 - share)));
    };
    return Rgb{mix(ink.r, paper.r), mix(ink.g, paper.g), mix(ink.b, paper.b)};
}

struct ExpectedCell {
    uint32_t codePoint;
    int foreground; // in the mode's terms; unchecked for a blank
    int background;
};

// The terminal cell at (column, row) of the layout's grid for `image`.
ExpectedCell expectedCell(const CellImage& image, int column, int row, ColorMode mode,
                          DisplayLayout layout) {
    if (layout == DisplayLayout::Half) {
        const Cell black{' ', 0};
        const Cell& upper = image.cells[static_cast<size_t>(2 * row * image.width + column)];
        const Cell& lower =
            2 * row + 1 < image.height
                ? image.cells[static_cast<size_t>((2 * row + 1) * image.width + column)]
                : black;
        const int top = expectedColor(seenColor(upper), mode);
        const int bottom = expectedColor(seenColor(lower), mode);
        if (top == bottom) return ExpectedCell{0x20, 0, top};
        return ExpectedCell{0x2584, bottom, top};
    }
    const int x = layout == DisplayLayout::Wide ? column / 2 : column;
    const Cell& cell = image.cells[static_cast<size_t>(row * image.width + x)];
    const int fg = expectedColor(kClassic[cell.attribute & 0x0F], mode);
    const int bg = expectedColor(kClassic[(cell.attribute >> 4) & 0x0F], mode);
    // A full block is a space on its colour: no font seam.
    if ((cell.character & 0xFF) == 0xDB) return ExpectedCell{0x20, 0, fg};
    return ExpectedCell{kCp437Unicode[cell.character & 0xFF], fg, bg};
}

} // namespace

EmulatedTerminal::EmulatedTerminal(int columns, int rows) {
    vt = vterm_new(rows, columns);
    vterm_set_utf8(vt, 1);
    screen = vterm_obtain_screen(vt);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_set_callbacks(screen, &kCallbacks, this);
    for (int& entry : palette) entry = -1;
    vterm_screen_reset(screen, 1);
}

EmulatedTerminal::~EmulatedTerminal() {
    vterm_free(vt);
}

void EmulatedTerminal::write(const char* bytes, size_t count) {
    vterm_input_write(vt, bytes, count);
    // OSC commands are read here, whole even when split across writes: libvterm hands its
    // fallback the pieces.
    oscCarry.append(bytes, count);
    size_t done = 0;
    for (;;) {
        const size_t start = oscCarry.find("\x1b]", done);
        if (start == std::string::npos) {
            done = oscCarry.size() > 0 && oscCarry.back() == '\x1b' ? oscCarry.size() - 1
                                                                    : oscCarry.size();
            break;
        }
        const size_t end = oscCarry.find_first_of("\x1b\a", start + 2);
        if (end == std::string::npos) {
            done = start;
            break;
        }
        paletteCommand(*this, oscCarry.substr(start + 2, end - start - 2));
        done = end + 1;
    }
    oscCarry.erase(0, done);
}

void EmulatedTerminal::resize(int columns, int rows) {
    vterm_set_size(vt, rows, columns);
}

uint32_t EmulatedTerminal::character(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen, VTermPos{row, column}, &cell);
    return cell.chars[0] == 0 ? 0x20 : cell.chars[0];
}

std::string EmulatedTerminal::mismatch(const CellImage& image, int originColumn, int originRow,
                                       int visibleWidth, int visibleHeight, ColorMode mode,
                                       DisplayLayout layout, bool either) const {
    for (int y = 0; y < visibleHeight; ++y) {
        for (int x = 0; x < visibleWidth; ++x) {
            ExpectedCell want = expectedCell(image, x, y, mode, layout);
            const std::string at = "terminal cell (" + std::to_string(x) + "," + std::to_string(y) +
                                   ") of the picture: ";
            VTermScreenCell cell{};
            vterm_screen_get_cell(screen, VTermPos{originRow + y, originColumn + x}, &cell);
            const uint32_t shown = cell.chars[0] == 0 ? 0x20 : cell.chars[0];
            if (either && want.codePoint == 0x2584 && shown == 0x2580)
                want = ExpectedCell{0x2580, want.background, want.foreground};
            // A space and a no-break space look alike: either may stand for the other.
            const bool blanks = (shown == 0x20 || shown == 0xA0) &&
                                (want.codePoint == 0x20 || want.codePoint == 0xA0);
            if ((shown != want.codePoint && !blanks) || cell.width != 1)
                return at + "U+" + std::to_string(shown) + " instead of U+" +
                       std::to_string(want.codePoint);
            if (cell.attrs.bold || cell.attrs.reverse) return at + "bold or reverse";
            // A blank shows only its background; its foreground may be anything.
            std::string problem;
            if (want.codePoint != 0x20 && want.codePoint != 0xA0)
                problem = colorProblem(cell.fg, want.foreground, mode, palette);
            if (!problem.empty()) return at + "foreground " + problem;
            problem = colorProblem(cell.bg, want.background, mode, palette);
            if (!problem.empty()) return at + "background " + problem;
        }
    }
    return "";
}
