// DemoContent's loading and teardown.
#include "demo/demo_content.h"

#include "gfx/resource_blob.h"

namespace {

constexpr uint8_t kBackdropSlot = 9;

} // namespace

bool DemoContent::load() {
    ResourceBlob blob;
    if (blob.load("palette.bin", kResourceTypeData) == nullptr) return false;
    if (!palettes.load(blob)) return false;
    if (!scratch.create(128, 64)) return false;
    scratchDrawn = CellArea{0, 0, scratch.width, scratch.height};
    if (!mainLayer.create(80, 50)) return false;
    mainDrawn = CellArea{0, 0, mainLayer.width, mainLayer.height};
    if (blob.load("text.bin", kResourceTypeData) == nullptr) return false;
    if (!textImage.loadPairs(blob, 80)) return false;
    if (blob.load("backdrop.raw", kResourceTypeData) == nullptr) return false;
    if (!backdrop.loadBytes(blob, palettes[kBackdropSlot], 80)) return false;
    // The bubbles are the first to draw random numbers, the dissolve the second.
    if (!bubbles.create()) return false;
    if (!tunnel.load(128, 64)) return false;
    if (!dissolve.create(80, 50)) return false;
    return true;
}

void DemoContent::release() {
    dissolve.release();
    tunnel.release();
    bubbles = BubbleField{};
    backdrop = Layer{};
    textImage = CellImage{};
    mainLayer = Layer{};
    scratch = Texture{};
    scratchDrawn = CellArea{};
    mainDrawn = CellArea{};
    // Last: the Layers above held references to these palettes.
    for (auto& slot : palettes.slots) slot.reset();
}
