// Vector drawing into the 128x64 scratch surface: a radius-6 disc and a ring, as the
// bubbles and the beat rings draw them (horizontal radius 1.2 times the vertical).
#include <benchmark/benchmark.h>

#include "gfx/layer.h"
#include "gfx/texture.h"

namespace {

const BlendCoefficients kAdd{0, 1, 1, 0, 1, 1, 0};

void BM_DrawDiscRadius6(benchmark::State& state) {
    Texture scratch;
    scratch.create(128, 64);
    const Paint paint{0.8f, 0.5f};
    float offset = 0.0f;
    for (auto _ : state) {
        scratch.drawDisc(paint, kAdd, 60.3f + offset, 30.7f, 7.2f, 6.0f);
        offset = offset > 1.0f ? 0.0f : offset + 0.013f;
        benchmark::DoNotOptimize(scratch.cells.get());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawDiscRadius6);

void BM_DrawRing(benchmark::State& state) {
    const float ry = static_cast<float>(state.range(0));
    Texture scratch;
    scratch.create(128, 64);
    const Paint paint{0.8f, 0.5f};
    float offset = 0.0f;
    for (auto _ : state) {
        scratch.drawRing(paint, kAdd, 64.3f + offset, 32.2f, 1.2f * ry, ry);
        offset = offset > 1.0f ? 0.0f : offset + 0.013f;
        benchmark::DoNotOptimize(scratch.cells.get());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawRing)->Arg(6)->Arg(25);

} // namespace
