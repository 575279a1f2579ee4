// The per-frame hot operations of the cell core: compositing the drawing surface, converting
// the main Layer into Cells, and sampling a Texture once per tunnel cell.
#include <benchmark/benchmark.h>

#include "gfx/cell.h"
#include "gfx/layer.h"
#include "gfx/palette.h"
#include "gfx/texture.h"

namespace {

// The scenes' additive composite of the 128x64 scratch onto the 80x50 main Layer.
void BM_Composite128x64Onto80x50(benchmark::State& state) {
    static Palette palette{};
    Texture scratch;
    scratch.create(128, 64);
    for (int i = 0; i < 128 * 64; ++i) {
        scratch.cells[i].intensity = static_cast<float>(i % 97) / 97.0f;
        scratch.cells[i].alpha = static_cast<float>(i % 13) / 10.0f - 0.1f;
    }
    Layer main;
    main.create(80, 50);
    const BlendCoefficients add{1, 1, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        main.composite(scratch, &palette, 0.01f, add, 0, 0, 0, 0, 128, 64);
        benchmark::DoNotOptimize(main.cells.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 80 * 50);
}
BENCHMARK(BM_Composite128x64Onto80x50);

void BM_ConvertLayer80x50(benchmark::State& state) {
    static Palette palette{};
    for (int i = 0; i < 256; ++i) palette.entries[i] = Cell{static_cast<uint16_t>(i), 0x17};
    Layer main;
    main.create(80, 50);
    for (int i = 0; i < 80 * 50; ++i) {
        main.cells[i].intensity = static_cast<float>(i % 300) / 250.0f - 0.1f;
        main.cells[i].palette = (i % 7 == 0) ? nullptr : &palette;
    }
    CellImage screen;
    screen.create(80, 50);
    for (auto _ : state) {
        screen.convertLayer(main, 0, 0, 0, 0, 80, 50);
        benchmark::DoNotOptimize(screen.cells.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 80 * 50);
}
BENCHMARK(BM_ConvertLayer80x50);

// 2,500 samples: the tunnel's 50x50 cells of one frame, at coordinates that wrap.
void BM_TextureSample2500(benchmark::State& state) {
    Texture texture;
    texture.create(128, 64);
    for (int i = 0; i < 128 * 64; ++i) {
        texture.cells[i].intensity = 1.0f;
        texture.cells[i].alpha = static_cast<float>((i * 37) % 256) / 255.0f;
    }
    Texture target;
    target.create(128, 64);
    float phase = 0.0f;
    for (auto _ : state) {
        for (int y = 0; y < 50; ++y) {
            for (int x = 0; x < 50; ++x) {
                const float u = phase + static_cast<float>(x) * 0.0371f - 0.9f;
                const float v = static_cast<float>(y) * 0.0529f - phase * 2.0f;
                texture.sample(target.cells[y * 128 + x], u, v);
            }
        }
        phase += 0.001f;
        benchmark::DoNotOptimize(target.cells.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2500);
}
BENCHMARK(BM_TextureSample2500);

} // namespace
