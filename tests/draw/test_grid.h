// Helpers shared by the drawing tests: a fresh zeroed grid, a cell by position, and the
// coefficients under which a blend of value 1 leaves a countable trace.
#pragma once

#include <gtest/gtest.h>

#include "gfx/layer.h"

// With Paint value 1: intensity sums the cell coverages, alpha counts the blends, so a
// blend of zero coverage still shows.
inline const BlendCoefficients kCount{0, 1, 1, 0, 0, 1, 1};

inline Layer grid(int w, int h) {
    Layer layer;
    EXPECT_TRUE(layer.create(w, h));
    return layer;
}

inline const LayerCell& at(const Layer& layer, int x, int y) {
    return layer.cells[y * layer.width + x];
}
