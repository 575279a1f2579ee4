// Texture: sizing and masks, loading, and the wrap-around smoothstep sampler.
#include <cfenv>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/resource_blob.h"
#include "gfx/texture.h"

namespace {

// A zero texture of the given size whose texel (x, y) alpha is `value`.
Texture withTexel(int w, int h, int x, int y, float value) {
    Texture texture;
    EXPECT_TRUE(texture.create(w, h));
    texture.cells[y * w + x].alpha = value;
    texture.cells[y * w + x].intensity = value * 2.0f;
    return texture;
}

LayerCell sampleAt(const Texture& texture, float u, float v) {
    LayerCell out{-1.0f, {}};
    out.alpha = -1.0f;
    texture.sample(out, u, v);
    return out;
}

TEST(TextureSize, MasksAndPowerOfTwo) {
    Texture texture;
    EXPECT_TRUE(texture.setSize(128, 64));
    EXPECT_EQ(texture.maskX, 127);
    EXPECT_EQ(texture.maskY, 8064);
    EXPECT_EQ(texture.widthF, 128.0f);
    EXPECT_EQ(texture.heightF, 64.0f);
    EXPECT_FALSE(texture.setSize(100, 64));
    EXPECT_EQ(texture.width, 100); // stored even when refused
    EXPECT_FALSE(texture.setSize(64, 96));
    EXPECT_TRUE(texture.setSize(0, 0));
    EXPECT_TRUE(texture.setSize(1, 1));
    EXPECT_FALSE(texture.setSize(-64, 64));

    Texture odd;
    EXPECT_FALSE(odd.create(100, 64));
    EXPECT_NE(odd.cells, nullptr); // kept until the Texture goes
    Texture refused;
    EXPECT_FALSE(refused.create(-2, 2));
    EXPECT_EQ(refused.width, 0);
}

TEST(TextureLoadBytes, Sizes) {
    struct Case {
        uint32_t bytes;
        int rowWidth, width, height;
        bool ok;
    };
    const Case cases[] = {
        {8192, 128, 128, 64, true}, {2048, 64, 64, 32, true}, {512, 32, 32, 16, true},
        {300, 100, 100, 3, false},  {8192, 0, 0, 0, false},
    };
    std::vector<uint8_t> data(8192, 0);
    data[0] = 255;
    data[1] = 51;
    for (const Case& c : cases) {
        Texture texture;
        EXPECT_EQ(texture.loadBytes(1.0f, ResourceBlob{data.data(), c.bytes}, c.rowWidth), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(texture.width, c.width);
        EXPECT_EQ(texture.height, c.height);
        EXPECT_EQ(texture.cells[0].alpha, 1.0f);
        EXPECT_NEAR(texture.cells[1].alpha, 0.2f, 1e-7);
        EXPECT_EQ(texture.cells[2].alpha, 0.0f);
        EXPECT_EQ(texture.cells[c.bytes - 1].intensity, 1.0f);
    }
}

// A refused load keeps what the texture held: its texels, its size and its masks.
TEST(TextureLoadBytes, FailureLeavesTheTextureAsItWas) {
    const std::vector<uint8_t> good(8, 255);
    const std::vector<uint8_t> bad(300, 51);
    struct Case {
        uint32_t bytes;
        int rowWidth;
    } cases[] = {{300, 100}, {12, 4}, {300, 0}};
    for (const Case& c : cases) {
        Texture texture;
        ASSERT_TRUE(texture.loadBytes(0.5f, ResourceBlob{good.data(), 8}, 4));
        const LayerCell* before = texture.cells.get();
        EXPECT_FALSE(texture.loadBytes(1.0f, ResourceBlob{bad.data(), c.bytes}, c.rowWidth));
        EXPECT_EQ(texture.cells.get(), before) << c.bytes << "/" << c.rowWidth;
        EXPECT_EQ(texture.width, 4);
        EXPECT_EQ(texture.height, 2);
        EXPECT_EQ(texture.maskX, 3);
        EXPECT_EQ(texture.maskY, 4);
        EXPECT_EQ(texture.cells[7].alpha, 1.0f);
        EXPECT_EQ(texture.cells[7].intensity, 0.5f);
    }
}

TEST(TextureSample, WholeCoordinatesAndWrap) {
    Texture texture;
    ASSERT_TRUE(texture.create(128, 64));
    for (int i = 0; i < 128 * 64; ++i) {
        texture.cells[i].intensity = static_cast<float>(i % 128);
        texture.cells[i].alpha = static_cast<float>(i / 128);
    }
    struct Case {
        float u, v;
        int x, y; // the texel the sample must return exactly
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0, 0},
        {1.0f, 1.0f, 0, 0},
        {-1.0f / 128, 0.0f, 127, 0},
        {0.0f, -1.0f / 64, 0, 63},
        {5.0f / 128, 3.0f / 64, 5, 3},
        {-3.0f, 2.0f, 0, 0},
        {129.0f / 128, -65.0f / 64, 1, 63},
    };
    for (const Case& c : cases) {
        const LayerCell out = sampleAt(texture, c.u, c.v);
        EXPECT_EQ(out.intensity, static_cast<float>(c.x)) << c.u << "," << c.v;
        EXPECT_EQ(out.alpha, static_cast<float>(c.y)) << c.u << "," << c.v;
    }
}

TEST(TextureSample, SmoothstepWeights) {
    // Halfway between columns 0 and 1: equal weights.
    EXPECT_EQ(sampleAt(withTexel(128, 64, 1, 0, 1.0f), 0.5f / 128, 0.0f).alpha, 0.5f);
    // X = -0.25: fraction 0.75, column 127 weighs 0.15625 and column 0 weighs 0.84375.
    EXPECT_EQ(sampleAt(withTexel(128, 64, 127, 0, 1.0f), -0.25f / 128, 0.0f).alpha, 0.15625f);
    EXPECT_EQ(sampleAt(withTexel(128, 64, 0, 0, 1.0f), -0.25f / 128, 0.0f).alpha, 0.84375f);
    // Rows wrap the same way: Y = -0.25 between rows 63 and 0.
    const LayerCell row = sampleAt(withTexel(128, 64, 0, 63, 1.0f), 0.0f, -0.25f / 64);
    EXPECT_EQ(row.alpha, 0.15625f);
    EXPECT_EQ(row.intensity, 0.3125f);
    // Both fractions 0.5 at the far corner: a quarter of each of the four texels.
    EXPECT_EQ(sampleAt(withTexel(128, 64, 0, 0, 1.0f), 127.5f / 128, 63.5f / 64).alpha, 0.25f);
}

TEST(TextureSample, UpperRowWeightIsRoundedOnceFromTheExactSmoothstep) {
    // Upper row 1, lower row 0, whole X: the sample is the weight 1 - sy alone. With
    // fy = k / 65536 the smoothstep is exact in double, so 1 - sy is rounded to float once;
    // rounding sy to float first moves these two results by one unit in the last place.
    // Expected values: 1 - (3 fy^2 - 2 fy^3) in exact rational arithmetic, rounded to float.
    Texture texture;
    ASSERT_TRUE(texture.create(2, 2));
    texture.cells[0].alpha = 1.0f;
    texture.cells[1].alpha = 1.0f;
    struct Case {
        int k;
        float expected;
    };
    for (const Case c : {Case{1559, 0x1.ff2502p-1f}, Case{2926, 0x1.fd0782p-1f}}) {
        // heightF = 2, so v = fy / 2.
        const float v = static_cast<float>(c.k) / 131072.0f;
        EXPECT_EQ(sampleAt(texture, 0.0f, v).alpha, c.expected) << c.k;
    }
}

TEST(TextureSample, ConstantChannelAndHostileCoordinates) {
    std::vector<uint8_t> data(512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
    Texture texture;
    ASSERT_TRUE(texture.loadBytes(1.0f, ResourceBlob{data.data(), 512}, 32));
    for (float u = -3.0f; u < 3.0f; u += 0.173f) {
        EXPECT_NEAR(sampleAt(texture, u, u * 0.7f + 0.01f).intensity, 1.0f, 1e-6f);
    }
    // Out of int32 range or not finite: counted as coordinate 0, texel (0, 0).
    const float expected = texture.cells[0].alpha;
    for (float bad : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3e9f}) {
        EXPECT_EQ(sampleAt(texture, bad, 0.0f).alpha, expected) << bad;
        EXPECT_EQ(sampleAt(texture, 0.0f, bad).alpha, expected) << bad;
    }
    // Large but in range: whole X, so exactly one texel.
    EXPECT_EQ(sampleAt(texture, 2.0e9f / 32, 0.0f).alpha, texture.cells[(2000000000 % 32)].alpha);
    Texture empty;
    EXPECT_EQ(sampleAt(empty, 0.5f, 0.5f).alpha, 0.0f);
}

TEST(TextureSample, CallerRoundingModeKeptAndFloorsStayFloors) {
    // WebAssembly rounds to nearest only: its fesetround reports success and changes nothing.
    const bool settable = std::fesetround(FE_UPWARD) == 0 && std::fegetround() == FE_UPWARD;
    std::fesetround(FE_TONEAREST);
    if (!settable) GTEST_SKIP() << "this platform cannot change the rounding mode";
    Texture texture = withTexel(128, 64, 127, 0, 1.0f);
    for (int mode : {FE_UPWARD, FE_TOWARDZERO, FE_DOWNWARD}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        const float alpha = sampleAt(texture, -0.25f / 128, 0.0f).alpha;
        EXPECT_EQ(std::fegetround(), mode);
        std::fesetround(FE_TONEAREST);
        EXPECT_NEAR(alpha, 0.15625f, 1e-6f) << mode;
    }
}

} // namespace
