// The dissolve: its blanking order and how many cells each demo time blanks.
#include <cmath>
#include <limits>
#include <vector>

#include "demo_test_support.h"

namespace {

constexpr Cell kBlank{' ', 0x07};

class Dissolve : public ::testing::Test {
  protected:
    void SetUp() override {
        RandomState = 1;
        ASSERT_TRUE(dissolve.create(80, 50));
    }
    DissolveEffect dissolve;
};

TEST_F(Dissolve, OrderIsAPermutationOfTheCells) {
    ASSERT_EQ(dissolve.cellCount, 4000);
    std::vector<int> seen(4000, 0);
    for (int i = 0; i < 4000; ++i) {
        ASSERT_GE(dissolve.order[i], 0);
        ASSERT_LT(dissolve.order[i], 4000);
        ++seen[static_cast<size_t>(dissolve.order[i])];
    }
    for (int i = 0; i < 4000; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], 1) << i;
}

TEST_F(Dissolve, BlankedCountFollowsTheTime) {
    struct Case {
        float t;
        int blanks;
    };
    const Case cases[] = {
        {0.0f, 0},
        {0.0006f, 0}, // 0.96 cells: none yet
        {0.0007f, 1}, // 1.12 cells
        {0.01f, 15},  // 0.01 as a float is just below it: 15.9999996 cells
        {1.0f, 1600},
        {2.0f, 3200},
        {2.4990f, 3998}, // 3998.4
        {2.5f, 3999},    // held one short of all cells
        {2.59f, 3999},
        {1000.0f, 3999},
        {-1.0f, 0},
        {std::numeric_limits<float>::infinity(), 3999},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        dissolve.step(c.t);
        EXPECT_EQ(countCells(dissolve.picture, kBlank), c.blanks);
        EXPECT_EQ(countCells(dissolve.picture, kStartDot), 4000 - c.blanks);
    }
}

TEST_F(Dissolve, BlanksTheCellsAtTheHeadOfTheOrderAndKeepsTheLastOne) {
    dissolve.step(1.0f);
    for (int i = 0; i < 4000; ++i) {
        const Cell& cell = dissolve.picture.cells[dissolve.order[i]];
        EXPECT_EQ(cell.character, i < 1600 ? ' ' : '.') << i;
        EXPECT_EQ(cell.attribute, 0x07);
    }
    dissolve.step(2.5f);
    EXPECT_EQ(dissolve.picture.cells[dissolve.order[3999]].character, '.');
}

TEST_F(Dissolve, SweepsFromTheTopDown) {
    // Each swap reaches at most 500 places forward, so the order stays near reading order:
    // after one second (1,600 cells, 20 rows' worth) the top rows are mostly blank and the
    // bottom rows mostly still dotted.
    dissolve.step(1.0f);
    const auto blanksInRows = [&](int first, int last) {
        int blanks = 0;
        for (int i = first * 80; i < (last + 1) * 80; ++i)
            blanks += dissolve.picture.cells[i].character == ' ';
        return blanks;
    };
    EXPECT_GT(blanksInRows(0, 9), 600);
    EXPECT_LT(blanksInRows(40, 49), 80);
    EXPECT_GT(blanksInRows(10, 19), blanksInRows(20, 29));
}

TEST_F(Dissolve, EachStepRedrawsThePictureSoASeekBackRestoresDots) {
    dissolve.step(2.0f);
    dissolve.step(0.5f);
    EXPECT_EQ(countCells(dissolve.picture, kBlank), 800);
}

} // namespace
