// Fuzzes the core's loaders of embedded data with any bytes, any row width and a blob
// without data, and uses what they built the way the demo does, so that a size that does not
// match the cells shows up as a read outside them.
//
// Input: selector byte (which loader), row width (2 bytes, signed, little-endian), then the
// blob. Selector bit 7 set: the loader runs twice, over a first result from the same bytes
// (a reload must not leave sizes and cells that disagree).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gfx/cell.h"
#include "gfx/layer.h"
#include "gfx/palette.h"
#include "gfx/resource_blob.h"
#include "gfx/texture.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "resource loaders: %s\n", what);
    std::abort();
}

// The loaders' own contract: on success, width x height cells of one row width fit the
// blob; the cells past the last whole row are never reachable.
void checkGrid(bool ok, int32_t width, int32_t height, bool hasCells, int32_t rowWidth,
               uint64_t elements) {
    if (!ok) return;
    check(width == rowWidth && height >= 0, "loaded grid without the row width asked for");
    check(static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= elements,
          "loaded grid larger than its data");
    check(hasCells || elements == 0, "loaded grid without cells");
}

// Reads every cell within width x height, as the drawing code does (ASan sees any overrun).
template <class Cells> uint32_t touch(const Cells& cells, int32_t width, int32_t height) {
    if (!cells || width <= 0 || height <= 0) return 0;
    uint32_t sum = 0;
    const int64_t count = static_cast<int64_t>(width) * height;
    for (int64_t i = 0; i < count; ++i) sum += reinterpret_cast<const uint8_t*>(&cells[i])[0];
    return sum;
}

// Samples the texture over and around its extent, where the wrap masks do their work.
void sampleAround(const Texture& texture) {
    static constexpr float kCoordinates[] = {-1.5f, -0.25f, 0.0f, 0.3f, 0.999f, 1.0f, 7.75f};
    LayerCell out{};
    for (float u : kCoordinates) {
        for (float v : kCoordinates) {
            texture.sample(out, u, v);
            check(out.intensity == out.intensity && out.alpha == out.alpha, "sample not a number");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t selector = data[0];
    const int32_t rowWidth = static_cast<int16_t>(data[1] | data[2] << 8);
    ResourceBlob blob;
    if (size > 3) {
        blob.data = data + 3;
        blob.size = static_cast<uint32_t>(size - 3);
    } // else a blob without data, as a failed ResourceBlob::load leaves it
    const int runs = (selector & 0x80) != 0 ? 2 : 1;
    const uint64_t bytes = blob.size;
    volatile uint32_t sink = 0;

    switch (selector % 4) {
    case 0: {
        PaletteSet palettes;
        for (int run = 0; run < runs; ++run) {
            const bool ok = palettes.load(blob);
            // The same bytes again give every slot a second time: a non-empty blob must fail.
            if (run == 1 && ok) check(bytes < 2, "a palette slot loaded twice");
        }
        for (const auto& slot : palettes.slots) {
            if (slot) sink = sink + slot->entries[0].character + slot->entries[255].attribute;
        }
        break;
    }
    case 1: {
        CellImage image;
        for (int run = 0; run < runs; ++run) {
            const bool ok = image.loadPairs(blob, rowWidth);
            checkGrid(ok, image.width, image.height, image.cells != nullptr, rowWidth, bytes / 2);
            sink = sink + touch(image.cells, image.width, image.height);
        }
        break;
    }
    case 2: {
        Palette palette{};
        Layer layer;
        for (int run = 0; run < runs; ++run) {
            const bool ok = layer.loadBytes(blob, &palette, rowWidth);
            checkGrid(ok, layer.width, layer.height, layer.cells != nullptr, rowWidth, bytes);
            sink = sink + touch(layer.cells, layer.width, layer.height);
        }
        break;
    }
    default: {
        Texture texture;
        for (int run = 0; run < runs; ++run) {
            const bool ok = texture.loadBytes(0.5f, blob, rowWidth);
            checkGrid(ok, texture.width, texture.height, texture.cells != nullptr, rowWidth, bytes);
            sink = sink + touch(texture.cells, texture.width, texture.height);
            sampleAround(texture);
        }
        break;
    }
    }
    (void)sink;
    return 0;
}
