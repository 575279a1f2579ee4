// Layer: allocation, loading and the compositing operations, with their thresholds, clamps
// and clipping.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/layer.h"
#include "gfx/next_random.h"
#include "gfx/palette.h"
#include "gfx/resource_blob.h"

namespace {

const Palette* const kPaletteA = reinterpret_cast<const Palette*>(alignof(Palette) * 16);
const Palette* const kPaletteB = reinterpret_cast<const Palette*>(alignof(Palette) * 32);

LayerCell& at(Layer& layer, int x, int y) {
    return layer.cells[y * layer.width + x];
}

Layer alphaLayer(int w, int h, float intensity, float alpha) {
    Layer layer;
    EXPECT_TRUE(layer.create(w, h));
    for (int i = 0; i < w * h; ++i) {
        layer.cells[i].intensity = intensity;
        layer.cells[i].alpha = alpha;
    }
    return layer;
}

Layer paletteLayer(int w, int h, float intensity, const Palette* palette) {
    Layer layer;
    EXPECT_TRUE(layer.create(w, h));
    for (int i = 0; i < w * h; ++i) layer.cells[i] = LayerCell{intensity, {palette}};
    return layer;
}

TEST(LayerCreate, ZeroCellsAndRefusedSizes) {
    Layer layer;
    ASSERT_TRUE(layer.create(80, 50));
    for (int i = 0; i < 80 * 50; ++i) {
        EXPECT_EQ(layer.cells[i].intensity, 0.0f);
        EXPECT_EQ(layer.cells[i].palette, nullptr);
    }
    Layer refused;
    EXPECT_FALSE(refused.create(80, -1));
    EXPECT_FALSE(refused.create(INT32_MAX, INT32_MAX));
    EXPECT_EQ(refused.width, 0);
    EXPECT_EQ(refused.cells, nullptr);
}

TEST(LayerLoadBytes, SizesAndScale) {
    std::vector<uint8_t> bytes(4000);
    bytes[1] = 255;
    bytes[2] = 51;
    Layer layer;
    ASSERT_TRUE(layer.loadBytes(ResourceBlob{bytes.data(), 4000}, kPaletteA, 80));
    EXPECT_EQ(layer.width, 80);
    EXPECT_EQ(layer.height, 50);
    EXPECT_EQ(layer.cells[0].intensity, 0.0f);
    EXPECT_EQ(layer.cells[1].intensity, 1.0f);
    EXPECT_NEAR(layer.cells[2].intensity, 0.2f, 1e-7);
    EXPECT_EQ(layer.cells[3999].palette, kPaletteA);

    Layer partial;
    ASSERT_TRUE(partial.loadBytes(ResourceBlob{bytes.data(), 7}, kPaletteA, 3));
    EXPECT_EQ(partial.height, 2);
    Layer refused;
    EXPECT_FALSE(refused.loadBytes(ResourceBlob{bytes.data(), 7}, kPaletteA, 0));
}

TEST(BlendPair, FormulaInDoublePrecision) {
    // Moves I towards v by the coverage.
    LayerCell cell{0.25f, {}};
    cell.alpha = 0.5f;
    BlendCoefficients{0, 1, 1, -1, 0, 1, 0}.blendPair(cell, Paint{1.0f, 0.5f});
    EXPECT_EQ(cell.intensity, 0.625f);
    EXPECT_EQ(cell.alpha, 0.5f);
    // The ring coefficients add v*c and c.
    BlendCoefficients{0, 1, 1, 0, 1, 1, 0}.blendPair(cell, Paint{0.5f, 0.25f});
    EXPECT_EQ(cell.intensity, 0.75f);
    EXPECT_EQ(cell.alpha, 0.75f);
    // k4*c + k5*A + k6*v all count.
    BlendCoefficients{0, 0, 0, 0, 2, 0.5f, 4}.blendPair(cell, Paint{0.25f, 0.5f});
    EXPECT_EQ(cell.alpha, 1.0f + 0.375f + 1.0f);
    // 2^24 + 1 - 2^24 is 1 only when the intermediates are wider than float.
    LayerCell wide{1.0f, {}};
    BlendCoefficients{1, 1, -1, 0, 0, 0, 0}.blendPair(wide, Paint{16777216.0f, 1.0f});
    EXPECT_EQ(wide.intensity, 1.0f);
}

TEST(LayerPaintRect, ClearsClippedRectangle) {
    Layer layer = alphaLayer(4, 3, 0.7f, 0.9f);
    layer.paintRect(Paint{0, 0}, BlendCoefficients{1, 0, 0, 0, 1, 0, 0}, -1, 1, 3, 5);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool cleared = y >= 1 && x < 2;
            EXPECT_EQ(at(layer, x, y).intensity, cleared ? 0.0f : 0.7f) << x << "," << y;
            EXPECT_EQ(at(layer, x, y).alpha, cleared ? 0.0f : 0.9f) << x << "," << y;
        }
    }
}

TEST(LayerAddNoise, OneDrawPerCellInVisitingOrder) {
    Layer layer = alphaLayer(3, 3, 0.0f, 0.0f);
    RandomState = 1;
    int32_t draws[5];
    for (int32_t& d : draws) d = NextRandom();
    RandomState = 1;
    // Clipped to the 2x2 at (1, 1): four draws, in the order (1,1), (2,1), (1,2), (2,2).
    layer.addNoise(BlendCoefficients{1, 0, 0, 0, 1, 0, 0}, 1, 1, 5, 5);
    EXPECT_EQ(NextRandom(), draws[4]);
    const LayerCell* order[4] = {&at(layer, 1, 1), &at(layer, 2, 1), &at(layer, 1, 2),
                                 &at(layer, 2, 2)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(order[i]->intensity, 0.0f);
        EXPECT_LE(order[i]->intensity, 1.0f);
        EXPECT_EQ(order[i]->alpha, order[i]->intensity);
        for (int j = 0; j < 4; ++j) {
            // Smoothstep is increasing, so the cells rank like their draws.
            if (draws[i] < draws[j]) {
                EXPECT_LT(order[i]->intensity, order[j]->intensity);
            }
        }
    }
    EXPECT_EQ(at(layer, 0, 0).intensity, 0.0f);
    EXPECT_EQ(at(layer, 0, 2).intensity, 0.0f);

    // k1 and k5 keep a share of the old values.
    Layer keep = alphaLayer(1, 1, 0.5f, 0.25f);
    keep.addNoise(BlendCoefficients{0, 2, 0, 0, 0, 4, 0}, 0, 0, 1, 1);
    EXPECT_EQ(keep.cells[0].intensity, 1.0f);
    EXPECT_EQ(keep.cells[0].alpha, 1.0f);
}

TEST(LayerAddNoise, SkippingMovesTheSequenceAsDrawingDoes) {
    struct Rect {
        int32_t x, y, w, h;
    };
    // Inside, clipped on two sides, and wholly outside (no draw at all).
    for (const Rect r : {Rect{0, 0, 80, 50}, Rect{-3, 60, 200, 9}, Rect{128, 0, 5, 5}}) {
        Layer drawn = alphaLayer(128, 64, 0.0f, 0.0f);
        RandomState = 12345;
        drawn.addNoise(BlendCoefficients{1, 0, 0, 0, 1, 0, 0}, r.x, r.y, r.w, r.h);
        const uint32_t afterDrawing = RandomState;
        RandomState = 12345;
        drawn.skipNoise(r.x, r.y, r.w, r.h);
        EXPECT_EQ(RandomState, afterDrawing) << r.x << "," << r.y;
    }
    // Counts with many bits set, against one draw at a time.
    for (const uint32_t count : {0u, 1u, 2u, 3u, 4000u, 65535u, 1234567u}) {
        RandomState = 99;
        for (uint32_t i = 0; i < count; ++i) NextRandom();
        const uint32_t stepped = RandomState;
        RandomState = 99;
        skipRandom(count);
        EXPECT_EQ(RandomState, stepped) << count;
    }
}

TEST(LayerCopyFrom, BlendsIntensityAndCopiesSecondWord) {
    Layer source = paletteLayer(2, 1, 0.5f, nullptr);
    source.cells[1].palette = kPaletteB;
    Layer dest = paletteLayer(3, 1, 0.25f, kPaletteA);
    dest.copyFrom(source, BlendCoefficients{1, 2, 0, 0, 0, 0, 0}, 0, 0, 1, 0, 5, 5);
    EXPECT_EQ(dest.cells[0].palette, kPaletteA);
    EXPECT_EQ(dest.cells[0].intensity, 0.25f);
    EXPECT_EQ(dest.cells[1].palette, nullptr); // "no palette" is copied too
    EXPECT_EQ(dest.cells[1].intensity, 1.0f);
    EXPECT_EQ(dest.cells[2].palette, kPaletteB);
}

TEST(LayerComposite, ThresholdAndAlphaClamp) {
    struct Case {
        const char* name;
        float alpha;
        BlendCoefficients k;
        float intensity;      // source 0.5 onto destination 0.25
        const Palette* after; // destination starts with kPaletteA
    };
    const BlendCoefficients add{1, 1, 0, 0, 0, 0, 0};
    const BlendCoefficients weighted{0, 0, 1, 0, 0, 0, 0};
    const Case cases[] = {
        {"alpha at threshold", 0.01f, add, 0.75f, kPaletteA},
        {"alpha just above", std::nextafter(0.01f, 1.0f), add, 0.75f, kPaletteB},
        {"alpha 1.7 counts as 1", 1.7f, weighted, 0.5f, kPaletteB},
        {"alpha 0.5", 0.5f, weighted, 0.25f, kPaletteB},
        {"negative alpha counts as 0", -0.4f, add, 0.75f, kPaletteA},
        {"negative alpha weighted", -0.4f, weighted, 0.0f, kPaletteA},
        {"NaN alpha counts as 0", std::nanf(""), weighted, 0.0f, kPaletteA},
        {"old intensity by alpha", 0.5f, BlendCoefficients{0, 0, 0, 2, 0, 0, 0}, 0.25f, kPaletteB},
    };
    for (const Case& c : cases) {
        Layer source = alphaLayer(1, 1, 0.5f, c.alpha);
        Layer dest = paletteLayer(1, 1, 0.25f, kPaletteA);
        dest.composite(source, kPaletteB, 0.01f, c.k, 0, 0, 0, 0, 1, 1);
        EXPECT_EQ(dest.cells[0].intensity, c.intensity) << c.name;
        EXPECT_EQ(dest.cells[0].palette, c.after) << c.name;
    }
}

TEST(LayerComposite, ScratchOntoMainClips) {
    Layer scratch = alphaLayer(128, 64, 0.5f, 1.0f);
    Layer main = paletteLayer(80, 50, 0.0f, nullptr);
    main.composite(scratch, kPaletteB, 0.01f, BlendCoefficients{1, 1, 0, 0, 0, 0, 0}, 0, 0, 0, 0,
                   128, 64);
    for (int i = 0; i < 80 * 50; ++i) {
        ASSERT_EQ(main.cells[i].intensity, 0.5f);
        ASSERT_EQ(main.cells[i].palette, kPaletteB);
    }
    // Offset: only the part that lands inside is blended.
    Layer small = paletteLayer(4, 4, 0.0f, nullptr);
    small.composite(scratch, kPaletteB, 0.01f, BlendCoefficients{1, 1, 0, 0, 0, 0, 0}, 0, 0, 3, -2,
                    128, 64);
    EXPECT_EQ(at(small, 3, 0).palette, kPaletteB);
    EXPECT_EQ(at(small, 2, 3).palette, nullptr);
}

TEST(LayerFillRect, ClearsOrRecolours) {
    Layer layer = paletteLayer(5, 2, 0.5f, kPaletteA);
    const LayerCell none{0.0f, {nullptr}};
    layer.fillRect(none, BlendCoefficients{1, 0, 0, 0, 0, 0, 0}, -3, 0, 5, 1); // columns 0, 1
    EXPECT_EQ(at(layer, 1, 0).palette, nullptr);
    EXPECT_EQ(at(layer, 1, 0).intensity, 0.0f);
    EXPECT_EQ(at(layer, 2, 0).palette, kPaletteA);
    EXPECT_EQ(at(layer, 0, 1).palette, kPaletteA);

    const LayerCell recolour{0.9f, {kPaletteB}};
    layer.fillRect(recolour, BlendCoefficients{0, 1, 0, 0, 0, 0, 0}, 0, 1, 5, 1);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(at(layer, x, 1).palette, kPaletteB);
        EXPECT_EQ(at(layer, x, 1).intensity, 0.5f);
    }
    // The constant may be one of the layer's own cells.
    layer.fillRect(at(layer, 4, 1), BlendCoefficients{1, 0, 0, 0, 0, 0, 0}, 0, 0, 5, 2);
    EXPECT_EQ(at(layer, 0, 0).palette, kPaletteB);
}

} // namespace
