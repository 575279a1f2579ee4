// libvterm wrapped for the console tests, with the independent colour expectations.
#include "emulated_terminal.h"

#include <cstdlib>

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

VTermScreenCallbacks makeCallbacks() {
    VTermScreenCallbacks callbacks{};
    callbacks.settermprop = onSetTermProp;
    return callbacks;
}
const VTermScreenCallbacks kCallbacks = makeCallbacks();

std::string colorProblem(VTermColor color, int console, ColorMode mode) {
    if (mode == ColorMode::Colors16) {
        if (!VTERM_COLOR_IS_INDEXED(&color)) return "not an indexed colour";
        if (color.indexed.idx != kAnsiOfConsole[console])
            return "index " + std::to_string(color.indexed.idx) + " for console colour " +
                   std::to_string(console);
        return "";
    }
    if (mode == ColorMode::TrueColor && !VTERM_COLOR_IS_RGB(&color)) return "not an RGB colour";
    if (mode == ColorMode::Colors256 && (!VTERM_COLOR_IS_INDEXED(&color) || color.indexed.idx < 16))
        return "not a theme-independent 256-colour index";
    Rgb shown{};
    if (mode == ColorMode::TrueColor) {
        shown = Rgb{color.rgb.red, color.rgb.green, color.rgb.blue};
    } else {
        // What xterm and its relatives show for the index (libvterm's own cube differs):
        // a 6 x 6 x 6 cube of levels 0, 95, 135, 175, 215, 255, then a grey ramp 8 + 10 n.
        const int i = color.indexed.idx;
        auto level = [](int n) { return n == 0 ? 0 : 55 + 40 * n; };
        shown = i >= 232 ? Rgb{8 + 10 * (i - 232), 8 + 10 * (i - 232), 8 + 10 * (i - 232)}
                         : Rgb{level((i - 16) / 36), level((i - 16) / 6 % 6), level((i - 16) % 6)};
    }
    // 24-bit is exact; the 256-colour entries land within 8 of each classic colour.
    const int tolerance = mode == ColorMode::TrueColor ? 0 : 8;
    const Rgb want = kClassic[console];
    if (std::abs(shown.r - want.r) > tolerance || std::abs(shown.g - want.g) > tolerance ||
        std::abs(shown.b - want.b) > tolerance)
        return "rgb " + std::to_string(shown.r) + "," + std::to_string(shown.g) + "," +
               std::to_string(shown.b) + " for console colour " + std::to_string(console);
    return "";
}

} // namespace

EmulatedTerminal::EmulatedTerminal(int columns, int rows) {
    vt = vterm_new(rows, columns);
    vterm_set_utf8(vt, 1);
    screen = vterm_obtain_screen(vt);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_set_callbacks(screen, &kCallbacks, this);
    vterm_screen_reset(screen, 1);
}

EmulatedTerminal::~EmulatedTerminal() {
    vterm_free(vt);
}

void EmulatedTerminal::write(const char* bytes, size_t count) {
    vterm_input_write(vt, bytes, count);
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
                                       int visibleWidth, int visibleHeight, ColorMode mode) const {
    for (int y = 0; y < visibleHeight; ++y) {
        for (int x = 0; x < visibleWidth; ++x) {
            const Cell& want = image.cells[static_cast<size_t>(y * image.width + x)];
            const std::string at = "cell (" + std::to_string(x) + "," + std::to_string(y) + "): ";
            VTermScreenCell cell{};
            vterm_screen_get_cell(screen, VTermPos{originRow + y, originColumn + x}, &cell);
            const uint32_t shown = cell.chars[0] == 0 ? 0x20 : cell.chars[0];
            const uint32_t wanted = kCp437Unicode[want.character & 0xFF];
            if (shown != wanted || cell.width != 1)
                return at + "U+" + std::to_string(shown) + " instead of U+" +
                       std::to_string(wanted);
            if (cell.attrs.bold || cell.attrs.reverse) return at + "bold or reverse";
            // A blank shows only its background; its foreground may be anything.
            std::string problem;
            if (wanted != 0x20 && wanted != 0xA0)
                problem = colorProblem(cell.fg, want.attribute & 0x0F, mode);
            if (!problem.empty()) return at + "foreground " + problem;
            problem = colorProblem(cell.bg, (want.attribute >> 4) & 0x0F, mode);
            if (!problem.empty()) return at + "background " + problem;
        }
    }
    return "";
}
