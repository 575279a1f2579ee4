// CellArea: unions and overlap at the edges, and the reach of the drawing operations that
// `around` promises: no segment, ring or disc writes a cell outside it.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "draw/cell_area.h"
#include "gfx/layer.h"
#include "test_grid.h"

namespace {

bool same(const CellArea& a, const CellArea& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(CellArea, AddGrowsToHoldBothAndAnEmptyOneAddsNothing) {
    struct Case {
        CellArea start;
        CellArea added;
        CellArea want;
    };
    const Case cases[] = {
        {{}, {2, 3, 5, 7}, {2, 3, 5, 7}},               // into an empty area
        {{2, 3, 5, 7}, {}, {2, 3, 5, 7}},               // nothing added
        {{2, 3, 5, 7}, {6, 6, 6, 9}, {2, 3, 5, 7}},     // zero width: empty
        {{2, 3, 5, 7}, {-4, 5, 1, 20}, {-4, 3, 5, 20}}, // disjoint
        {{0, 0, 80, 50}, {10, 10, 20, 20}, {0, 0, 80, 50}},
    };
    for (const Case& c : cases) {
        CellArea area = c.start;
        area.add(c.added);
        EXPECT_TRUE(same(area, c.want))
            << area.left << " " << area.top << " " << area.right << " " << area.bottom;
    }
    CellArea area;
    area.add(4, 5, 0, 3);
    EXPECT_TRUE(area.empty());
    area.add(4, 5, 2, 3);
    EXPECT_TRUE(same(area, CellArea{4, 5, 6, 8}));
}

TEST(CellArea, OverlapNeedsASharedCell) {
    const CellArea screen{0, 0, 80, 50};
    struct Case {
        CellArea other;
        bool overlaps;
    };
    const Case cases[] = {
        {{79, 49, 90, 60}, true},  // the last cell
        {{80, 0, 90, 50}, false},  // touching the right edge
        {{0, 50, 80, 60}, false},  // touching the bottom
        {{-5, -5, 1, 1}, true},    // the first cell
        {{-5, -5, 0, 10}, false},  // touching the left edge
        {{10, 10, 10, 20}, false}, // empty
    };
    for (const Case& c : cases) {
        EXPECT_EQ(screen.overlaps(c.other), c.overlaps) << c.other.left << "," << c.other.top;
        EXPECT_EQ(c.other.overlaps(screen), c.overlaps) << c.other.left << "," << c.other.top;
    }
}

TEST(CellArea, AroundFloorsPinsAndRefusesNonFiniteInput) {
    EXPECT_TRUE(same(CellArea::around(3.5f, -0.5f, 7.0f, 2.9f), CellArea{1, -3, 10, 5}));
    const CellArea far = CellArea::around(-1e30f, 0.0f, 1e30f, 0.0f);
    EXPECT_TRUE(far.left < -16000000 && far.right > 16000000);
    EXPECT_FALSE(far.empty());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(CellArea::around(nan, 0.0f, 1.0f, 1.0f).empty());
    EXPECT_TRUE(CellArea::around(0.0f, 0.0f, inf, 1.0f).empty());
}

// Drawings of every shape and slope at fractional places, some across the grid's edges.
TEST(CellArea, AroundHoldsEveryCellASegmentRingOrDiscWrites) {
    uint32_t seed = 7;
    const auto next = [&seed](float from, float to) {
        seed = seed * 1664525u + 1013904223u;
        return from + (to - from) * static_cast<float>(seed >> 8) / 16777216.0f;
    };
    const Paint paint{1.0f, 0.5f};
    for (int shape = 0; shape < 600; ++shape) {
        Layer layer = grid(40, 30);
        const float x = next(-6.0f, 46.0f), y = next(-6.0f, 36.0f);
        CellArea area;
        if (shape % 3 == 0) {
            const float x1 = next(-6.0f, 46.0f), y1 = next(-6.0f, 36.0f);
            layer.drawSegment(paint, paint, kCount, x, y, x1, y1);
            area = CellArea::around(std::fmin(x, x1), std::fmin(y, y1), std::fmax(x, x1),
                                    std::fmax(y, y1));
        } else {
            const float ry = next(0.05f, 12.0f), rx = ry * next(0.2f, 2.5f);
            if (shape % 3 == 1) {
                layer.drawRing(paint, kCount, x, y, rx, ry);
            } else {
                layer.drawDisc(paint, kCount, x, y, rx, ry);
            }
            area = CellArea::around(x - rx, y - ry, x + rx, y + ry);
        }
        for (int cy = 0; cy < 30; ++cy) {
            for (int cx = 0; cx < 40; ++cx) {
                if (at(layer, cx, cy).alpha == 0.0f) continue;
                ASSERT_TRUE(area.overlaps(CellArea{cx, cy, cx + 1, cy + 1}))
                    << "shape " << shape << " writes " << cx << "," << cy;
            }
        }
    }
}

} // namespace
