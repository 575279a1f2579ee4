// The built pictures and tables: palette.bin against the palette table, the caption sheet's
// layout and characters, and the tunnel pictures' tiling and reductions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/cell.h"

namespace {

std::vector<uint8_t> builtFile(const std::string& name) {
    std::ifstream in(std::string(KAVEO_RESOURCE_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// The palette table as documented: slot, pair count, pairs as character/attribute in hex.
struct PaletteRow {
    int slot;
    int count;
    const char* pairs;
};
const PaletteRow kPaletteTable[] = {
    {0, 55,
     "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 B0/FA  "
     "B1/FA B0/AF 20/AA B0/A2 B1/A2 B0/2A B0/2A B1/2A B0/A2 20/AA B0/AF B1/AF B0/FA  "
     "B0/F9 B1/F9 B0/9F 20/99 B0/91 B1/91 B0/19 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F  "
     "B0/F9 B0/FA B1/FA B0/AF 20/AA B0/A2 B1/A2 B0/2A B0/2A B1/2A B0/A2 20/AA B0/AF  "
     "B1/AF B0/FA 20/FF"},
    {1, 6, "20/77 20/77 B0/7F B1/7F B0/F7 20/FF"},
    {2, 6, "20/AA 20/AA B0/AF B1/AF B0/FA 20/FF"},
    {3, 13, "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 20/FF"},
    {4, 25,
     "20/00 B0/00 B1/00 B0/00 20/00 B0/04 B1/04 B0/40 20/44 B0/4C B1/4C B0/C4 20/CC  "
     "B0/CE B1/CE B0/EC 20/EE B0/EF B1/EF B0/FE 20/FF B0/FF B1/FF B0/FF 20/FF"},
    {5, 29,
     "20/00 B0/02 B1/02 B0/20 20/22 B0/2A B1/2A B0/A2 20/AA B0/AB B1/AB B0/BA 20/BB  "
     "B0/BF B1/BF B0/FB 20/FF B0/FF B1/FF B0/FF 20/FF B0/FF B1/FF B0/FF 20/FF B0/FF  "
     "B1/FF B0/FF 20/FF"},
    {6, 25,
     "20/FF B0/FD B1/FD B0/DF 20/DD B0/D4 B1/D4 B0/4D 20/44 B0/40 B1/40 B0/04 20/00  "
     "B0/00 B1/00 B0/00 20/00 B0/00 B1/00 B0/00 20/00 B0/00 B1/00 B0/00 20/00"},
    {7, 6, "20/00 F9/08 F9/07 F9/0F 2B/0F 2A/0F"},
    {8, 13, "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 20/FF"},
    {9, 13, "20/00 B0/02 B1/02 B0/20 20/22 B0/2A B1/2A B0/A2 20/AA B0/AF B1/AF B0/FA 20/FF"},
    {10, 13, "20/00 B0/03 B1/03 B0/30 20/33 B0/3B B1/3B B0/B3 20/BB B0/BF B1/BF B0/FB 20/FF"},
    {11, 13, "20/00 B0/04 B1/04 B0/40 20/44 B0/4C B1/4C B0/C4 20/CC B0/CF B1/CF B0/FC 20/FF"},
    {12, 13, "20/00 B0/05 B1/05 B0/50 20/55 B0/5D B1/5D B0/D5 20/DD B0/DF B1/DF B0/FD 20/FF"},
    {13, 13, "20/00 B0/06 B1/06 B0/60 20/66 B0/6E B1/6E B0/E6 20/EE B0/EF B1/EF B0/FE 20/FF"},
    {14, 13, "20/00 B0/08 B1/08 B0/80 20/88 B0/87 B1/87 B0/78 20/77 B0/7F B1/7F B0/F7 20/FF"},
};

std::vector<Cell> pairsOf(const PaletteRow& row) {
    std::vector<Cell> cells;
    std::istringstream words(row.pairs);
    std::string pair;
    while (words >> pair) {
        cells.push_back(
            Cell{static_cast<uint16_t>(std::strtoul(pair.substr(0, 2).c_str(), nullptr, 16)),
                 static_cast<uint16_t>(std::strtoul(pair.substr(3, 2).c_str(), nullptr, 16))});
    }
    return cells;
}

TEST(PaletteResource, HoldsTheFifteenRecordsOfTheTableInOrder) {
    const std::vector<uint8_t> bytes = builtFile("palette.bin");
    ASSERT_EQ(bytes.size(), 542u);
    size_t at = 0;
    for (const PaletteRow& row : kPaletteTable) {
        SCOPED_TRACE(row.slot);
        const std::vector<Cell> pairs = pairsOf(row);
        ASSERT_EQ(pairs.size(), static_cast<size_t>(row.count));
        ASSERT_LE(at + 2 + 2 * pairs.size(), bytes.size());
        EXPECT_EQ(bytes[at], row.slot);
        EXPECT_EQ(bytes[at + 1], row.count);
        for (size_t j = 0; j < pairs.size(); ++j) {
            EXPECT_EQ(bytes[at + 2 + 2 * j], pairs[j].character) << "pair " << j;
            EXPECT_EQ(bytes[at + 3 + 2 * j], pairs[j].attribute) << "pair " << j;
        }
        at += 2 + 2 * pairs.size();
    }
    EXPECT_EQ(at, bytes.size());
}

// The caption sheet: 80 x 80 cells of character and attribute.
struct Sheet {
    std::vector<uint8_t> bytes = builtFile("text.bin");
    uint8_t character(int x, int y) const { return bytes[static_cast<size_t>((y * 80 + x) * 2)]; }
    uint8_t attribute(int x, int y) const {
        return bytes[static_cast<size_t>((y * 80 + x) * 2 + 1)];
    }
};

TEST(CaptionResource, BlankSeparatorRowsAndOnlyBlockAndShadeCharactersInVisibleColours) {
    const Sheet sheet;
    ASSERT_EQ(sheet.bytes.size(), 12800u);
    for (int y : {0, 15, 31, 47, 63, 79})
        for (int x = 0; x < 80; ++x) EXPECT_EQ(sheet.character(x, y), '.') << x << "," << y;
    const uint8_t allowed[] = {'.', 0xDB, 0xDC, 0xDF, 0xDD, 0xDE, 0xB0, 0xB1, 0xB2};
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 80; ++x) {
            const uint8_t c = sheet.character(x, y);
            ASSERT_NE(std::find(std::begin(allowed), std::end(allowed), c), std::end(allowed))
                << x << "," << y;
            // A glyph drawn in its background colour would vanish.
            if (c != '.') {
                EXPECT_NE(sheet.attribute(x, y) & 0x0F, sheet.attribute(x, y) >> 4)
                    << x << "," << y;
            }
        }
    }
}

TEST(CaptionResource, EveryPictureHasBlockLetters) {
    const Sheet sheet;
    ASSERT_EQ(sheet.bytes.size(), 12800u);
    struct Band {
        int top, rows;
    };
    for (const Band band : {Band{1, 14}, Band{16, 15}, Band{32, 15}, Band{48, 15}, Band{64, 15}}) {
        SCOPED_TRACE(band.top);
        int blocks = 0;
        int left = 80, right = -1;
        for (int y = band.top; y < band.top + band.rows; ++y)
            for (int x = 0; x < 80; ++x)
                if (sheet.character(x, y) == 0xDB) {
                    ++blocks;
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        EXPECT_GT(blocks, 100);
        EXPECT_GT(right - left, 40); // a word or two across the screen, not a speck
    }
}

// The tunnel pictures: 128 x 64 and its 2 x 2 and 4 x 4 box-filtered reductions.
TEST(TunnelResource, SmallerLevelsAreRoundedBoxAveragesOfTheLargest) {
    const std::vector<uint8_t> level0 = builtFile("tunnel0.raw");
    ASSERT_EQ(level0.size(), 8192u);
    struct Level {
        const char* name;
        int factor;
    };
    for (const Level level : {Level{"tunnel1.raw", 2}, Level{"tunnel2.raw", 4}}) {
        SCOPED_TRACE(level.name);
        const std::vector<uint8_t> reduced = builtFile(level.name);
        const int width = 128 / level.factor;
        const int height = 64 / level.factor;
        ASSERT_EQ(reduced.size(), static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int sum = 0;
                for (int j = 0; j < level.factor; ++j)
                    for (int i = 0; i < level.factor; ++i)
                        sum += level0[static_cast<size_t>((y * level.factor + j) * 128 +
                                                          x * level.factor + i)];
                const double mean = static_cast<double>(sum) / (level.factor * level.factor);
                ASSERT_NEAR(reduced[static_cast<size_t>(y * width + x)], mean, 0.5)
                    << x << "," << y;
            }
    }
}

// Mean absolute difference between two columns (or rows) of the picture, wrapping.
double columnStep(const std::vector<uint8_t>& p, int a, int b) {
    double sum = 0;
    for (int y = 0; y < 64; ++y)
        sum += std::abs(p[static_cast<size_t>(y * 128 + a)] - p[static_cast<size_t>(y * 128 + b)]);
    return sum / 64;
}
double rowStep(const std::vector<uint8_t>& p, int a, int b) {
    double sum = 0;
    for (int x = 0; x < 128; ++x)
        sum += std::abs(p[static_cast<size_t>(a * 128 + x)] - p[static_cast<size_t>(b * 128 + x)]);
    return sum / 128;
}

TEST(TunnelResource, TilesWithoutASeamInEitherDirection) {
    // The sampler wraps: the step from the last column to the first (and the last row to
    // the first) must look like any step inside the picture.
    const std::vector<uint8_t> p = builtFile("tunnel0.raw");
    ASSERT_EQ(p.size(), 8192u);
    double largestColumnStep = 0, largestRowStep = 0;
    for (int x = 0; x + 1 < 128; ++x)
        largestColumnStep = std::max(largestColumnStep, columnStep(p, x, x + 1));
    for (int y = 0; y + 1 < 64; ++y)
        largestRowStep = std::max(largestRowStep, rowStep(p, y, y + 1));
    EXPECT_LE(columnStep(p, 127, 0), largestColumnStep);
    EXPECT_LE(rowStep(p, 63, 0), largestRowStep);
    // Plates repeat around the tube: column x and column x + 16 look alike, and so across the
    // wrap.
    EXPECT_LT(columnStep(p, 120, 8), 0.25 * largestColumnStep + 16);
}

TEST(TunnelResource, HasStructureThatSurvivesTheReductions) {
    // Plates, grooves and rivets give strong contrast; averaging keeps the plates.
    struct Level {
        const char* name;
        double deviation;
        int range;
    };
    for (const Level level : {Level{"tunnel0.raw", 25.0, 150}, Level{"tunnel1.raw", 20.0, 100},
                              Level{"tunnel2.raw", 12.0, 60}}) {
        SCOPED_TRACE(level.name);
        const std::vector<uint8_t> p = builtFile(level.name);
        ASSERT_FALSE(p.empty());
        double mean = 0;
        for (uint8_t v : p) mean += v;
        mean /= static_cast<double>(p.size());
        double variance = 0;
        for (uint8_t v : p) variance += (v - mean) * (v - mean);
        EXPECT_GT(std::sqrt(variance / static_cast<double>(p.size())), level.deviation);
        const auto [low, high] = std::minmax_element(p.begin(), p.end());
        EXPECT_GT(*high - *low, level.range);
    }
}

TEST(BackdropResource, IsEightyByFiftyAndNotFlat) {
    const std::vector<uint8_t> p = builtFile("backdrop.raw");
    ASSERT_EQ(p.size(), 4000u);
    const auto [low, high] = std::minmax_element(p.begin(), p.end());
    EXPECT_GT(*high - *low, 60);
}

} // namespace
