// The pipeline scenes: the caption bands by time, the start of every frame from an empty
// main Layer, clearing what the frame wrote on scratch and the main Layer, and a whole frame
// through the SceneTable.
#include <cmath>

#include "demo/beat_tables.h"
#include "demo_test_support.h"

namespace {

class PipelineScenes : public ::testing::Test {
  protected:
    std::unique_ptr<DemoContent> content = loadContent();
};

// What the captions scene should leave on a screen of marker cells: the band's glyphs on
// rows 30 onwards, the markers wherever the band is "." or absent.
void expectBand(const DemoContent& content, const CellImage& screen, const Cell& marker,
                int sourceRow, int rows) {
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            const Cell& got = screen.cells[y * 80 + x];
            Cell want = marker;
            if (sourceRow >= 0 && y >= 30 && y < 30 + rows) {
                const Cell& glyph = content.textImage.cells[(sourceRow + y - 30) * 80 + x];
                if (glyph.character != '.') want = glyph;
            }
            ASSERT_TRUE(sameCell(got, want)) << x << "," << y;
        }
    }
}

TEST_F(PipelineScenes, CaptionBandsFollowTheBeatsStartIncludedEndExcluded) {
    struct Case {
        float t;
        int sourceRow; // -1: none
        int rows;
    };
    const auto before = [](float t) { return std::nextafter(t, 0.0f); };
    const Case cases[] = {
        {3.0f, -1, 0},
        {before(MainBeats[1]), -1, 0},
        {MainBeats[1], 1, 14},
        {before(MainBeats[2]), 1, 14},
        {MainBeats[2], 16, 15},
        {MainBeats[3], 32, 15},
        {MainBeats[4], 32, 15},
        {MainBeats[5], 1, 14},
        {MainBeats[6], 16, 15},
        {MainBeats[7], 48, 15},
        {MainBeats[8], 48, 15},
        {MainBeats[9], 64, 15},
        {before(MainBeats[10]), 64, 15},
        {MainBeats[10], -1, 0},
        {30.0f, -1, 0},
    };
    const Cell marker{'x', 0x1E};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        CellImage screen;
        ASSERT_TRUE(screen.create(80, 50));
        screen.fillRect(marker, 0, 0, 80, 50);
        content->captionsScene(screen, c.t, 0.01f);
        expectBand(*content, screen, marker, c.sourceRow, c.rows);
    }
}

TEST_F(PipelineScenes, EveryCaptionPictureShowsSomething) {
    for (int sourceRow : {1, 16, 32, 48, 64}) {
        int glyphs = 0;
        for (int i = sourceRow * 80; i < (sourceRow + 14) * 80; ++i)
            glyphs += content->textImage.cells[i].character != '.';
        EXPECT_GT(glyphs, 100) << sourceRow;
    }
}

TEST_F(PipelineScenes, AFrameStartsFromAnEmptyMainLayerWhateverTheLastOneLeft) {
    CellImage screen = startScreen();
    for (int i = 0; i < 4000; ++i) {
        content->mainLayer.cells[i].intensity = 1.0f;
        content->mainLayer.cells[i].palette = content->palettes.slots[8].get();
    }
    content->clearBackBuffer(screen, 1.0f, 0.01f);
    content->resetMainLayer(screen, 1.0f, 0.01f);
    content->convertMainLayer(screen, 1.0f, 0.01f);
    EXPECT_EQ(countCells(screen, kBlackSpace), 4000);
}

TEST_F(PipelineScenes, OneClearWipesWhateverAFrameWroteOnScratchAndTheMainLayer) {
    // The clears cover only what the scenes reported writing: anything written outside it
    // would stay, and later frames would show it.
    CellImage screen = startScreen();
    for (int k = 1; k <= 1180; ++k) {
        const float t = static_cast<float>(k * 0.05);
        ASSERT_TRUE(content->runScenes(screen, t, 0.05f));
        content->clearScratch(screen, t, 0.05f);
        content->resetMainLayer(screen, t, 0.05f);
        for (int i = 0; i < 128 * 64; ++i) {
            const LayerCell& cell = content->scratch.cells[i];
            ASSERT_TRUE(cell.intensity == 0.0f && cell.alpha == 0.0f) << t << ": cell " << i;
        }
        for (int i = 0; i < 80 * 50; ++i) {
            const LayerCell& cell = content->mainLayer.cells[i];
            ASSERT_TRUE(cell.intensity == 0.0f && cell.palette == nullptr) << t << ": cell " << i;
        }
    }
}

TEST_F(PipelineScenes, FigureEightsShowInTheRedPalette) {
    // Half a second after the first beat only the figure-eight draws (the flash has faded);
    // it is composited with slot 11, the red ramp.
    CellImage screen = startScreen();
    ASSERT_TRUE(content->runScenes(screen, MainBeats[0] + 0.5f, 0.01f));
    const uint16_t redRamp[] = {0x00, 0x04, 0x40, 0x44, 0x4C, 0xC4, 0xCC, 0xCF, 0xFC, 0xFF};
    int shown = 0;
    for (int i = 0; i < 4000; ++i) {
        const Cell& cell = screen.cells[i];
        bool inRamp = false;
        for (uint16_t attribute : redRamp) inRamp = inRamp || cell.attribute == attribute;
        EXPECT_TRUE(inRamp) << i;
        shown += cell.attribute != 0x00;
    }
    EXPECT_GT(shown, 40);
}

} // namespace
