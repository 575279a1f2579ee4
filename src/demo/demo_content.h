// DemoContent: everything the scenes share (palettes, working surfaces, caption pictures,
// effect state), its loading and teardown, and the scene dispatcher that draws one frame
// from the demo time by running the rows of the SceneTable whose windows contain it.
#pragma once

#include <cstdint>

#include "demo/beat_rings.h"
#include "demo/bubbles.h"
#include "demo/dissolve.h"
#include "demo/tunnel.h"
#include "draw/cell_area.h"
#include "gfx/cell.h"
#include "gfx/layer.h"
#include "gfx/palette.h"
#include "gfx/texture.h"

struct DemoContent;

// A scene: draws for the absolute demo time t and the frame delta, both in seconds.
using SceneHandler = void (DemoContent::*)(CellImage& backBuffer, float t, float delta);

struct SceneEntry {
    SceneHandler handler; // empty: a section mark that moves the later windows by startOffset
    float startOffset;    // seconds after the running base
    float duration;       // seconds
};

constexpr int32_t kSceneCount = 15;
// The rows in layering order: clears, effects, conversion, captions, dissolve.
extern const SceneEntry SceneTable[kSceneCount];

// The middle of the first caption's showing, in seconds: where a still of it is taken.
float firstCaptionTime();

struct DemoContent {
    PaletteSet palettes;
    Texture scratch;     // 128 x 64 drawing surface of the effects (alpha Layer)
    Layer mainLayer;     // 80 x 50 picture of the frame (palette Layer)
    CellImage textImage; // 80 x 80 sheet of caption pictures
    Layer backdrop;      // 80 x 50, palette slot 9
    BubbleField bubbles;
    BeatRings rings;
    TunnelEffect tunnel;
    DissolveEffect dissolve;
    // The parts of scratch and mainLayer the scenes wrote since they were last cleared (all
    // of them after load); every cell outside is zero in scratch, empty (0.0, no palette) in
    // mainLayer. Clearing, compositing and converting visit only these parts. Whatever writes
    // either Layer outside the scenes must add what it wrote.
    CellArea scratchDrawn;
    CellArea mainDrawn;

    DemoContent() = default;
    DemoContent(const DemoContent&) = delete;
    DemoContent& operator=(const DemoContent&) = delete;
    ~DemoContent() { release(); }

    // Builds the members in a fixed order (which also fixes the order of the random
    // numbers: the bubbles draw first, then the dissolve). False at the first failure; what
    // was built stays until release().
    bool load();

    // Draws the frame for demo time t into backBuffer. False once t is past the end
    // (FrameStepper::kDemoEndTime; nothing drawn), true otherwise; at t <= 0 no scene runs
    // and backBuffer is kept.
    bool runScenes(CellImage& backBuffer, float t, float delta);

    // The dispatcher over any table of `count` rows (runScenes passes SceneTable).
    bool runSceneTable(const SceneEntry* table, int32_t count, CellImage& backBuffer, float t,
                       float delta);

    // Frees the members in reverse order, the palettes last. Safe when partly loaded and
    // when called twice.
    void release();

    // The pipeline scenes.
    void clearBackBuffer(CellImage& backBuffer, float t, float delta);
    void resetMainLayer(CellImage& backBuffer, float t, float delta);
    void clearScratch(CellImage& backBuffer, float t, float delta);
    void compositeScratch(CellImage& backBuffer, float t, float delta);
    void convertMainLayer(CellImage& backBuffer, float t, float delta);
    void captionsScene(CellImage& backBuffer, float t, float delta);
    void dissolveScene(CellImage& backBuffer, float t, float delta);

    // Composites scratch into mainLayer with `palette` where its alpha exceeds 0.01: only the
    // drawn part, and nothing when nothing was drawn, if the blend keeps the old intensity
    // (k1 = 1); all of it otherwise.
    void compositeScratchWith(const Palette* palette, const BlendCoefficients& k);

    // The effect scenes.
    void noiseFlashScene(CellImage& backBuffer, float t, float delta);
    void ringsScene(CellImage& backBuffer, float t, float delta);
    void bubblesScene(CellImage& backBuffer, float t, float delta);
    void tunnelScene(CellImage& backBuffer, float t, float delta);
    void figureEightScene(CellImage& backBuffer, float t, float delta);
};
