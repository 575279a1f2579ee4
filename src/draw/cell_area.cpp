// CellArea: unions, overlap and the reach of the drawing operations.
#include "draw/cell_area.h"

#include <cmath>

namespace {

// Far beyond any grid, yet far from the ends of the int32 range.
constexpr float kFar = 16777216.0f; // 2^24

int32_t pinnedFloor(float v) {
    const float f = std::floor(v);
    return static_cast<int32_t>(f < -kFar ? -kFar : (f > kFar ? kFar : f));
}

} // namespace

bool CellArea::overlaps(const CellArea& other) const {
    return !empty() && !other.empty() && left < other.right && other.left < right &&
           top < other.bottom && other.top < bottom;
}

void CellArea::add(const CellArea& other) {
    if (other.empty()) return;
    if (empty()) {
        *this = other;
        return;
    }
    if (other.left < left) left = other.left;
    if (other.top < top) top = other.top;
    if (other.right > right) right = other.right;
    if (other.bottom > bottom) bottom = other.bottom;
}

void CellArea::add(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return;
    add(CellArea{x, y, x + w, y + h});
}

CellArea CellArea::around(float x0, float y0, float x1, float y1) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return CellArea{};
    return CellArea{pinnedFloor(x0) - 2, pinnedFloor(y0) - 2, pinnedFloor(x1) + 3,
                    pinnedFloor(y1) + 3};
}
