// The nearest-colour searches against an exhaustive search of the xterm palette.
#include <gtest/gtest.h>

#include <vector>

#include "console/classic_colors.h"

namespace {

// The plain search the quick one must agree with, lower index first on a tie.
uint8_t searchAllOf256(Rgb c) {
    uint32_t best = 0, bestDistance = ~0u;
    for (uint32_t i = 16; i < 256; ++i) {
        const Rgb x = xterm256Color(static_cast<uint8_t>(i));
        const int dr = c.r - x.r, dg = c.g - x.g, db = c.b - x.b;
        const uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<uint8_t>(best);
}

TEST(ClassicColors, Nearest256AgreesWithSearchingEveryEntry) {
    // Every eighth value, and both sides of each halfway point between cube levels and
    // between grey steps, where ties and near-ties decide.
    std::vector<int> values;
    for (int v = 0; v < 256; v += 8) values.push_back(v);
    for (int v : {47, 48, 115, 116, 155, 156, 195, 196, 235, 236, 255}) values.push_back(v);
    for (int v = 13; v < 250; v += 10) values.push_back(v);
    for (int r : values) {
        for (int g : values) {
            for (int b : values) {
                const Rgb c{static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                            static_cast<uint8_t>(b)};
                ASSERT_EQ(nearestXterm256(c), searchAllOf256(c)) << r << "," << g << "," << b;
            }
        }
    }
}

} // namespace
