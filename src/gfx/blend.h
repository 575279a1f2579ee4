// The pair-blend formula of the drawing operations, inline so that the rectangle and vector
// loops apply it without a call per cell. BlendCoefficients::blendPair is this formula.
#pragma once

#include "gfx/layer.h"

// I' = k0*v + k1*I + c*(k2*v + k3*I), A' = k4*c + k5*A + k6*v: double intermediates, one
// rounding to float per stored word, both from the old I and A.
inline void blendCell(LayerCell& cell, float value, float coverage, const BlendCoefficients& k) {
    const double v = value;
    const double c = coverage;
    const double i = cell.intensity;
    const double a = cell.alpha;
    cell.intensity = static_cast<float>(k.k0 * v + k.k1 * i + c * (k.k2 * v + k.k3 * i));
    cell.alpha = static_cast<float>(k.k4 * c + k.k5 * a + k.k6 * v);
}
