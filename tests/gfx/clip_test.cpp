// The two clipping rules at every edge, including the worked examples and extreme values.
#include <climits>

#include <gtest/gtest.h>

#include "gfx/clip.h"

namespace {

struct Size {
    int32_t width, height;
};

struct RectCase {
    const char* name;
    int32_t x, y, w, h;
    bool nonEmpty;
    int32_t ex, ey, ew, eh; // expected when non-empty
};

TEST(ClipRect, Edges) {
    const Size grid{80, 50};
    const RectCase cases[] = {
        {"inside", 3, 4, 10, 5, true, 3, 4, 10, 5},
        {"left overhang", -3, 0, 5, 1, true, 0, 0, 2, 1},
        {"top overhang", 0, -2, 1, 5, true, 0, 0, 1, 3},
        {"right overhang", 75, 0, 10, 1, true, 75, 0, 5, 1},
        {"bottom overhang", 0, 45, 1, 10, true, 0, 45, 1, 5},
        {"whole grid and more", -1, -1, 100, 100, true, 0, 0, 80, 50},
        {"last column", 79, 49, 1, 1, true, 79, 49, 1, 1},
        {"x at width", 80, 0, 5, 5, false, 0, 0, 0, 0},
        {"y at height", 0, 50, 5, 5, false, 0, 0, 0, 0},
        {"entirely left", -5, 0, 5, 5, false, 0, 0, 0, 0},
        {"zero width", 0, 0, 0, 5, false, 0, 0, 0, 0},
        {"negative height", 0, 0, 5, -1, false, 0, 0, 0, 0},
        {"extreme origin", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, false, 0, 0, 0, 0},
        {"extreme extent", 10, 10, INT32_MAX, INT32_MAX, true, 10, 10, 70, 40},
        {"far right", INT32_MAX, 0, INT32_MAX, 1, false, 0, 0, 0, 0},
    };
    for (const RectCase& c : cases) {
        int32_t x = c.x, y = c.y, w = c.w, h = c.h;
        const bool result = clipRect(grid, x, y, w, h);
        EXPECT_EQ(result, c.nonEmpty) << c.name;
        if (c.nonEmpty) {
            EXPECT_EQ(x, c.ex) << c.name;
            EXPECT_EQ(y, c.ey) << c.name;
            EXPECT_EQ(w, c.ew) << c.name;
            EXPECT_EQ(h, c.eh) << c.name;
        }
    }
}

struct BlitCase {
    const char* name;
    Size dest, source;
    int32_t sx, sy, dx, dy, w, h;
    bool nonEmpty;
    int32_t esx, esy, edx, edy, ew, eh;
};

TEST(ClipBlit, Edges) {
    const Size big{200, 200}, screen{80, 50}, scratch{128, 64}, small{4, 3};
    const BlitCase cases[] = {
        // A negative source origin shifts the destination by the same amount.
        {"source left", big, big, -2, 0, 5, 0, 10, 1, true, 0, 0, 7, 0, 8, 1},
        {"dest left", big, big, 0, 0, -3, 0, 10, 1, true, 3, 0, 0, 0, 7, 1},
        {"source top", big, big, 0, -4, 0, 6, 1, 10, true, 0, 0, 0, 10, 1, 6},
        {"dest top", big, big, 0, 0, 0, -4, 1, 10, true, 0, 4, 0, 0, 1, 6},
        {"both left", big, big, -2, 0, -5, 0, 10, 1, true, 3, 0, 0, 0, 5, 1},
        {"scratch onto screen", screen, scratch, 0, 0, 0, 0, 128, 64, true, 0, 0, 0, 0, 80, 50},
        {"source right edge", big, small, 2, 0, 0, 0, 10, 1, true, 2, 0, 0, 0, 2, 1},
        {"source bottom edge", big, small, 0, 1, 0, 0, 1, 10, true, 0, 1, 0, 0, 1, 2},
        {"dest right edge", screen, big, 0, 0, 78, 0, 10, 1, true, 0, 0, 78, 0, 2, 1},
        {"dest bottom edge", screen, big, 0, 0, 0, 48, 1, 10, true, 0, 0, 0, 48, 1, 2},
        {"offset 10,5", screen, screen, 0, 0, 10, 5, 80, 50, true, 0, 0, 10, 5, 70, 45},
        {"source past end", big, small, 4, 0, 0, 0, 5, 1, false, 0, 0, 0, 0, 0, 0},
        {"dest past end", screen, big, 0, 0, 80, 0, 5, 1, false, 0, 0, 0, 0, 0, 0},
        {"shift leaves nothing", big, big, -10, 0, 0, 0, 10, 1, false, 0, 0, 0, 0, 0, 0},
        {"extreme", screen, screen, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX,
         INT32_MAX, false, 0, 0, 0, 0, 0, 0},
        {"extreme dest shift", screen, screen, INT32_MIN, 0, INT32_MAX, 0, INT32_MAX, 1, false, 0,
         0, 0, 0, 0, 0},
    };
    for (const BlitCase& c : cases) {
        int32_t sx = c.sx, sy = c.sy, dx = c.dx, dy = c.dy, w = c.w, h = c.h;
        const bool result = clipBlit(c.dest, c.source, sx, sy, dx, dy, w, h);
        EXPECT_EQ(result, c.nonEmpty) << c.name;
        if (c.nonEmpty) {
            EXPECT_EQ(sx, c.esx) << c.name;
            EXPECT_EQ(sy, c.esy) << c.name;
            EXPECT_EQ(dx, c.edx) << c.name;
            EXPECT_EQ(dy, c.edy) << c.name;
            EXPECT_EQ(w, c.ew) << c.name;
            EXPECT_EQ(h, c.eh) << c.name;
        }
    }
}

} // namespace
