// CellImage: allocation, fills, text, keyed copies and loading from byte pairs.
#include <vector>

#include <gtest/gtest.h>

#include "gfx/cell.h"
#include "gfx/resource_blob.h"

namespace {

bool same(const Cell& a, const Cell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

const Cell& at(const CellImage& image, int x, int y) {
    return image.cells[y * image.width + x];
}

CellImage make(int w, int h, Cell fill) {
    CellImage image;
    EXPECT_TRUE(image.create(w, h));
    image.fillRect(fill, 0, 0, w, h);
    return image;
}

TEST(CellImageCreate, ZeroCellsAndRefusedSizes) {
    CellImage image;
    ASSERT_TRUE(image.create(80, 50));
    EXPECT_EQ(image.width, 80);
    EXPECT_EQ(image.height, 50);
    for (int i = 0; i < 80 * 50; ++i) EXPECT_TRUE(same(image.cells[i], Cell{0, 0}));

    CellImage refused;
    EXPECT_FALSE(refused.create(-1, 5));
    EXPECT_FALSE(refused.create(INT32_MAX, INT32_MAX));
    EXPECT_EQ(refused.width, 0);
    EXPECT_EQ(refused.height, 0);
    EXPECT_EQ(refused.cells, nullptr);
}

TEST(CellImageFillRect, ClipsAtEveryEdge) {
    const Cell dot{0x2E, 0x07};
    CellImage image = make(6, 4, Cell{0x20, 0});
    image.fillRect(dot, -3, 1, 5, 1);  // only columns 0 and 1
    image.fillRect(dot, 4, 3, 10, 10); // bottom-right corner only
    image.fillRect(dot, 6, 0, 1, 1);   // x = width: nothing
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool filled = (y == 1 && x < 2) || (y == 3 && x >= 4);
            EXPECT_EQ(at(image, x, y).character, filled ? 0x2E : 0x20) << x << "," << y;
        }
    }
}

TEST(CellImagePrintText, CutsAtRowEndAndRefusesOutside) {
    CellImage image = make(8, 3, Cell{0x20, 0});
    EXPECT_TRUE(image.printText("abc", 0xF0, 7, 0)); // one cell at x = width - 1
    EXPECT_TRUE(same(at(image, 7, 0), Cell{'a', 0xF0}));
    EXPECT_TRUE(same(at(image, 0, 1), Cell{0x20, 0})); // no wrap into the next row

    EXPECT_TRUE(image.printText("\xC5xyz", 0x1E, 2, 1));
    EXPECT_TRUE(same(at(image, 2, 1), Cell{0xC5, 0x1E})); // bytes above 0x7F are not sign-extended
    EXPECT_TRUE(same(at(image, 5, 1), Cell{'z', 0x1E}));
    EXPECT_TRUE(same(at(image, 6, 1), Cell{0x20, 0}));

    CellImage before = make(8, 3, Cell{0x20, 0});
    EXPECT_FALSE(before.printText("q", 0x07, -1, 0));
    EXPECT_FALSE(before.printText("q", 0x07, 8, 0));
    EXPECT_FALSE(before.printText("q", 0x07, 0, -1));
    EXPECT_FALSE(before.printText("q", 0x07, 0, 3));
    EXPECT_FALSE(before.printText(nullptr, 0x07, 0, 0));
    EXPECT_TRUE(before.printText("", 0x07, 0, 0));
    for (int i = 0; i < 24; ++i) EXPECT_TRUE(same(before.cells[i], Cell{0x20, 0}));
}

TEST(CellImageCopyKeyed, SkipsKeyAndClips) {
    CellImage source = make(3, 2, Cell{'.', 0x07});
    source.cells[1] = Cell{'#', 0x2E};    // attribute equal to the key plays no part
    source.cells[5] = Cell{0x012E, 0x0C}; // differs from the key only in the high byte
    CellImage dest = make(4, 3, Cell{' ', 0x00});
    dest.copyKeyed(source, 0x2E, 0, 0, 1, 1, 3, 2);
    EXPECT_TRUE(same(at(dest, 2, 1), Cell{'#', 0x2E}));
    EXPECT_TRUE(same(at(dest, 3, 2), Cell{0x012E, 0x0C}));
    EXPECT_TRUE(same(at(dest, 1, 1), Cell{' ', 0})); // under a "." cell: unchanged
    EXPECT_TRUE(same(at(dest, 0, 0), Cell{' ', 0}));

    // A source rectangle past the source's right edge copies only existing columns.
    CellImage solid = make(3, 1, Cell{'X', 0x4F});
    CellImage wide = make(6, 1, Cell{' ', 0});
    wide.copyKeyed(solid, 0, 1, 0, 0, 0, 6, 1);
    EXPECT_EQ(at(wide, 0, 0).character, 'X');
    EXPECT_EQ(at(wide, 1, 0).character, 'X');
    EXPECT_EQ(at(wide, 2, 0).character, ' ');
    // Negative destination origin shifts into the source.
    CellImage ramp = make(4, 1, Cell{0, 0});
    for (int i = 0; i < 4; ++i) ramp.cells[i].character = static_cast<uint16_t>('a' + i);
    CellImage out = make(4, 1, Cell{' ', 0});
    out.copyKeyed(ramp, 0, 0, 0, -2, 0, 4, 1);
    EXPECT_EQ(at(out, 0, 0).character, 'c');
    EXPECT_EQ(at(out, 1, 0).character, 'd');
    EXPECT_EQ(at(out, 2, 0).character, ' ');
}

TEST(CellImageLoadPairs, SizesAndOddBytes) {
    std::vector<uint8_t> text(12800);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>(i * 7 + 3);
    CellImage image;
    ASSERT_TRUE(image.loadPairs(ResourceBlob{text.data(), 12800}, 80));
    EXPECT_EQ(image.width, 80);
    EXPECT_EQ(image.height, 80);
    EXPECT_TRUE(same(at(image, 0, 1), Cell{text[160], text[161]}));
    EXPECT_TRUE(same(at(image, 79, 79), Cell{text[12798], text[12799]}));

    const uint8_t seven[7] = {1, 2, 3, 4, 0xFE, 0xFF, 9};
    CellImage odd;
    ASSERT_TRUE(odd.loadPairs(ResourceBlob{seven, 7}, 2));
    EXPECT_EQ(odd.width, 2);
    EXPECT_EQ(odd.height, 1);
    EXPECT_TRUE(same(odd.cells[2], Cell{0xFE, 0xFF})); // third cell kept outside the image

    CellImage empty;
    EXPECT_TRUE(empty.loadPairs(ResourceBlob{}, 80));
    EXPECT_EQ(empty.height, 0);
    CellImage refused;
    EXPECT_FALSE(refused.loadPairs(ResourceBlob{seven, 7}, 0));
    EXPECT_EQ(refused.cells, nullptr);
}

} // namespace
