// The scenes around the effects: clearing the surfaces, compositing the figure-eights,
// converting the main Layer into console cells, and the captions and dissolve on top.
#include "demo/beat_tables.h"
#include "demo/demo_content.h"

namespace {

constexpr BlendCoefficients kReplace{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
constexpr BlendCoefficients kAdd{1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
constexpr float kPaletteThreshold = 0.01f;
constexpr uint8_t kFigureEightSlot = 11;

constexpr uint16_t kTransparent = '.';
constexpr int32_t kCaptionRow = 30; // back buffer row of the caption band's top

// One caption band: shown while MainBeats[first] <= t < MainBeats[last], taken from rows
// sourceRow .. sourceRow + rows - 1 of the caption sheet.
struct CaptionWindow {
    int32_t first;
    int32_t last;
    int32_t sourceRow;
    int32_t rows;
};

constexpr CaptionWindow kCaptionWindows[] = {
    {1, 2, 1, 14},  {2, 3, 16, 15}, {3, 5, 32, 15},  {5, 6, 1, 14},
    {6, 7, 16, 15}, {7, 9, 48, 15}, {9, 10, 64, 15},
};

} // namespace

float firstCaptionTime() {
    const CaptionWindow& first = kCaptionWindows[0];
    return 0.5f * (MainBeats[first.first] + MainBeats[first.last]);
}

void DemoContent::clearBackBuffer(CellImage& backBuffer, float, float) {
    backBuffer.fillRect(Cell{' ', 0x00}, 0, 0, backBuffer.width, backBuffer.height);
}

// Frames start from the empty Layer, not from the backdrop: laying the backdrop down first
// would be overwritten here at once, so it is not laid down at all. Outside the written part
// every cell is empty already, which is what the reset leaves.
void DemoContent::resetMainLayer(CellImage&, float, float) {
    if (mainDrawn.empty()) return;
    LayerCell empty{};
    empty.intensity = 0.0f;
    empty.palette = nullptr;
    mainLayer.fillRect(empty, kReplace, mainDrawn.left, mainDrawn.top, mainDrawn.width(),
                       mainDrawn.height());
    mainDrawn = CellArea{};
}

// Outside the drawn part every cell is zero already, which is what the clear leaves.
void DemoContent::clearScratch(CellImage&, float, float) {
    if (scratchDrawn.empty()) return;
    scratch.paintRect(Paint{0.0f, 0.0f}, kReplace, scratchDrawn.left, scratchDrawn.top,
                      scratchDrawn.width(), scratchDrawn.height());
    scratchDrawn = CellArea{};
}

// A zero scratch cell adds nothing to an intensity that is kept (k1 = 1; the main Layer's
// intensities are finite), up to the sign of a zero, which no level sees, and its alpha gives
// no palette: then only the drawn part can change mainLayer.
void DemoContent::compositeScratchWith(const Palette* palette, const BlendCoefficients& k) {
    CellArea area{0, 0, scratch.width, scratch.height};
    if (k.k1 == 1.0f) area = scratchDrawn;
    if (area.empty()) return;
    mainLayer.composite(scratch, palette, kPaletteThreshold, k, area.left, area.top, area.left,
                        area.top, area.width(), area.height());
    mainDrawn.add(area);
}

void DemoContent::compositeScratch(CellImage&, float, float) {
    compositeScratchWith(palettes[kFigureEightSlot], kAdd);
}

// A cell without a palette leaves the back buffer as it is: only the written part is
// converted.
void DemoContent::convertMainLayer(CellImage& backBuffer, float, float) {
    backBuffer.convertLayer(mainLayer, mainDrawn.left, mainDrawn.top, mainDrawn.left, mainDrawn.top,
                            mainDrawn.width(), mainDrawn.height());
}

void DemoContent::captionsScene(CellImage& backBuffer, float t, float) {
    for (const CaptionWindow& window : kCaptionWindows) {
        if (MainBeats[window.first] <= t && t < MainBeats[window.last]) {
            backBuffer.copyKeyed(textImage, kTransparent, 0, window.sourceRow, 0, kCaptionRow,
                                 textImage.width, window.rows);
            return;
        }
    }
}

void DemoContent::dissolveScene(CellImage& backBuffer, float t, float) {
    dissolve.step(t);
    backBuffer.copyKeyed(dissolve.picture, 0, 0, 0, 0, 0, dissolve.picture.width,
                         dissolve.picture.height);
}
