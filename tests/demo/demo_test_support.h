// Shared set-up of the demo tests: a content loaded from the real embedded resources with the
// random sequence from its start, and an 80 x 50 back buffer showing the start-up dots.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "demo/demo_content.h"
#include "gfx/next_random.h"

constexpr Cell kStartDot{'.', 0x07};
constexpr Cell kBlackSpace{' ', 0x00};

inline std::unique_ptr<DemoContent> loadContent() {
    RandomState = 1;
    auto content = std::make_unique<DemoContent>();
    EXPECT_TRUE(content->load());
    return content;
}

inline CellImage startScreen() {
    CellImage screen;
    EXPECT_TRUE(screen.create(80, 50));
    screen.fillRect(kStartDot, 0, 0, 80, 50);
    return screen;
}

inline bool sameCell(const Cell& a, const Cell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

inline int countCells(const CellImage& image, const Cell& cell) {
    int count = 0;
    for (int32_t i = 0; i < image.width * image.height; ++i)
        count += sameCell(image.cells[i], cell);
    return count;
}

inline bool sameImage(const CellImage& a, const CellImage& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int32_t i = 0; i < a.width * a.height; ++i)
        if (!sameCell(a.cells[i], b.cells[i])) return false;
    return true;
}

inline CellImage copyOf(const CellImage& image) {
    CellImage copy;
    EXPECT_TRUE(copy.create(image.width, image.height));
    copy.copyKeyed(image, 0xFFFF, 0, 0, 0, 0, image.width, image.height);
    return copy;
}
