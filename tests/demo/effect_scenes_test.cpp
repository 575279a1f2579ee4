// The effect scenes: the noise-flash windows, the bubbles' palette switch, noise bursts and
// fade, the tunnel's square and fades, and the figure-eights.
#include <cmath>

#include "demo/beat_tables.h"
#include "demo_test_support.h"

namespace {

int cellsWithPalette(const Layer& layer, const Palette* palette) {
    int count = 0;
    for (int i = 0; i < layer.width * layer.height; ++i) count += layer.cells[i].palette == palette;
    return count;
}

float maxIntensity(const Layer& layer) {
    float most = 0.0f;
    for (int i = 0; i < layer.width * layer.height; ++i)
        most = std::max(most, layer.cells[i].intensity);
    return most;
}

class EffectScenes : public ::testing::Test {
  protected:
    // The steps of a frame before an effect: an empty main Layer and a clear scratch.
    void startFrame() {
        content->resetMainLayer(screen, 1.0f, 0.01f);
        content->clearScratch(screen, 1.0f, 0.01f);
    }
    const Palette* slot(int s) const { return content->palettes.slots[s].get(); }
    std::unique_ptr<DemoContent> content = loadContent();
    CellImage screen = startScreen();
};

TEST_F(EffectScenes, NoiseFlashesFollowTheBeatsRiseBeforeEntry26AndStopAfterEntry28) {
    struct Case {
        const char* what;
        float t;
        double f; // expected flash strength; negative: nothing composited
    };
    const double b0 = MainBeats[0];
    const double b26 = MainBeats[26];
    const double b28 = MainBeats[28];
    const Case cases[] = {
        {"before the first beat", 2.9f, -1},
        {"just after the first beat", 3.0f, 1.0 - 3.0 * (3.0f - b0)},
        {"faded a third of a second after", static_cast<float>(b0 + 0.34), -1},
        {"just after entry 5", MainBeats[5] + 0.1f,
         1.0 - 3.0 * double(MainBeats[5] + 0.1f - MainBeats[5])},
        {"rising", 16.0f, 1.0 - (b26 - 16.0f) * 0.4},
        {"rising, after entry 24's flash has faded", 17.0f, 1.0 - (b26 - 17.0f) * 0.4},
        {"falling", 17.9f, (b28 - 17.9f) / (b28 - b26)},
        {"after the fall", 18.1f, -1},
        {"long after", 40.0f, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startFrame();
        content->noiseFlashScene(screen, c.t, 0.01f);
        if (c.f < 0) {
            EXPECT_EQ(cellsWithPalette(content->mainLayer, nullptr), 4000);
            EXPECT_EQ(maxIntensity(content->mainLayer), 0.0f);
            continue;
        }
        // The palette goes where the noise exceeds 0.01 (about 94 % of the cells); among
        // 4000 smoothstepped values some come within a hair of 1, times 0.125 f.
        EXPECT_GT(cellsWithPalette(content->mainLayer, slot(14)), 3600);
        EXPECT_LE(maxIntensity(content->mainLayer), 0.125 * c.f + 1e-6);
        EXPECT_GE(maxIntensity(content->mainLayer), 0.125 * c.f * 0.99);
    }
}

TEST_F(EffectScenes, NoiseIsDrawnEveryFrameEvenWhenNothingFlashes) {
    const uint32_t before = RandomState;
    startFrame();
    content->noiseFlashScene(screen, 40.0f, 0.01f);
    const uint32_t after = RandomState;
    RandomState = before;
    for (int i = 0; i < 80 * 50; ++i) NextRandom();
    EXPECT_EQ(after, RandomState);
}

TEST_F(EffectScenes, BubblesSwitchToTheInvertedPaletteBetweenTheirTwoBursts) {
    struct Case {
        float t;
        bool switched;
    };
    const float from = MainBeats[33] + 0.5f;
    const float to = MainBeats[34] + 0.25f;
    for (const Case c :
         {Case{std::nextafter(from, 0.0f), false}, Case{std::nextafter(from, 30.0f), true},
          Case{21.0f, true}, Case{std::nextafter(to, 0.0f), true}, Case{to, false}}) {
        SCOPED_TRACE(c.t);
        startFrame();
        content->bubblesScene(screen, c.t, 0.0f);
        EXPECT_EQ(cellsWithPalette(content->mainLayer, slot(6)), c.switched ? 4000 : 0);
    }
}

TEST_F(EffectScenes, BubbleNoiseBurstsOnlyInsideTheirWindows) {
    // A burst draws one random number per visible cell, into the scratch intensity only.
    struct Case {
        float t;
        bool burst;
    };
    const float b33 = MainBeats[33];
    const float b34 = MainBeats[34];
    for (const Case c : {Case{b33 + 0.1f, true}, Case{b33 + 0.3f, false}, Case{b33 + 0.6f, true},
                         Case{b33 + 0.9f, false}, Case{b34 + 0.1f, true}, Case{b34 + 0.6f, true},
                         Case{b34 + 0.8f, false}, Case{MainBeats[36] + 0.1f, true},
                         Case{MainBeats[37] + 0.1f, false}}) {
        SCOPED_TRACE(c.t);
        startFrame();
        const uint32_t before = RandomState;
        content->bubblesScene(screen, c.t, 0.0f);
        EXPECT_EQ(RandomState != before, c.burst);
        // Alpha stays the bubbles' own: no noise in the scratch alpha.
        for (int i = 0; i < 128 * 64; ++i) ASSERT_GE(content->scratch.cells[i].alpha, 0.0f);
    }
}

TEST_F(EffectScenes, BubblesFadeOutOverTheSecondBeforeTunnelEntry20) {
    const float end = TunnelBeats[20];
    // Exactly at the end the blend adds nothing but the palette is still stamped.
    startFrame();
    content->bubblesScene(screen, end, 0.0f);
    EXPECT_EQ(maxIntensity(content->mainLayer), 0.0f);
    EXPECT_GT(cellsWithPalette(content->mainLayer, slot(5)), 100);
    // Just after it nothing at all.
    startFrame();
    content->bubblesScene(screen, std::nextafter(end, 60.0f), 0.0f);
    EXPECT_EQ(cellsWithPalette(content->mainLayer, nullptr), 4000);
    // Half a second before, half strength: the brightest cell is half of the scratch's.
    startFrame();
    content->bubblesScene(screen, end - 0.5f, 0.0f);
    float scratchMost = 0.0f;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            scratchMost = std::max(scratchMost, content->scratch.cells[y * 128 + x].intensity);
    EXPECT_NEAR(maxIntensity(content->mainLayer), 0.5f * scratchMost, 1e-5);
}

TEST_F(EffectScenes, TunnelSquareGrowsFromTheCentreOfItsAreaInTheLastHalfSecond) {
    struct Case {
        float before; // seconds before TunnelBeats[0]
        int left, top, size;
    };
    // a = 2 x (t - start) + 1; size 50 a, corner at 55 - 25 a (both truncated).
    for (const Case c : {Case{0.5f, 0, 0, 0}, Case{0.25f, 43, 13, 25}, Case{0.0f, 30, 0, 50}}) {
        SCOPED_TRACE(c.before);
        startFrame();
        for (int i = 0; i < 4000; ++i) content->mainLayer.cells[i].intensity = 0.8f;
        const float t = static_cast<float>(TunnelBeats[0] - static_cast<double>(c.before));
        content->tunnelScene(screen, t, 0.0f);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                const bool inside =
                    x >= c.left && x < c.left + c.size && y >= c.top && y < c.top + c.size;
                const LayerCell& cell = content->mainLayer.cells[y * 80 + x];
                ASSERT_EQ(cell.palette, inside ? slot(8) : nullptr) << x << "," << y;
                ASSERT_FLOAT_EQ(cell.intensity, inside ? 0.4f : 0.8f) << x << "," << y;
            }
    }
}

TEST_F(EffectScenes, TunnelRunsFromItsFirstToItsLastEntryAndStandsStillOutside) {
    startFrame();
    content->tunnelScene(screen, TunnelBeats[0] - 0.1f, 0.01f);
    EXPECT_EQ(content->tunnel.beatIndex, 0); // not rendered yet
    content->tunnelScene(screen, TunnelBeats[0] + 1.0f, 0.01f);
    EXPECT_GT(content->tunnel.beatIndex, 0);
    // After the last entry: the square stays, the tunnel no longer moves.
    content->tunnelScene(screen, 58.6f, 0.01f);
    const float phase = content->tunnel.phase;
    startFrame();
    content->tunnelScene(screen, 58.8f, 0.01f);
    EXPECT_EQ(content->tunnel.phase, phase);
    EXPECT_EQ(cellsWithPalette(content->mainLayer, slot(8)), 2500);
}

TEST_F(EffectScenes, FigureEightOpensAfterEachBeatWithinTheFollowingSecond) {
    const auto extent = [&](float t, int& minX, int& maxX, int& minY, int& maxY) {
        content->clearScratch(screen, t, 0.01f);
        content->figureEightScene(screen, t, 0.01f);
        minX = minY = 1000;
        maxX = maxY = -1;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x)
                if (content->scratch.cells[y * 128 + x].alpha > 0.0f) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
    };
    int minX, maxX, minY, maxY;
    extent(2.9f, minX, maxX, minY, maxY);
    EXPECT_EQ(maxX, -1) << "nothing before the first beat";
    // Half a second after the first beat: u = 0.75, so 18.75 cells either side of column 40
    // and 7.5 rows above and below row 20.
    extent(MainBeats[0] + 0.5f, minX, maxX, minY, maxY);
    EXPECT_NEAR(minX, 40 - 18.75, 1.5);
    EXPECT_NEAR(maxX, 40 + 18.75, 1.5);
    EXPECT_NEAR(minY, 20 - 7.5, 1.5);
    EXPECT_NEAR(maxY, 20 + 7.5, 1.5);
    // More than a second after the last of beats 0 to 24: nothing.
    extent(MainBeats[24] + 1.01f, minX, maxX, minY, maxY);
    EXPECT_EQ(maxX, -1);
}

} // namespace
