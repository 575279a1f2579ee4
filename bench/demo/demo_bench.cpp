// Cost of one frame of the demo (DemoContent::runScenes) at moments that exercise different
// scenes, each with the state the frames before it leave behind (dt 0.01).
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "demo/demo_content.h"
#include "gfx/next_random.h"

namespace {

constexpr double kDt = 0.01;

struct WarmFrame {
    std::unique_ptr<DemoContent> content = std::make_unique<DemoContent>();
    CellImage backBuffer;
};

// Loads a fresh content as a run would (random sequence from its start) and draws every
// frame before time t, once per t.
WarmFrame& warmFrameAt(float t) {
    static std::map<float, WarmFrame> frames;
    auto found = frames.find(t);
    if (found != frames.end()) return found->second;
    WarmFrame& frame = frames[t];
    RandomState = 1;
    if (!frame.content->load() || !frame.backBuffer.create(80, 50)) std::abort();
    frame.backBuffer.fillRect(Cell{'.', 0x07}, 0, 0, 80, 50);
    for (int k = 1;; ++k) {
        const float frameTime = static_cast<float>(k * kDt);
        if (frameTime >= t) break;
        frame.content->runScenes(frame.backBuffer, frameTime, static_cast<float>(kDt));
    }
    return frame;
}

void runScenesAt(benchmark::State& state, float t) {
    WarmFrame& frame = warmFrameAt(t);
    for (auto _ : state) {
        frame.content->runScenes(frame.backBuffer, t, static_cast<float>(kDt));
        benchmark::DoNotOptimize(frame.backBuffer.cells.get());
        benchmark::ClobberMemory();
    }
}

// 3.0 first flash; 9.7 rings, figure-eights, captions; 16.0 noise rise and rings; 20.0 and
// 21.0 bubbles with noise bursts and the palette switch; 30.0 and 45.0 bubbles and tunnel;
// 58.0 tunnel fading out (bubbles still moving).
BENCHMARK_CAPTURE(runScenesAt, t3_0, 3.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t9_7, 9.7f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t16_0, 16.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t20_0, 20.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t21_0, 21.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t30_0, 30.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t45_0, 45.0f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runScenesAt, t58_0, 58.0f)->Unit(benchmark::kMicrosecond);

// The two effects with per-frame work of their own, in the state of the frame at 30 s.
void bubblesUpdate(benchmark::State& state) {
    WarmFrame& frame = warmFrameAt(30.0f);
    BubbleField field = frame.content->bubbles;
    for (auto _ : state) {
        BubbleField moving = field;
        moving.update(30.0f, static_cast<float>(kDt));
        benchmark::DoNotOptimize(moving.bubbles[0].x);
    }
}
BENCHMARK(bubblesUpdate)->Unit(benchmark::kMicrosecond);

void tunnelRender(benchmark::State& state) {
    WarmFrame& frame = warmFrameAt(30.0f);
    for (auto _ : state) {
        frame.content->tunnel.render(30.0f, static_cast<float>(kDt), 50, 50);
        benchmark::DoNotOptimize(frame.content->tunnel.target.cells.get());
    }
}
BENCHMARK(tunnelRender)->Unit(benchmark::kMicrosecond);

} // namespace
