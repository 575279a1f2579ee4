// The built console font (font.bin): its size, the blank glyphs, the block and shade
// characters whose shapes code page 437 defines, box-drawing lines that join between cells,
// and glyphs that tell characters apart.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t kRows = 16;

class FontResource : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::ifstream in(std::string(KAVEO_RESOURCE_DIR) + "/font.bin", std::ios::binary);
        font = std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    }
    void SetUp() override { ASSERT_EQ(font.size(), 256 * kRows) << "16 bytes per glyph"; }
    static std::vector<uint8_t> glyph(int byte) {
        return {font.begin() + byte * kRows, font.begin() + (byte + 1) * kRows};
    }
    static int setPixels(int byte) {
        int count = 0;
        for (uint8_t row : glyph(byte)) count += std::popcount(row);
        return count;
    }
    static std::vector<uint8_t> font;
};
std::vector<uint8_t> FontResource::font;

TEST_F(FontResource, EmptyCellSpaceAndNoBreakSpaceAreBlank) {
    for (int byte : {0x00, 0x20, 0xFF}) EXPECT_EQ(setPixels(byte), 0) << std::hex << byte;
}

// Rows as the character's definition draws them: the full, lower, upper, left and right blocks.
TEST_F(FontResource, BlockCharactersFillTheirPartOfTheCell) {
    struct Block {
        int byte;
        uint8_t top;    // rows 0-7
        uint8_t bottom; // rows 8-15
    };
    const Block blocks[] = {
        {0xDB, 0xFF, 0xFF}, {0xDC, 0x00, 0xFF}, {0xDF, 0xFF, 0x00},
        {0xDD, 0xF0, 0xF0}, {0xDE, 0x0F, 0x0F},
    };
    for (const Block& block : blocks) {
        const std::vector<uint8_t> rows = glyph(block.byte);
        for (size_t y = 0; y < kRows; ++y)
            EXPECT_EQ(rows[y], y < 8 ? block.top : block.bottom)
                << std::hex << block.byte << " row " << std::dec << y;
    }
}

// The palettes shade with these: a quarter, half and three quarters of the cell lit.
TEST_F(FontResource, ShadesCoverAQuarterAHalfAndThreeQuarters) {
    EXPECT_EQ(setPixels(0xB0), 32);
    EXPECT_EQ(setPixels(0xB1), 64);
    EXPECT_EQ(setPixels(0xB2), 96);
}

// Lines of the caption frames continue into the next cell only if they reach the edges.
TEST_F(FontResource, BoxDrawingLinesReachTheCellEdges) {
    for (int byte : {0xC4, 0xC5, 0xCD}) { // horizontal, cross, double horizontal
        bool across = false;
        for (uint8_t row : glyph(byte)) across = across || row == 0xFF;
        EXPECT_TRUE(across) << std::hex << byte;
    }
    for (int byte : {0xB3, 0xC5, 0xBA}) { // vertical, cross, double vertical
        uint8_t everyRow = 0xFF;
        for (uint8_t row : glyph(byte)) everyRow &= row;
        EXPECT_NE(everyRow, 0) << std::hex << byte;
    }
}

// Pictures are read back cell by cell: two characters drawn alike could not be told apart.
TEST_F(FontResource, EveryVisibleCharacterHasItsOwnGlyph) {
    std::set<std::vector<uint8_t>> seen;
    for (int byte = 1; byte < 0xFF; ++byte) {
        if (byte == 0x20) continue;
        EXPECT_GT(setPixels(byte), 0) << std::hex << byte;
        EXPECT_TRUE(seen.insert(glyph(byte)).second) << "glyph " << std::hex << byte;
    }
}

} // namespace
