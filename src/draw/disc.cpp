// Anti-aliased filled ellipses, scanned row by row from the top and left to right within a
// row. Border cells get the share that a piecewise-linear model of the border claims.
#include <algorithm>
#include <cmath>

#include "draw/cell_index.h"
#include "gfx/blend.h"
#include "gfx/layer.h"

namespace {

// One row of the target and the Paint blended into it.
struct DiscRow {
    LayerCell* cells; // the row's first cell
    int64_t width;
    float a; // Paint value, the same for every cell
    float b; // Paint coverage, scaling every geometric share
    const BlendCoefficients& k;

    void blend(int64_t x, float coverage) const {
        if (x >= 0 && x < width) blendCell(cells[x], a, coverage, k);
    }
};

// Half-width of the horizontal chord at height y. A boundary that rounding puts a hair past
// the ellipse's end gets 0 rather than the square root of a negative number, and radii so
// large (or small) that ry^2 leaves the float range fall back to (d / ry)^2.
struct Chord {
    float cyp, rx, ry, ry2;

    float at(float y) const {
        const float d = y - cyp;
        const float dd = d * d;
        float ratio = 0.0f;
        if (std::isnormal(ry2) && std::isfinite(dd)) {
            ratio = dd / ry2;
        } else {
            const float s = d / ry;
            ratio = s * s;
        }
        const float inside = 1.0f - ratio;
        return inside > 0.0f ? rx * std::sqrt(inside) : 0.0f;
    }
};

// Top or bottom row: a tent rising from 0 at L with slope k = h / w and falling to 0 at R.
void capRow(const DiscRow& row, float cxp, float w, float h) {
    const float k = h / w;
    const float left = cxp - w;
    const float right = cxp + w;
    const int64_t xl = floorIndex(left);
    const int64_t xc = floorIndex(cxp);
    const int64_t xr = floorIndex(right);
    if (xl == xr) return;
    const float b = row.b;
    const float t = static_cast<float>(xl + 1) - left;
    const float firstHeight = k * t;
    row.blend(xl, 0.5f * t * firstHeight * b);

    int64_t x = xl + 1;
    float g = firstHeight;
    float n = firstHeight + k;
    if (x < xc && x < -kExactLead) {
        x = std::min<int64_t>(xc, 0);
        g = k * (static_cast<float>(x) - left);
        n = g + k;
    }
    for (; x < xc; ++x) {
        if (x >= row.width) return;
        row.blend(x, 0.5f * (g + n) * b);
        g = n;
        n = n + k;
    }
    if (x >= row.width) return;
    const float xf = static_cast<float>(x);
    const float p = g + k * (cxp - xf) - k * ((xf + 1.0f) - cxp);
    row.blend(x, 0.5f * (g + p) * b);
    g = p;
    n = p - k;
    ++x;
    if (x < xr && x < -kExactLead) {
        x = std::min<int64_t>(xr, 0);
        g = k * (right - static_cast<float>(x));
        n = g - k;
    }
    for (; x < xr; ++x) {
        if (x >= row.width) return;
        row.blend(x, 0.5f * (g + n) * b);
        g = n;
        n = n - k;
    }
    row.blend(x, 0.5f * (right - static_cast<float>(x)) * g * b);
}

// A row between the caps: coverage rises over [Lo, Li], is full up to Ri, falls over
// [Ri, Ro]; wt and wb are the chords at the row's upper and lower boundaries.
void middleRow(const DiscRow& row, float cxp, float wt, float wb) {
    const float wide = wb > wt ? wb : wt;
    const float narrow = wb > wt ? wt : wb;
    const float k = 1.0f / (wide - narrow); // infinite when equal; both edges are then single cells
    const float lo = cxp - wide;
    const float li = cxp - narrow;
    const float ri = cxp + narrow;
    const float ro = cxp + wide;
    const int64_t xLo = floorIndex(lo);
    const int64_t xLi = floorIndex(li);
    const int64_t xRi = floorIndex(ri);
    const int64_t xRo = floorIndex(ro);
    const float b = row.b;

    int64_t x = xLo;
    if (xLo == xLi) {
        row.blend(xLo, (static_cast<float>(xLo + 1) - (lo + li) / 2.0f) * b);
    } else {
        const float t = static_cast<float>(xLo + 1) - lo;
        const float firstHeight = k * t;
        row.blend(xLo, 0.5f * t * firstHeight * b);
        x = xLo + 1;
        float g = firstHeight;
        float n = firstHeight + k;
        if (x < xLi && x < -kExactLead) {
            x = std::min<int64_t>(xLi, 0);
            g = k * (static_cast<float>(x) - lo);
            n = g + k;
        }
        for (; x < xLi; ++x) {
            if (x >= row.width) return;
            row.blend(x, 0.5f * (g + n) * b);
            g = n;
            n = n + k;
        }
        row.blend(x, (1.0f - 0.5f * (li - static_cast<float>(x)) * g) * b);
    }

    // Interior cells take the full coverage; no state is carried, so it clips exactly.
    x = x + 1;
    if (x < xRi) {
        const int64_t end = std::min(xRi, row.width);
        for (int64_t i = std::max<int64_t>(x, 0); i < end; ++i) row.blend(i, b);
        if (xRi >= row.width) return;
        x = xRi;
    }

    if (xRi == xRo) {
        row.blend(x, ((ro + ri) / 2.0f - static_cast<float>(x)) * b);
        return;
    }
    const float t = static_cast<float>(x + 1) - ri;
    const float firstHeight = 1.0f - k * t;
    row.blend(x, (1.0f - 0.5f * t * firstHeight) * b);
    ++x;
    float g = firstHeight;
    float n = firstHeight - k;
    if (x < xRo && x < -kExactLead) {
        x = std::min<int64_t>(xRo, 0);
        g = 1.0f - k * (static_cast<float>(x) - ri);
        n = g - k;
    }
    for (; x < xRo; ++x) {
        if (x >= row.width) return;
        row.blend(x, 0.5f * (g + n) * b);
        g = n;
        n = n - k;
    }
    row.blend(x, 0.5f * (ro - static_cast<float>(x)) * g * b);
}

} // namespace

// Non-finite input, ry <= 0 or rx < 0 draws nothing. Rows outside the grid are skipped
// whole: each row depends only on its own two boundary chords, so that clipping is exact.
void Layer::drawDisc(const Paint& paint, const BlendCoefficients& k, float cx, float cy, float rx,
                     float ry) {
    if (!cells || width <= 0 || height <= 0) return;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(rx) || !std::isfinite(ry) ||
        !std::isfinite(paint.value) || !std::isfinite(paint.coverage)) {
        return;
    }
    if (!(ry > 0.0f) || rx < 0.0f) return;

    const float cxp = cx + 0.5f;
    const float cyp = cy + 0.5f;
    const float top = cyp - ry;
    const float bottom = cyp + ry;
    const int64_t ty = floorIndex(top);
    const int64_t by = floorIndex(bottom);
    if (ty >= by) return; // within one row
    const Chord chord{cyp, rx, ry, ry * ry};
    const int64_t rows = height;
    auto rowAt = [&](int64_t r) {
        return DiscRow{cells.get() + r * static_cast<int64_t>(width), width, paint.value,
                       paint.coverage, k};
    };

    if (ty >= 0 && ty < rows) {
        capRow(rowAt(ty), cxp, chord.at(static_cast<float>(ty + 1)),
               static_cast<float>(ty + 1) - top);
    }
    const int64_t firstMiddle = std::max<int64_t>(ty + 1, 0);
    const int64_t lastMiddle = std::min<int64_t>(by - 1, rows - 1);
    if (firstMiddle <= lastMiddle) {
        float upper = chord.at(static_cast<float>(firstMiddle));
        for (int64_t r = firstMiddle; r <= lastMiddle; ++r) {
            const float lower = chord.at(static_cast<float>(r + 1));
            middleRow(rowAt(r), cxp, upper, lower);
            upper = lower;
        }
    }
    if (by >= 0 && by < rows) {
        capRow(rowAt(by), cxp, chord.at(static_cast<float>(by)), bottom - static_cast<float>(by));
    }
}
