// Cells to pixels: each glyph pixel in the foreground or background colour of its cell, in
// RGBA byte order, scaled across and down; only changed cells repainted; pictures of other
// sizes clipped; the font read from its resource.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/resource_blob.h"
#include "paint/cell_painter.h"

namespace {

// A 3 x 2 font with one glyph: 'A' is X.X over .X. (bit 0 the leftmost pixel).
struct CellPainterTest : ::testing::Test {
    BitmapFont font;
    CellPainter painter;
    CellImage image;

    void SetUp() override {
        ASSERT_TRUE(font.create(3, 2));
        font.rows['A' * 2 + 0] = 0b101;
        font.rows['A' * 2 + 1] = 0b010;
        ASSERT_TRUE(painter.create(font, 2, 1, 1, 1));
        ASSERT_TRUE(image.create(2, 1));
        image.cells[0] = Cell{'A', 0x1E}; // bright yellow on blue
        image.cells[1] = Cell{' ', 0x70}; // black on grey
    }

    // The RGBA bytes of pixel (x, y).
    std::vector<uint8_t> pixel(int x, int y) const {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(painter.pixels.get());
        const uint8_t* at = bytes + (static_cast<size_t>(y) * painter.pixelWidth + x) * 4;
        return {at, at + 4};
    }
};

const std::vector<uint8_t> kYellow{255, 255, 0, 255}, kBlue{0, 0, 128, 255},
    kGrey{192, 192, 192, 255}, kBlack{0, 0, 0, 255}, kRed{255, 0, 0, 255};

TEST_F(CellPainterTest, PaintsGlyphPixelsInTheCellsColours) {
    EXPECT_EQ(painter.pixelWidth, 6);
    EXPECT_EQ(painter.pixelHeight, 2);
    EXPECT_EQ(painter.paint(image, font), 2);
    const std::vector<uint8_t> expected[2][6] = {
        {kYellow, kBlue, kYellow, kGrey, kGrey, kGrey},
        {kBlue, kYellow, kBlue, kGrey, kGrey, kGrey},
    };
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(x, y), expected[y][x]) << x << "," << y;
}

TEST_F(CellPainterTest, RepaintsOnlyTheCellsThatChanged) {
    painter.paint(image, font);
    EXPECT_EQ(painter.paint(image, font), 0);
    image.cells[1] = Cell{'A', 0x0C}; // bright red on black
    EXPECT_EQ(painter.paint(image, font), 1);
    EXPECT_EQ(pixel(0, 0), kYellow);
    EXPECT_EQ(pixel(3, 0), kRed);
    EXPECT_EQ(pixel(4, 0), kBlack);
    // An attribute change alone counts as a change.
    image.cells[1].attribute = 0x0E;
    EXPECT_EQ(painter.paint(image, font), 1);
    EXPECT_EQ(pixel(3, 0), kYellow);
}

TEST_F(CellPainterTest, ClipsPicturesOfAnotherSize) {
    CellImage wide;
    ASSERT_TRUE(wide.create(3, 2));
    for (int i = 0; i < 6; ++i) wide.cells[i] = Cell{' ', 0x40};
    EXPECT_EQ(painter.paint(wide, font), 2); // only the painter's 2 x 1 cells

    CellImage narrow;
    ASSERT_TRUE(narrow.create(1, 1));
    narrow.cells[0] = Cell{' ', 0x10};
    EXPECT_EQ(painter.paint(narrow, font), 1);
    EXPECT_EQ(pixel(0, 0), kBlue);
    EXPECT_EQ(pixel(3, 0), (std::vector<uint8_t>{128, 0, 0, 255})); // dark red, left alone

    CellImage empty;
    EXPECT_EQ(painter.paint(empty, font), 0);
}

TEST(BitmapFont, AcceptsOnlyGlyphSizesItCanPaint) {
    struct Case {
        int32_t width, height;
        bool ok;
    } cases[] = {{1, 1, true},    {16, 32, true}, {8, 16, true}, {0, 16, false},
                 {17, 16, false}, {8, 33, false}, {8, -1, false}};
    for (const Case& c : cases) {
        BitmapFont font;
        EXPECT_EQ(font.create(c.width, c.height), c.ok) << c.width << "x" << c.height;
        EXPECT_EQ(font.rows != nullptr, c.ok);
        CellPainter painter;
        EXPECT_EQ(painter.create(font, 80, 50, 1, 1), c.ok);
    }
}

TEST(CellPainter, RefusesSizesAndScalesItCannotPaint) {
    BitmapFont font;
    ASSERT_TRUE(font.create(8, 16));
    struct Case {
        int32_t columns, rows, scaleX, scaleY;
    } cases[] = {{0, 50, 1, 1},       {80, -1, 1, 1},          {80, 50, 0, 1},
                 {80, 50, 1, -2},     {80, 50, 2147483647, 1}, // wider than memory holds
                 {65536, 65536, 1, 1}};                        // a picture of 2^36 pixels
    for (const Case& c : cases) {
        CellPainter painter;
        EXPECT_FALSE(painter.create(font, c.columns, c.rows, c.scaleX, c.scaleY))
            << c.columns << "x" << c.rows << " at " << c.scaleX << "x" << c.scaleY;
        EXPECT_EQ(painter.pixels, nullptr);
        EXPECT_EQ(painter.pixelWidth, 0);
    }
}

} // namespace

namespace {

// The embedded font at the capture's scale: each font pixel 4 pixels across and 2 down, so a
// cell is a square of 32 x 32. A full block in yellow beside a space on red and a left half
// block.
TEST(CellPainter, PaintsSquareCellsInConsoleColours) {
    BitmapFont font;
    ASSERT_TRUE(loadFontResource(font));
    CellPainter painter;
    ASSERT_TRUE(painter.create(font, 3, 1, 4, 2));
    ASSERT_EQ(painter.pixelWidth, 96);
    ASSERT_EQ(painter.pixelHeight, 32);
    CellImage cells;
    ASSERT_TRUE(cells.create(3, 1));
    cells.cells[0] = Cell{0xDB, 0x0E}; // yellow full block
    cells.cells[1] = Cell{0x20, 0x4F}; // a space shows only its red background
    cells.cells[2] = Cell{0xDD, 0x1C}; // left half block: bright red on blue
    EXPECT_EQ(painter.paint(cells, font), 3);
    auto pixel = [&](int x, int y) {
        const auto* p = reinterpret_cast<const uint8_t*>(&painter.pixels[y * 96 + x]);
        return std::vector<int>{p[0], p[1], p[2]};
    };
    const std::vector<int> yellow{255, 255, 0}, red{128, 0, 0}, brightRed{255, 0, 0},
        blue{0, 0, 128};
    for (int y : {0, 17, 31}) {
        EXPECT_EQ(pixel(0, y), yellow);
        EXPECT_EQ(pixel(31, y), yellow);
        EXPECT_EQ(pixel(32, y), red);
        EXPECT_EQ(pixel(63, y), red);
        EXPECT_EQ(pixel(64, y), brightRed); // the half block's 4 font pixels: 16 pixels
        EXPECT_EQ(pixel(79, y), brightRed);
        EXPECT_EQ(pixel(80, y), blue);
        EXPECT_EQ(pixel(95, y), blue);
    }
}

// The embedded font read the right way round: the half blocks fill the side they name.
TEST(FontResource, LoadsTheEmbeddedFontLeftmostPixelFirst) {
    BitmapFont font;
    ASSERT_TRUE(loadFontResource(font));
    ASSERT_EQ(font.width, 8);
    ASSERT_EQ(font.height, 16);
    for (int32_t y = 0; y < 16; ++y) {
        EXPECT_EQ(font.rows[0xDD * 16 + y], 0x0F) << y; // left half block
        EXPECT_EQ(font.rows[0xDE * 16 + y], 0xF0) << y; // right half block
        EXPECT_EQ(font.rows[0xDB * 16 + y], 0xFF) << y; // full block
        EXPECT_EQ(font.rows[' ' * 16 + y], 0) << y;
    }
    EXPECT_EQ(font.rows[0xDF * 16 + 0], 0xFF); // upper half block: top row inked
    EXPECT_EQ(font.rows[0xDF * 16 + 15], 0);   // bottom row clear
}

TEST(FontResource, RefusesAFontOfTheWrongSize) {
    const uint8_t bytes[100] = {};
    ResourceBlob blob;
    blob.data = bytes;
    blob.size = sizeof bytes;
    BitmapFont font;
    EXPECT_FALSE(font.load(blob));
    EXPECT_EQ(font.rows, nullptr);
}

} // namespace
