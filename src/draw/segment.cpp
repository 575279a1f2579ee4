// Anti-aliased segments (Wu's walk with fractional end caps) and the sixteen-sided rings
// built from them. All geometry is single precision; each cell write is the pair blend.
#include <algorithm>
#include <cmath>
#include <utility>

#include "draw/cell_index.h"
#include "gfx/blend.h"
#include "gfx/layer.h"

namespace {

// Cell writes of a walk along its major axis: columns (kRows false) or rows (kRows true).
template <bool kRows> struct WalkTarget {
    LayerCell* cells;
    int64_t width;
    int64_t height;
    const BlendCoefficients& k;

    int64_t majorExtent() const { return kRows ? height : width; }
    int64_t minorExtent() const { return kRows ? width : height; }

    // Cells outside the grid are skipped one by one; there is no other clipping.
    void blend(int64_t major, int64_t minor, float value, float coverage) const {
        const int64_t x = kRows ? minor : major;
        const int64_t y = kRows ? major : minor;
        if (x >= 0 && x < width && y >= 0 && y < height) {
            blendCell(cells[y * width + x], value, coverage, k);
        }
    }
};

// Walks from p0 to p1 (dp > 0) along the major axis; q is the minor coordinate, a and b the
// Paint's value and coverage, all advanced by one addition per step.
template <bool kRows>
void walk(const WalkTarget<kRows>& target, float p0, float q0, float p1, float dp, float dq,
          float a0, float da, float b0, float db) {
    const float inv = 1.0f / dp;
    const float grad = dq * inv;
    const float sa = da * inv;
    const float sb = db * inv;
    const float ps = std::floor(p0 + 0.5f);
    const float fs = (p0 + 0.5f) - ps;
    const float pe = std::floor(p1 + 0.5f);
    const float fe = (p1 + 0.5f) - pe;
    float q = q0 + grad * (0.5f - fs);
    float a = a0 + sa * (0.5f - fs);
    float b = b0 + sb * (0.5f - fs);
    // A minor position that is not finite never names a cell, and it stays so at every step.
    if (!std::isfinite(q)) return;

    const int64_t extent = target.majorExtent();
    const int64_t first = floorIndex(ps);
    const int64_t last = floorIndex(pe);
    if (last < 0 || first >= extent) return; // every step lies before or after the grid

    int64_t x = first;
    double minor = 0.0;
    float f = 0.0f;
    const bool resumed = first < -kExactLead && first != last;
    if (resumed) {
        // State after the step into column -1, from the line itself. The wrap rules keep f
        // in (0, 1] after a step, hence ceil - 1.
        x = -1;
        const double offset = static_cast<double>(x) - static_cast<double>(ps);
        const double qd = static_cast<double>(q) + static_cast<double>(grad) * offset;
        a = static_cast<float>(static_cast<double>(a) + static_cast<double>(sa) * offset);
        b = static_cast<float>(static_cast<double>(b) + static_cast<double>(sb) * offset);
        minor = std::ceil(qd) - 1.0;
        f = static_cast<float>(qd - minor);
    } else {
        minor = std::floor(q);
        f = q - static_cast<float>(minor);
    }
    // The minor index moves by at most one per step; a start too far off the grid to come
    // back within the remaining steps writes nothing.
    const double steps = static_cast<double>(std::min(last, extent) - x + 2);
    if (!(minor >= -2.0 * steps - 2.0 &&
          minor <= static_cast<double>(target.minorExtent()) + 2.0 * steps + 2.0)) {
        return;
    }
    int64_t row = static_cast<int64_t>(minor);

    if (first == last) {
        const float w = fe - fs;
        target.blend(x, row, a, (1.0f - f) * w * b);
        target.blend(x, row + 1, a, f * w * b);
        return;
    }
    if (!resumed) {
        const float g = 1.0f - fs;
        target.blend(x, row, a, (1.0f - f) * g * b);
        target.blend(x, row + 1, a, f * g * b);
    }
    for (;;) {
        f = f + grad;
        ++x;
        a = a + sa;
        b = b + sb;
        if (f >= 1.0f) {
            f = f - 1.0f;
            ++row;
        }
        if (f <= 0.0f) {
            f = f + 1.0f;
            --row;
        }
        if (x >= last) break;
        if (x >= extent) return; // the rest of the walk, end cap included, is past the grid
        target.blend(x, row, a, (1.0f - f) * b);
        target.blend(x, row + 1, a, f * b);
    }
    target.blend(last, row, a, (1.0f - f) * b * fe);
    target.blend(last, row + 1, a, f * b * fe);
}

bool allFinite(std::initializer_list<float> values) {
    for (float v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// The sixteen vertex directions of a ring: angles of pi/8 in single precision, accumulated
// by addition (the last vertex is not snapped back), worked out once for all rings.
struct RingTurn {
    float cosine[16];
    float sine[16];
};

const RingTurn kRingTurn = [] {
    constexpr float kStep = static_cast<float>(3.14159265358979323846 / 8.0);
    RingTurn turn{};
    float angle = 0.0f;
    for (int side = 0; side < 16; ++side) {
        angle = angle + kStep;
        turn.cosine[side] = std::cos(angle);
        turn.sine[side] = std::sin(angle);
    }
    return turn;
}();

} // namespace

// Non-finite coordinates or Paints draw nothing. Coincident endpoints draw nothing either:
// the walk's minor coordinate would be 0/0 at its only step.
void Layer::drawSegment(const Paint& from, const Paint& to, const BlendCoefficients& k, float x0,
                        float y0, float x1, float y1) {
    if (!cells || width <= 0 || height <= 0) return;
    float a0 = from.value, b0 = from.coverage, a1 = to.value, b1 = to.coverage;
    if (!allFinite({x0, y0, x1, y1, a0, b0, a1, b1})) return;
    float dx = x1 - x0, dy = y1 - y0, da = a1 - a0, db = b1 - b0;
    // Walk towards increasing x or y: exchange the ends (with their Paints) when dx + dy < 0.
    if (dx < -dy) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(a0, a1);
        std::swap(b0, b1);
        dx = -dx;
        dy = -dy;
        da = -da;
        db = -db;
    }
    if (dx == 0.0f && dy == 0.0f) return;
    if (dy < dx) {
        const WalkTarget<false> target{cells.get(), width, height, k};
        walk(target, x0, y0, x1, dx, dy, a0, da, b0, db);
    } else {
        const WalkTarget<true> target{cells.get(), width, height, k};
        walk(target, y0, x0, y1, dy, dx, a0, da, b0, db);
    }
}

void Layer::drawRing(const Paint& paint, const BlendCoefficients& k, float cx, float cy, float rx,
                     float ry) {
    if (!allFinite({cx, cy, rx, ry})) return;
    float px = cx + rx;
    float py = cy;
    for (int side = 1; side <= 16; ++side) {
        const float nx = cx + rx * kRingTurn.cosine[side - 1];
        const float ny = cy + ry * kRingTurn.sine[side - 1];
        drawSegment(paint, paint, k, px, py, nx, ny);
        px = nx;
        py = ny;
    }
}
