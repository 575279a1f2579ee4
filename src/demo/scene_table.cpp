// The SceneTable and the dispatcher that runs its rows by demo time.
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"

namespace {

// Longer than the demo: these rows run in every frame and decide for themselves what to draw.
constexpr float kWholeDemo = 280.0f;
constexpr float kDissolveSeconds = 2.6f;

} // namespace

const SceneEntry SceneTable[kSceneCount] = {
    {&DemoContent::clearBackBuffer, 0.0f, kWholeDemo},
    {&DemoContent::resetMainLayer, 0.0f, kWholeDemo},
    {&DemoContent::clearScratch, 0.0f, kWholeDemo},
    {&DemoContent::noiseFlashScene, 0.0f, kWholeDemo},
    {&DemoContent::clearScratch, 0.0f, kWholeDemo},
    {&DemoContent::ringsScene, 0.0f, kWholeDemo},
    {&DemoContent::clearScratch, 0.0f, kWholeDemo},
    {&DemoContent::bubblesScene, 0.0f, kWholeDemo},
    {&DemoContent::clearScratch, 0.0f, kWholeDemo},
    {&DemoContent::tunnelScene, 0.0f, kWholeDemo},
    {&DemoContent::figureEightScene, 0.0f, kWholeDemo},
    {&DemoContent::compositeScratch, 0.0f, kWholeDemo},
    {&DemoContent::convertMainLayer, 0.0f, kWholeDemo},
    {&DemoContent::captionsScene, 0.0f, kWholeDemo},
    {&DemoContent::dissolveScene, 0.0f, kDissolveSeconds},
};

bool DemoContent::runScenes(CellImage& backBuffer, float t, float delta) {
    return runSceneTable(SceneTable, kSceneCount, backBuffer, t, delta);
}

bool DemoContent::runSceneTable(const SceneEntry* table, int32_t count, CellImage& backBuffer,
                                float t, float delta) {
    if (t > FrameStepper::kDemoEndTime) return false;
    float base = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const SceneEntry& entry = table[i];
        const float start = base + entry.startOffset;
        if (entry.handler == nullptr) {
            base = start;
            continue;
        }
        // Both ends open: a window starting at 0 does not run at t = 0. The end is not
        // stored, so it keeps its double sum instead of being rounded to a float.
        if (start < t && t < static_cast<double>(entry.duration) + entry.startOffset + base)
            (this->*entry.handler)(backBuffer, t, delta);
    }
    return true;
}
