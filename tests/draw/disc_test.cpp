// Layer::drawDisc: full interior cells, the cap-row tent, equal chords at an integer centre
// row, floors of negative positions, clipping, and input that must draw nothing.
#include <cmath>

#include <gtest/gtest.h>

#include "gfx/layer.h"
#include "test_grid.h"

namespace {

const BlendCoefficients kAdd{0, 1, 1, 0, 1, 1, 0}; // I += a*c, A += c

int blendCount(const Layer& layer) {
    int count = 0;
    for (int i = 0; i < layer.width * layer.height; ++i) count += layer.cells[i].alpha != 0.0f;
    return count;
}

TEST(DrawDisc, MiddleRowInteriorGainsExactlyAB) {
    // Centre (20.5, 10.5) after the half-cell shift, rx 6, ry 5: rows 5 to 15.
    Layer layer = grid(40, 20);
    layer.drawDisc(Paint{0.75f, 0.5f}, kAdd, 20.0f, 10.0f, 6.0f, 5.0f);
    struct Interior {
        int row, first, last; // from the narrower chord of the row, 6*sqrt(1 - d^2/25)
    };
    const Interior rows[] = {{6, 18, 22}, {8, 16, 24}, {10, 15, 25}, {14, 18, 22}};
    for (const Interior& r : rows) {
        for (int x = r.first; x <= r.last; ++x) {
            EXPECT_EQ(at(layer, x, r.row).intensity, 0.375f) << x << "," << r.row;
            EXPECT_EQ(at(layer, x, r.row).alpha, 0.5f) << x << "," << r.row;
        }
        EXPECT_LT(at(layer, r.first - 1, r.row).alpha, 0.5f);
        EXPECT_LT(at(layer, r.last + 1, r.row).alpha, 0.5f);
    }
    for (int x = 0; x < 40; ++x) {
        for (int y : {0, 4, 16, 19}) EXPECT_EQ(at(layer, x, y).alpha, 0.0f) << x << "," << y;
    }
}

TEST(DrawDisc, IntegerCentreRowUsesAverageEdges) {
    Layer layer = grid(40, 20);
    layer.drawDisc(Paint{1.0f, 1.0f}, kAdd, 20.0f, 10.0f, 6.0f, 5.0f);
    // Row 10 spans y = 10..11 around the centre 10.5: both chords are 6*sqrt(0.99) = 5.96992,
    // so each edge is a single cell covered by the edge position's distance to its far side.
    const float edge = static_cast<float>(15.0 - (20.5 - 6.0 * std::sqrt(0.99)));
    EXPECT_NEAR(at(layer, 14, 10).alpha, edge, 2e-6f);
    EXPECT_NEAR(at(layer, 26, 10).alpha, edge, 2e-6f);
    EXPECT_EQ(at(layer, 13, 10).alpha, 0.0f);
    EXPECT_EQ(at(layer, 27, 10).alpha, 0.0f);
}

TEST(DrawDisc, TwoRowDiscIsTwoCapRows) {
    // Centre (10.5, 5.0) after the shift, ry 0.5: rows 4 and 5, both with chord rx = 2 at
    // y = 5 and height 0.5, so the tent rises with slope 0.25 from 8.5 to its peak at 10.5.
    Layer layer = grid(20, 10);
    layer.drawDisc(Paint{1.0f, 1.0f}, kCount, 10.0f, 4.5f, 2.0f, 0.5f);
    const float expected[] = {0.03125f, 0.25f, 0.375f, 0.25f, 0.03125f}; // columns 8 to 12
    for (int y : {4, 5}) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(at(layer, 8 + i, y).intensity, expected[i]) << i;
    }
    EXPECT_EQ(blendCount(layer), 10);
}

TEST(DrawDisc, NegativePositionsFloor) {
    // As above moved left: the chord starts at x = -0.25, which lies in column -1.
    Layer layer = grid(20, 10);
    layer.drawDisc(Paint{1.0f, 1.0f}, kCount, 1.25f, 4.5f, 2.0f, 0.5f);
    const float expected[] = {0.1875f, 0.375f, 0.3125f, 0.0703125f}; // columns 0 to 3
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(layer, i, 4).intensity, expected[i]) << i;
}

TEST(DrawDisc, CellsOutsideTheGridAreSkipped) {
    // A disc over the top-left corner writes what the same disc, drawn 5 cells further in
    // on a bigger grid, writes in the overlapping part.
    const Paint paint{0.6f, 0.9f};
    Layer clipped = grid(12, 10), whole = grid(24, 20);
    clipped.drawDisc(paint, kAdd, 1.3f, 0.8f, 6.0f, 5.0f);
    whole.drawDisc(paint, kAdd, 6.3f, 5.8f, 6.0f, 5.0f);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            EXPECT_NEAR(at(clipped, x, y).alpha, at(whole, x + 5, y + 5).alpha, 1e-5f)
                << x << "," << y;
        }
    }
    Layer far = grid(12, 10);
    far.drawDisc(paint, kAdd, -40.0f, 50.0f, 6.0f, 5.0f);
    EXPECT_EQ(blendCount(far), 0);
}

TEST(DrawDisc, HugeDiscsStayBounded) {
    // The grid lies deep inside: every cell is interior and gains exactly the coverage.
    for (float radius : {1e6f, 1e20f, 3e38f}) {
        Layer layer = grid(16, 8);
        layer.drawDisc(Paint{1.0f, 0.5f}, kAdd, 8.0f, 4.0f, radius, radius);
        for (int i = 0; i < 16 * 8; ++i)
            ASSERT_EQ(layer.cells[i].alpha, 0.5f) << radius << " " << i;
    }
    // The top cap row of a disc a million cells wide: the grid lies on the rising side of
    // the tent, which starts 865,925 columns to the left; coverage is k * (x + 0.5 - L).
    Layer cap = grid(16, 8);
    cap.drawDisc(Paint{1.0f, 1.0f}, kAdd, 100.0f, 2.5f, 1e6f, 2.0f);
    const double w = 1e6 * std::sqrt(0.75), left = 100.5 - w;
    for (int x = 0; x < 16; ++x) EXPECT_NEAR(at(cap, x, 1).alpha, (x + 0.5 - left) / w, 1e-5) << x;
    Layer edge = grid(16, 8); // a huge disc whose left edge crosses the grid
    edge.drawDisc(Paint{1.0f, 0.5f}, kAdd, 1e7f + 7.3f, 4.0f, 1e7f, 1e7f);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(at(edge, 0, y).alpha, 0.0f);
        EXPECT_EQ(at(edge, 15, y).alpha, 0.5f);
    }
}

TEST(DrawDisc, DegenerateAndNonFiniteDrawNothing) {
    const float nan = std::nanf(""), inf = INFINITY;
    struct Case {
        float cx, cy, rx, ry;
    };
    const Case cases[] = {
        {5.0f, 3.2f, 4.0f, 0.2f}, // within one row
        {5.0f, 5.0f, 4.0f, 0.0f}, {5.0f, 5.0f, 4.0f, -2.0f}, {5.0f, 5.0f, -4.0f, 2.0f},
        {nan, 5.0f, 4.0f, 3.0f},  {5.0f, inf, 4.0f, 3.0f},   {5.0f, 5.0f, nan, 3.0f},
        {5.0f, 5.0f, 4.0f, inf},
    };
    for (const Case& c : cases) {
        Layer layer = grid(12, 12);
        layer.drawDisc(Paint{1.0f, 1.0f}, kCount, c.cx, c.cy, c.rx, c.ry);
        EXPECT_EQ(blendCount(layer), 0) << c.cx << " " << c.cy << " " << c.rx << " " << c.ry;
    }
    Layer layer = grid(12, 12);
    layer.drawDisc(Paint{nan, 1.0f}, kCount, 5.0f, 5.0f, 4.0f, 3.0f);
    layer.drawDisc(Paint{1.0f, -inf}, kCount, 5.0f, 5.0f, 4.0f, 3.0f);
    EXPECT_EQ(blendCount(layer), 0);
}

} // namespace
