// Display layout and colour mode names, the Auto choice, grid sizes and the pointer's way
// back to a cell.
#include "console/display_layout.h"

#include <cstring>

namespace {

struct LayoutName {
    const char* name;
    DisplayLayout layout;
};
struct ColorModeName {
    const char* name;
    ColorMode mode;
};
constexpr ColorModeName kColorModeNames[] = {
    {"auto", ColorMode::Auto},           {"16", ColorMode::Colors16},
    {"256", ColorMode::Colors256},       {"24bit", ColorMode::TrueColor},
    {"truecolor", ColorMode::TrueColor}, {"palette", ColorMode::Palette}};
constexpr LayoutName kLayoutNames[] = {{"auto", DisplayLayout::Auto},
                                       {"wide", DisplayLayout::Wide},
                                       {"half", DisplayLayout::Half},
                                       {"cells", DisplayLayout::Cells}};

int16_t clampTo(int64_t value, int32_t count) {
    return static_cast<int16_t>(value < 0 ? 0 : value >= count ? count - 1 : value);
}

// Floor division for positions left of or above the picture.
int64_t floorDivide(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

bool parseDisplayLayout(const char* text, DisplayLayout& layout) {
    for (const LayoutName& n : kLayoutNames) {
        if (std::strcmp(text, n.name) == 0) {
            layout = n.layout;
            return true;
        }
    }
    return false;
}

bool parseColorMode(const char* text, ColorMode& mode) {
    for (const ColorModeName& n : kColorModeNames) {
        if (std::strcmp(text, n.name) == 0) {
            mode = n.mode;
            return true;
        }
    }
    return false;
}

const char* displayLayoutName(DisplayLayout layout) {
    for (const LayoutName& n : kLayoutNames)
        if (n.layout == layout) return n.name;
    return "auto";
}

DisplayLayout chooseDisplayLayout(DisplayLayout requested, ColorMode mode, int32_t columns,
                                  int32_t rows, int32_t width, int32_t height) {
    if (requested != DisplayLayout::Auto) return requested;
    if (columns >= 2 * width && rows >= height) return DisplayLayout::Wide;
    if (mode == ColorMode::Colors256 || mode == ColorMode::TrueColor || mode == ColorMode::Palette)
        return DisplayLayout::Half;
    return DisplayLayout::Cells;
}

void displayGridSize(DisplayLayout layout, int32_t width, int32_t height, int32_t& columns,
                     int32_t& rows) {
    columns = layout == DisplayLayout::Wide ? 2 * width : width;
    rows = layout == DisplayLayout::Half ? (height + 1) / 2 : height;
}

void PointerMap::set(DisplayLayout layout, int32_t width, int32_t height, int32_t column,
                     int32_t row) {
    originColumn = column;
    originRow = row;
    pictureWidth = width < 1 ? 1 : width;
    pictureHeight = height < 1 ? 1 : height;
    columnsPerCell = layout == DisplayLayout::Wide ? 2 : 1;
    cellsPerRow = layout == DisplayLayout::Half ? 2 : 1;
}

void PointerMap::cellAt(int64_t column, int64_t row, int16_t& x, int16_t& y) const {
    x = clampTo(floorDivide(column - originColumn, columnsPerCell), pictureWidth);
    y = clampTo((row - originRow) * cellsPerRow, pictureHeight);
}

void PointerMap::cellAtPixel(int64_t px, int64_t py, int16_t& x, int16_t& y) const {
    if (cellPixelWidth <= 0 || cellPixelHeight <= 0) return cellAt(0, 0, x, y);
    const int64_t left = px - static_cast<int64_t>(originColumn) * cellPixelWidth;
    const int64_t top = py - static_cast<int64_t>(originRow) * cellPixelHeight;
    x = clampTo(floorDivide(left, static_cast<int64_t>(cellPixelWidth) * columnsPerCell),
                pictureWidth);
    y = clampTo(floorDivide(top * cellsPerRow, cellPixelHeight), pictureHeight);
}
