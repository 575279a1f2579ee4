// Bytes present() writes per frame over the whole demo at 100 frames per second (mean and
// 95th percentile, 16-colour and 24-bit), beside a full repaint of every cell, and the time
// to build one frame's bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "console/terminal_output.h"
#include "demo/demo_content.h"
#include "gfx/next_random.h"

namespace {

constexpr float kDt = 0.01f;

struct ByteStats {
    double mean = 0;
    double p95 = 0;
    double max = 0;
};

ByteStats statsOf(std::vector<size_t> sizes) {
    ByteStats stats;
    if (sizes.empty()) return stats;
    double sum = 0;
    for (size_t s : sizes) sum += static_cast<double>(s);
    std::sort(sizes.begin(), sizes.end());
    stats.mean = sum / static_cast<double>(sizes.size());
    stats.p95 = static_cast<double>(sizes[sizes.size() * 95 / 100]);
    stats.max = static_cast<double>(sizes.back());
    return stats;
}

// The whole demo as the shell plays it (grey dots first, then a frame every 10 ms of demo
// time), each frame encoded as present() would: changes only, and as a full repaint.
struct DemoRun {
    ByteStats changes16, changes24, repaint16, repaint24;
    size_t frames = 0;
};

const DemoRun& demoRun() {
    static DemoRun run = [] {
        DemoRun r;
        auto content = std::make_unique<DemoContent>();
        CellImage back;
        RandomState = 1;
        if (!content->load() || !back.create(80, 50)) std::abort();
        back.fillRect(Cell{'.', 0x07}, 0, 0, 80, 50);
        TerminalOutput out[4];
        const ColorMode modes[4] = {ColorMode::Colors16, ColorMode::TrueColor, ColorMode::Colors16,
                                    ColorMode::TrueColor};
        std::vector<size_t> sizes[4];
        for (int i = 0; i < 4; ++i) {
            if (!out[i].create(80, 50)) std::abort();
            out[i].setColorMode(modes[i]);
            out[i].setTerminalSize(80, 50);
            out[i].begin();
            out[i].appendFrame(back);
        }
        for (int k = 1;; ++k) {
            const float t = static_cast<float>(k) * kDt;
            if (!content->runScenes(back, t, kDt)) break;
            for (int i = 0; i < 4; ++i) {
                if (i >= 2) out[i].invalidate();
                out[i].begin();
                out[i].appendFrame(back);
                sizes[i].push_back(out[i].length);
            }
        }
        r.frames = sizes[0].size();
        r.changes16 = statsOf(sizes[0]);
        r.changes24 = statsOf(sizes[1]);
        r.repaint16 = statsOf(sizes[2]);
        r.repaint24 = statsOf(sizes[3]);
        return r;
    }();
    return run;
}

void report(benchmark::State& state, const ByteStats& stats) {
    state.counters["bytes_mean"] = stats.mean;
    state.counters["bytes_p95"] = stats.p95;
    state.counters["bytes_max"] = stats.max;
    state.counters["frames"] = static_cast<double>(demoRun().frames);
}

void bytesPerFrame(benchmark::State& state, int which) {
    const DemoRun& run = demoRun();
    const ByteStats* stats[4] = {&run.changes16, &run.changes24, &run.repaint16, &run.repaint24};
    for (auto _ : state) benchmark::DoNotOptimize(stats[which]);
    report(state, *stats[which]);
}

BENCHMARK_CAPTURE(bytesPerFrame, changes_16_colours, 0)->Iterations(1);
BENCHMARK_CAPTURE(bytesPerFrame, changes_24_bit, 1)->Iterations(1);
BENCHMARK_CAPTURE(bytesPerFrame, full_repaint_16_colours, 2)->Iterations(1);
BENCHMARK_CAPTURE(bytesPerFrame, full_repaint_24_bit, 3)->Iterations(1);

// Two consecutive demo frames at time t, to encode alternately: each build is the change
// from one to the other, as in the running demo.
struct FramePair {
    CellImage frames[2];
};

FramePair makePair(float t) {
    FramePair pair;
    auto content = std::make_unique<DemoContent>();
    CellImage back;
    RandomState = 1;
    if (!content->load() || !back.create(80, 50)) std::abort();
    for (int k = 1;; ++k) {
        const float frameTime = static_cast<float>(k) * kDt;
        if (frameTime >= t + kDt * 1.5f) break;
        content->runScenes(back, frameTime, kDt);
        if (frameTime >= t - kDt * 0.5f) {
            CellImage& copy = pair.frames[frameTime < t + kDt * 0.5f ? 0 : 1];
            if (!copy.cells && !copy.create(80, 50)) std::abort();
            std::copy(back.cells.get(), back.cells.get() + 4000, copy.cells.get());
        }
    }
    return pair;
}

void buildFrame(benchmark::State& state, ColorMode mode, bool repaint) {
    static const FramePair pair = makePair(30.0f); // bubbles and tunnel: a busy frame
    TerminalOutput out;
    if (!out.create(80, 50)) std::abort();
    out.setColorMode(mode);
    out.setTerminalSize(80, 50);
    size_t bytes = 0;
    int i = 0;
    for (auto _ : state) {
        if (repaint) out.invalidate();
        out.begin();
        out.appendFrame(pair.frames[i]);
        i ^= 1;
        bytes += out.length;
        benchmark::DoNotOptimize(out.bytes.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(buildFrame, changes_16_colours, ColorMode::Colors16, false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, changes_24_bit, ColorMode::TrueColor, false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, full_repaint_24_bit, ColorMode::TrueColor, true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
