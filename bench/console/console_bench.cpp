// What present() costs over the whole demo at 100 frames per second, in every layout and
// colour mode (half with ▄ alone, and with ▀/▄ per character): bytes per frame (mean, 95th
// percentile, maximum) of the changes, and the CPU time to build them per frame; beside them
// the bytes of a full repaint of every frame and the time to build one busy frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "console/terminal_output.h"
#include "demo_frames.h"

namespace {

// An output for `layout` on a terminal that shows the whole grid of the widest layout.
std::unique_ptr<TerminalOutput> makeOutput(DisplayLayout layout, ColorMode mode,
                                           HalfGlyphs glyphs = HalfGlyphs::Lower) {
    auto out = std::make_unique<TerminalOutput>();
    if (!out->create(80, 50)) std::abort();
    out->halfGlyphs = glyphs;
    out->setColorMode(mode);
    out->setLayout(layout);
    out->setTerminalSize(160, 50);
    return out;
}

// Each iteration encodes the whole demo, frame after frame, as present() would (changes only;
// with `repaint`, every frame in full). Counters: bytes per frame and CPU time per frame.
void wholeDemo(benchmark::State& state, DisplayLayout layout, ColorMode mode, bool repaint,
               HalfGlyphs glyphs = HalfGlyphs::Lower) {
    const std::vector<CellImage>& frames = demoFrames();
    auto out = makeOutput(layout, mode, glyphs);
    std::vector<size_t> sizes(frames.size() - 1);
    for (auto _ : state) {
        out->invalidate();
        out->begin();
        out->appendFrame(frames[0]);
        for (size_t i = 1; i < frames.size(); ++i) {
            if (repaint) out->invalidate();
            out->begin();
            out->appendFrame(frames[i]);
            sizes[i - 1] = out->length;
        }
        benchmark::DoNotOptimize(out->bytes.get());
    }
    double sum = 0;
    for (size_t s : sizes) sum += static_cast<double>(s);
    std::sort(sizes.begin(), sizes.end());
    const double count = static_cast<double>(sizes.size());
    state.counters["bytes_mean"] = sum / count;
    state.counters["bytes_p95"] = static_cast<double>(sizes[sizes.size() * 95 / 100]);
    state.counters["bytes_max"] = static_cast<double>(sizes.back());
    state.counters["frames"] = count;
    // CPU seconds per frame (shown in s with an SI prefix: 12.3u is 12.3 microseconds).
    state.counters["cpu_per_frame"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

#define KAVEO_LAYOUT_BENCH(name, layout, mode)                                                     \
    BENCHMARK_CAPTURE(wholeDemo, name, layout, mode, false)                                        \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(3)

KAVEO_LAYOUT_BENCH(cells_16_colours, DisplayLayout::Cells, ColorMode::Colors16);
KAVEO_LAYOUT_BENCH(cells_256_colours, DisplayLayout::Cells, ColorMode::Colors256);
KAVEO_LAYOUT_BENCH(cells_24_bit, DisplayLayout::Cells, ColorMode::TrueColor);
KAVEO_LAYOUT_BENCH(wide_16_colours, DisplayLayout::Wide, ColorMode::Colors16);
KAVEO_LAYOUT_BENCH(wide_256_colours, DisplayLayout::Wide, ColorMode::Colors256);
KAVEO_LAYOUT_BENCH(wide_24_bit, DisplayLayout::Wide, ColorMode::TrueColor);
KAVEO_LAYOUT_BENCH(half_16_colours, DisplayLayout::Half, ColorMode::Colors16);
KAVEO_LAYOUT_BENCH(half_256_colours, DisplayLayout::Half, ColorMode::Colors256);
KAVEO_LAYOUT_BENCH(half_24_bit, DisplayLayout::Half, ColorMode::TrueColor);
KAVEO_LAYOUT_BENCH(cells_palette, DisplayLayout::Cells, ColorMode::Palette);
KAVEO_LAYOUT_BENCH(wide_palette, DisplayLayout::Wide, ColorMode::Palette);
KAVEO_LAYOUT_BENCH(half_palette, DisplayLayout::Half, ColorMode::Palette);

#define KAVEO_EITHER_BENCH(name, mode)                                                             \
    BENCHMARK_CAPTURE(wholeDemo, name, DisplayLayout::Half, mode, false, HalfGlyphs::Either)       \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(3)

KAVEO_EITHER_BENCH(half_either_16_colours, ColorMode::Colors16);
KAVEO_EITHER_BENCH(half_either_256_colours, ColorMode::Colors256);
KAVEO_EITHER_BENCH(half_either_24_bit, ColorMode::TrueColor);
KAVEO_EITHER_BENCH(half_either_palette, ColorMode::Palette);

BENCHMARK_CAPTURE(wholeDemo, full_repaint_cells_16_colours, DisplayLayout::Cells,
                  ColorMode::Colors16, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(wholeDemo, full_repaint_cells_24_bit, DisplayLayout::Cells, ColorMode::TrueColor,
                  true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(wholeDemo, full_repaint_wide_24_bit, DisplayLayout::Wide, ColorMode::TrueColor,
                  true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Two consecutive frames at 30 s (bubbles and tunnel: a busy frame), encoded alternately:
// each build is the change from one to the other, as in the running demo.
void buildFrame(benchmark::State& state, DisplayLayout layout, ColorMode mode, bool repaint) {
    const std::vector<CellImage>& frames = demoFrames();
    const CellImage* pair[2] = {&frames[3000], &frames[3001]};
    auto out = makeOutput(layout, mode);
    size_t bytes = 0;
    int i = 0;
    for (auto _ : state) {
        if (repaint) out->invalidate();
        out->begin();
        out->appendFrame(*pair[i]);
        i ^= 1;
        bytes += out->length;
        benchmark::DoNotOptimize(out->bytes.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(buildFrame, changes_cells_16_colours, DisplayLayout::Cells, ColorMode::Colors16,
                  false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, changes_cells_24_bit, DisplayLayout::Cells, ColorMode::TrueColor,
                  false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, changes_wide_24_bit, DisplayLayout::Wide, ColorMode::TrueColor, false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, changes_half_24_bit, DisplayLayout::Half, ColorMode::TrueColor, false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(buildFrame, full_repaint_wide_24_bit, DisplayLayout::Wide, ColorMode::TrueColor,
                  true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
