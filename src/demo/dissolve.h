// The opening dissolve: the start-up screen of grey dots, blanked about 1,600 cells per
// second in a fixed, locally shuffled order that sweeps from the top of the screen down.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/cell.h"

struct DissolveEffect {
    CellImage picture;                // the dots, width x height
    std::unique_ptr<int32_t[]> order; // permutation of the cell indices: the blanking order
    int32_t cellCount = 0;            // width x height

    // Creates picture and the order, drawing 40,000 NextRandom numbers for the shuffle.
    // False when an allocation fails.
    bool create(int32_t width, int32_t height);

    // Redraws picture for demo time t (seconds): grey dots, with the first
    // cellCount x t x 0.4 cells of the order (at most cellCount - 1) turned into spaces.
    void step(float t);

    // Frees order, then picture. Safe when partly created.
    void release();
};
