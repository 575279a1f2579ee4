// The tunnel: the beat cursor walking both ways with its kicks, the motion, and the mapping
// (rim, shading, the choice of picture by radius, the rendered region).
#include <cfenv>
#include <cmath>

#include "demo/beat_tables.h"
#include "demo_test_support.h"

namespace {

float after(float t) {
    return std::nextafter(t, 1000.0f);
}

class Tunnel : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tunnel.load(128, 64)); }
    TunnelEffect tunnel;
};

TEST_F(Tunnel, FirstBeatKicksOnceJustAfterIt) {
    tunnel.render(TunnelBeats[0], 0.0f, 50, 50); // at the entry itself: not yet passed
    EXPECT_EQ(tunnel.beatIndex, 0);
    EXPECT_EQ(tunnel.speed, 0.0f);
    tunnel.render(after(TunnelBeats[0]), 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 1);
    EXPECT_EQ(tunnel.speed, 2.0f);
}

TEST_F(Tunnel, AJumpForwardKicksOncePerEntryPassed) {
    // From before the tunnel to just after entry 4: five entries, five kicks.
    tunnel.render(after(TunnelBeats[4]), 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 5);
    EXPECT_EQ(tunnel.speed, 10.0f);
}

TEST_F(Tunnel, WalkingBackChangesNothingButTheCursorAndPassingAgainKicksAgain) {
    tunnel.render(40.0f, 0.0f, 50, 50); // entries 0..20 lie before 40 s
    ASSERT_EQ(tunnel.beatIndex, 21);
    const float speed = tunnel.speed;
    const float phase = tunnel.phase;
    tunnel.render(30.0f, 0.0f, 50, 50); // entries 0..5 lie before 30 s
    EXPECT_EQ(tunnel.beatIndex, 6);
    EXPECT_EQ(tunnel.speed, speed);
    EXPECT_EQ(tunnel.phase, phase);
    tunnel.render(31.0f, 0.0f, 50, 50); // passes 30.269379 and 30.643074
    EXPECT_EQ(tunnel.beatIndex, 8);
    EXPECT_EQ(tunnel.speed, speed + 4.0f);
    tunnel.render(0.0f, 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 0);
}

TEST_F(Tunnel, AnEntryEqualToTheTimeStaysOnTheSideItWasReachedFrom) {
    // Going forward an entry is passed only once the time is beyond it; going back it is
    // left only once the time is below it. Either way no kick is repeated.
    tunnel.render(TunnelBeats[10], 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 10);
    tunnel.render(59.0f, 0.0f, 50, 50);
    const float speed = tunnel.speed;
    tunnel.render(TunnelBeats[10], 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 11);
    tunnel.render(after(TunnelBeats[10]), 0.0f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, 11);
    EXPECT_EQ(tunnel.speed, speed);
}

TEST_F(Tunnel, SpeedDrivesThePhaseThenDecaysAndNoKickFollowsTheLastEntry) {
    tunnel.render(59.0f, 0.0f, 50, 50);
    ASSERT_EQ(tunnel.beatIndex, kTunnelBeatCount);
    const float speed = tunnel.speed;
    EXPECT_EQ(speed, 2.0f * kTunnelBeatCount);
    // A quarter second: the phase gains the speed before the decay, then speed / e.
    tunnel.render(59.5f, 0.25f, 50, 50);
    EXPECT_EQ(tunnel.beatIndex, kTunnelBeatCount);
    EXPECT_FLOAT_EQ(tunnel.phase, 0.25f * speed);
    EXPECT_NEAR(tunnel.speed, speed / std::exp(1.0f), 1e-4);
}

TEST_F(Tunnel, OutsideTheRimCellsAreFullyTransparentAndBeyondTheRegionUntouched) {
    tunnel.render(30.0f, 0.01f, 50, 50);
    const LayerCell* cells = tunnel.target.cells.get();
    for (int corner : {0, 49, 49 * 128, 49 * 128 + 49}) {
        EXPECT_EQ(cells[corner].intensity, 1.0f);
        EXPECT_EQ(cells[corner].alpha, 0.0f); // possibly -0.0, which compares equal
    }
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            if (x >= 50 || y >= 50) {
                ASSERT_EQ(cells[y * 128 + x].intensity, 0.0f) << x << "," << y;
            }
}

TEST_F(Tunnel, ARegionLargerThanTheTargetIsClippedToIt) {
    tunnel.render(30.0f, 0.01f, 1000, 1000); // must not write outside (checked by ASan)
    EXPECT_NE(tunnel.target.cells[63 * 128 + 127].intensity, 0.0f);
}

// A region one cell wide (or high) is the first column (or row) of a larger one, reached
// without a division by zero.
TEST_F(Tunnel, ARegionOneCellWideOrHighIsItsFirstColumnOrRow) {
    TunnelEffect wide;
    ASSERT_TRUE(wide.load(128, 64));
    wide.render(30.0f, 0.01f, 50, 50);
    struct Case {
        uint32_t w, h;
    } cases[] = {{1, 50}, {50, 1}, {1, 1}};
    for (const Case& c : cases) {
        TunnelEffect narrow;
        ASSERT_TRUE(narrow.load(128, 64));
        std::feclearexcept(FE_ALL_EXCEPT);
        narrow.render(30.0f, 0.01f, c.w, c.h);
#ifdef FE_DIVBYZERO // WebAssembly keeps no floating-point exception flags
        EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO)) << c.w << "x" << c.h;
#endif
        for (uint32_t y = 0; y < c.h; ++y)
            for (uint32_t x = 0; x < c.w; ++x) {
                const LayerCell& got = narrow.target.cells[y * 128 + x];
                const LayerCell& want = wide.target.cells[y * 128 + x];
                ASSERT_EQ(got.intensity, want.intensity)
                    << c.w << "x" << c.h << " " << x << "," << y;
                ASSERT_EQ(got.alpha, want.alpha) << c.w << "x" << c.h << " " << x << "," << y;
            }
    }
}

TEST_F(Tunnel, RadiusChoosesThePictureAndShadesIt) {
    // Give each level a constant picture so the shading tells which one a cell sampled.
    const float level0 = 0.2f, level1 = 0.5f, level2 = 0.8f;
    const float values[] = {level0, level1, level2};
    Texture* levels[] = {&tunnel.level0, &tunnel.level1, &tunnel.level2};
    for (int l = 0; l < 3; ++l)
        for (int i = 0; i < levels[l]->width * levels[l]->height; ++i) {
            levels[l]->cells[i].intensity = 1.0f;
            levels[l]->cells[i].alpha = values[l];
        }
    tunnel.render(30.0f, 0.0f, 50, 50);

    int counted[3] = {};
    float y = -0.5f;
    for (int j = 0; j < 50; ++j, y += 1.0f / 49.0f) {
        float x = -0.5f;
        for (int i = 0; i < 50; ++i, x += 1.0f / 49.0f) {
            const double r = std::sqrt(double(x) * x + double(y) * y);
            // Leave cells within rounding of a boundary to the implementation.
            if (std::fabs(r - 0.5) < 1e-5 || std::fabs(r - 0.25) < 1e-5 ||
                std::fabs(r - 0.1) < 1e-5)
                continue;
            const LayerCell& cell = tunnel.target.cells[j * 128 + i];
            EXPECT_NEAR(cell.intensity, 1.0f, 1e-6);
            if (r > 0.5) {
                EXPECT_EQ(cell.alpha, 0.0f);
                continue;
            }
            const int level = r > 0.25 ? 0 : (r > 0.1 ? 1 : 2);
            ++counted[level];
            const double s = values[level];
            EXPECT_NEAR(cell.alpha, (0.5 - r) * (1.0 - s) * r * 16.0, 1e-5) << i << "," << j;
        }
    }
    EXPECT_GT(counted[0], 0);
    EXPECT_GT(counted[1], 0);
    EXPECT_GT(counted[2], 0);
}

} // namespace
