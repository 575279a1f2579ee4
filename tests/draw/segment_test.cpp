// Layer::drawSegment and Layer::drawRing: coverages of the walk, the zero-coverage partner
// cells, the choice of axis, endpoint exchange, floors, and input that must draw nothing.
#include <cmath>
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "gfx/layer.h"
#include "test_grid.h"

namespace {

const Paint kOne{1.0f, 1.0f};

std::set<std::pair<int, int>> blended(const Layer& layer) {
    std::set<std::pair<int, int>> cells;
    for (int y = 0; y < layer.height; ++y) {
        for (int x = 0; x < layer.width; ++x) {
            if (at(layer, x, y).alpha != 0.0f) cells.insert({x, y});
        }
    }
    return cells;
}

TEST(DrawSegment, HorizontalCapsInteriorAndZeroCoveragePartners) {
    Layer layer = grid(10, 8);
    const Paint paint{1.0f, 0.8f};
    layer.drawSegment(paint, paint, kCount, 2.0f, 3.0f, 6.0f, 3.0f);
    const std::set<std::pair<int, int>> expected = {{2, 3}, {2, 4}, {3, 3}, {4, 3}, {5, 3},
                                                    {6, 3}, {3, 2}, {4, 2}, {5, 2}, {6, 2}};
    EXPECT_EQ(blended(layer), expected);
    EXPECT_FLOAT_EQ(at(layer, 2, 3).intensity, 0.4f);
    EXPECT_FLOAT_EQ(at(layer, 6, 3).intensity, 0.4f);
    for (int x = 3; x <= 5; ++x) EXPECT_FLOAT_EQ(at(layer, x, 3).intensity, 0.8f);
    EXPECT_EQ(at(layer, 2, 4).intensity, 0.0f);
    for (int x = 3; x <= 6; ++x) EXPECT_EQ(at(layer, x, 2).intensity, 0.0f);
    for (const auto& [x, y] : expected) EXPECT_EQ(at(layer, x, y).alpha, 1.0f); // each once
}

TEST(DrawSegment, OneColumnSplitsCoveredWidth) {
    Layer layer = grid(6, 6);
    layer.drawSegment(kOne, kOne, kCount, 2.1f, 3.3f, 2.4f, 3.5f);
    // Covered width 0.3; the line crosses the column's centre at y = 3.2333.
    EXPECT_EQ(blended(layer), (std::set<std::pair<int, int>>{{2, 3}, {2, 4}}));
    EXPECT_NEAR(at(layer, 2, 3).intensity, 0.23f, 1e-5f);
    EXPECT_NEAR(at(layer, 2, 4).intensity, 0.07f, 1e-5f);
}

TEST(DrawSegment, AxisChoiceAtSlopeOne) {
    Layer down = grid(4, 4); // slope -1 given left to right walks columns
    down.drawSegment(kOne, kOne, kCount, 0.0f, 1.0f, 1.0f, 0.0f);
    EXPECT_EQ(blended(down), (std::set<std::pair<int, int>>{{0, 1}, {0, 2}, {1, 0}, {1, 1}}));
    Layer up = grid(4, 4); // the same segment given the other way walks rows
    up.drawSegment(kOne, kOne, kCount, 1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(blended(up), (std::set<std::pair<int, int>>{{1, 0}, {2, 0}, {0, 1}, {1, 1}}));
    Layer diagonal = grid(4, 4); // slope +1 walks rows
    diagonal.drawSegment(kOne, kOne, kCount, 0.0f, 0.0f, 2.0f, 2.0f);
    EXPECT_EQ(blended(diagonal),
              (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 2}}));
}

TEST(DrawSegment, ExchangingEndpointsGivesSameWrites) {
    const float segments[][4] = {
        {1.2f, 1.7f, 8.4f, 3.1f}, {2.5f, 0.3f, 4.1f, 7.6f}, {8.8f, 1.1f, 0.4f, 6.2f},
        {3.3f, 7.9f, 5.5f, 0.2f}, {0.1f, 2.0f, 9.0f, 2.0f}, {-3.0f, -2.0f, 12.5f, 9.5f},
    };
    const Paint from{0.9f, 0.3f}, to{0.2f, 1.0f};
    const BlendCoefficients k{0.1f, 0.9f, 1.0f, -0.5f, 0.7f, 0.8f, 0.3f};
    for (const auto& s : segments) {
        Layer forward = grid(10, 8), backward = grid(10, 8);
        forward.drawSegment(from, to, k, s[0], s[1], s[2], s[3]);
        backward.drawSegment(to, from, k, s[2], s[3], s[0], s[1]);
        for (int i = 0; i < 80; ++i) {
            ASSERT_EQ(forward.cells[i].intensity, backward.cells[i].intensity) << s[0] << " " << i;
            ASSERT_EQ(forward.cells[i].alpha, backward.cells[i].alpha) << s[0] << " " << i;
        }
    }
}

TEST(DrawSegment, InterpolatesPaintAlongTheWalk) {
    Layer layer = grid(8, 4);
    // I' = value and A' = coverage of the last blend.
    layer.drawSegment(Paint{0.0f, 1.0f}, Paint{1.0f, 0.0f}, BlendCoefficients{1, 0, 0, 0, 1, 0, 0},
                      0.5f, 2.0f, 4.5f, 2.0f);
    const float values[] = {0.125f, 0.375f, 0.625f, 0.875f};
    const float coverages[] = {0.875f, 0.625f, 0.375f, 0.125f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(at(layer, i + 1, 2).intensity, values[i]) << i;
        EXPECT_EQ(at(layer, i + 1, 2).alpha, coverages[i]) << i;
    }
}

TEST(DrawSegment, NegativeCoordinatesFloor) {
    Layer layer = grid(6, 4);
    // x0 = -0.7 starts in column -1 (floor(-0.2)); column 0 is interior, with full coverage.
    layer.drawSegment(kOne, kOne, kCount, -0.7f, 2.0f, 3.0f, 2.0f);
    EXPECT_EQ(at(layer, 0, 2).intensity, 1.0f);
    EXPECT_EQ(at(layer, 0, 1).alpha, 1.0f);
    EXPECT_EQ(at(layer, 3, 2).intensity, 0.5f);
    Layer rows = grid(4, 6);
    rows.drawSegment(kOne, kOne, kCount, 2.0f, -0.7f, 2.0f, 3.0f);
    EXPECT_EQ(at(rows, 2, 0).intensity, 1.0f);
}

TEST(DrawSegment, HugeCoordinatesStayBoundedAndExact) {
    for (float far : {1e9f, 1e30f, 3e38f}) {
        Layer layer = grid(10, 6);
        layer.drawSegment(kOne, kOne, kCount, -far, 3.0f, far, 3.0f);
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(at(layer, x, 3).intensity, 1.0f) << far << " " << x;
            EXPECT_EQ(at(layer, x, 2).alpha, 1.0f) << far << " " << x;
        }
        Layer steep = grid(6, 10);
        steep.drawSegment(kOne, kOne, kCount, 3.0f, far, 3.5f, -far);
        for (int y = 0; y < 10; ++y) {
            EXPECT_NEAR(at(steep, 2, y).intensity + at(steep, 3, y).intensity +
                            at(steep, 4, y).intensity,
                        1.0f, 1e-5f);
        }
    }
    // A line y = x/4 + 2 from a million columns away matches the same line started nearby.
    Layer near = grid(40, 14), distant = grid(40, 14);
    near.drawSegment(kOne, kOne, kCount, -100.0f, -23.0f, 40.0f, 12.0f);
    distant.drawSegment(kOne, kOne, kCount, -1e6f, -249998.0f, 40.0f, 12.0f);
    for (int i = 0; i < 40 * 14; ++i) {
        ASSERT_NEAR(near.cells[i].intensity, distant.cells[i].intensity, 1e-3f) << i;
    }
}

TEST(DrawSegment, DegenerateAndNonFiniteDrawNothing) {
    const float nan = std::nanf(""), inf = INFINITY;
    const float cases[][4] = {
        {3.0f, 3.0f, 3.0f, 3.0f}, {2.7f, 1.2f, 2.7f, 1.2f}, {nan, 1.0f, 4.0f, 4.0f},
        {1.0f, nan, 4.0f, 4.0f},  {1.0f, 1.0f, inf, 4.0f},  {1.0f, 1.0f, 4.0f, -inf},
    };
    for (const auto& c : cases) {
        Layer layer = grid(8, 8);
        layer.drawSegment(kOne, kOne, kCount, c[0], c[1], c[2], c[3]);
        EXPECT_TRUE(blended(layer).empty()) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
    }
    Layer layer = grid(8, 8);
    layer.drawSegment(Paint{nan, 1.0f}, kOne, kCount, 1.0f, 1.0f, 5.0f, 4.0f);
    layer.drawSegment(kOne, Paint{1.0f, inf}, kCount, 1.0f, 1.0f, 5.0f, 4.0f);
    layer.drawRing(kOne, kCount, 4.0f, 4.0f, 0.0f, 0.0f);
    layer.drawRing(kOne, kCount, 4.0f, nan, 2.0f, 2.0f);
    layer.drawRing(kOne, kCount, 4.0f, 4.0f, inf, 2.0f);
    EXPECT_TRUE(blended(layer).empty());
    Layer empty;
    empty.drawSegment(kOne, kOne, kCount, 0.0f, 0.0f, 5.0f, 5.0f);
}

TEST(DrawRing, SixteenSegmentsFromTheRightmostPointDownwards) {
    const float cx = 20.3f, cy = 10.6f, rx = 9.6f, ry = 8.0f;
    // Non-commutative coefficients make the order of the joint writes visible.
    const BlendCoefficients k{0.2f, 0.7f, 1.0f, -0.4f, 0.5f, 0.9f, 0.1f};
    const Paint paint{0.8f, 0.6f};
    Layer ring = grid(40, 24), manual = grid(40, 24);
    ring.drawRing(paint, k, cx, cy, rx, ry);
    float px = cx + rx, py = cy;
    for (int side = 1; side <= 16; ++side) {
        const double angle = side * 3.14159265358979 / 8.0;
        const float nx = cx + rx * static_cast<float>(std::cos(angle));
        const float ny = cy + ry * static_cast<float>(std::sin(angle));
        manual.drawSegment(paint, paint, k, px, py, nx, ny);
        px = nx;
        py = ny;
    }
    for (int i = 0; i < 40 * 24; ++i) {
        ASSERT_NEAR(ring.cells[i].intensity, manual.cells[i].intensity, 1e-3f) << i;
        ASSERT_NEAR(ring.cells[i].alpha, manual.cells[i].alpha, 1e-3f) << i;
    }
    EXPECT_GT(at(ring, 30, 11).alpha, 0.0f); // the rightmost vertex lies in (30, 10..11)
}

} // namespace
