// CellImage::convertLayer: intensity levels (a floor, clamped), cells without a palette, and
// clipping of the destination offset.
#include <cmath>

#include <gtest/gtest.h>

#include "gfx/cell.h"
#include "gfx/layer.h"
#include "gfx/palette.h"

namespace {

// Entry i shows character i, so the converted Cell names its level.
Palette levelPalette() {
    Palette palette{};
    for (int i = 0; i < 256; ++i) palette.entries[i] = Cell{static_cast<uint16_t>(i), 0x4E};
    return palette;
}

TEST(ConvertLayer, Levels) {
    const Palette palette = levelPalette();
    struct Case {
        float intensity;
        int level;
    };
    const Case cases[] = {
        {0.0f, 0},
        {0.5f, 127},
        {0.999f, 254},
        {1.0f, 255},
        {-0.3f, 0},
        {7.0f, 255},
        {0.6f, 153},
        {1.0f / 255.0f, 1},
        {std::nanf(""), 0},
        {-INFINITY, 0},
        {INFINITY, 255},
        {std::nextafter(1.0f, 0.0f), 254},
        {std::nextafter(1.0f, 2.0f), 255},
    };
    for (const Case& c : cases) {
        Layer layer;
        ASSERT_TRUE(layer.create(1, 1));
        layer.cells[0] = LayerCell{c.intensity, {&palette}};
        CellImage image;
        ASSERT_TRUE(image.create(1, 1));
        image.convertLayer(layer, 0, 0, 0, 0, 1, 1);
        EXPECT_EQ(image.cells[0].character, c.level) << c.intensity;
        EXPECT_EQ(image.cells[0].attribute, 0x4E);
    }
}

TEST(ConvertLayer, NoPaletteLeavesCellAndOffsetClips) {
    const Palette palette = levelPalette();
    Layer layer;
    ASSERT_TRUE(layer.create(80, 50));
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            // Level x + y (at most 128), and no palette in column 3.
            layer.cells[y * 80 + x] =
                LayerCell{static_cast<float>(x + y) / 255.0f, {x == 3 ? nullptr : &palette}};
        }
    }
    layer.cells[3].intensity = 1.0f;
    CellImage image;
    ASSERT_TRUE(image.create(80, 50));
    image.fillRect(Cell{0x2E, 0x07}, 0, 0, 80, 50);
    image.convertLayer(layer, 0, 0, 10, 5, 80, 50);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            const Cell& cell = image.cells[y * 80 + x];
            const int lx = x - 10, ly = y - 5; // the Layer cell that lands here
            if (lx < 0 || ly < 0 || lx == 3) {
                ASSERT_EQ(cell.character, 0x2E) << x << "," << y;
                ASSERT_EQ(cell.attribute, 0x07);
            } else {
                ASSERT_EQ(cell.character, lx + ly) << x << "," << y;
            }
        }
    }
}

} // namespace
