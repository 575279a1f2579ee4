// Float-to-cell-index conversion shared by the segment and disc walks, and the bound on how
// far before the grid a walk is stepped exactly.
#pragma once

#include <cmath>
#include <cstdint>

// Positions are floored to an integer index; anything beyond +-2^40 cells (or infinite) is
// pinned there. No grid comes near that, so the pinned index is simply outside, and the
// conversion never sees a value an int64 cannot hold.
inline int64_t floorIndex(double position) {
    constexpr double kFar = 1099511627776.0; // 2^40
    const double f = std::floor(position);
    if (!(f > -kFar)) return -static_cast<int64_t>(kFar);
    if (f > kFar) return static_cast<int64_t>(kFar);
    return static_cast<int64_t>(f);
}

// A walk that starts more than this many cells before the grid's first column (or row) is
// resumed just before the grid with its state computed from the line instead of stepped:
// huge coordinates then cost a bounded number of steps. Nearer starts are stepped exactly,
// so every picture the demo draws comes out step for step.
constexpr int64_t kExactLead = 4096;
