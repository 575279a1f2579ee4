// The standard the terminal output is measured against: the whole demo's frames drawn as an
// ncurses program draws them (newterm on the xterm-256color terminfo, 80 x 50, one colour
// pair per cell attribute set with attr_set, code page 437 glyphs as wide characters, one
// refresh per frame) into a memory file that counts the bytes; 16 colours, cells layout.
// Beside it, our output of the same frames on the same terminal: ours_bytes_ratio (target
// <= 0.51) and ours_cpu_ratio (target <= 0.03). CPU times are this thread's, write() included.
#include <benchmark/benchmark.h>

#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "console/classic_colors.h"
#include "console/terminal_output.h"
#include "demo_frames.h"
#include "gfx/cp437.h"

namespace {

constexpr int kColumns = 80;
constexpr int kRows = 50;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// An ncurses screen writing into a memory file, whose bytes are counted and dropped after
// every frame.
struct CursesScreen {
    FILE* out = nullptr;
    FILE* in = nullptr;
    SCREEN* screen = nullptr;

    bool open() {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        setenv("TERM", "xterm-256color", 1);
        setenv("LINES", "50", 1);
        setenv("COLUMNS", "80", 1);
        const int fd = memfd_create("ncurses-output", 0);
        if (fd < 0) return false;
        out = fdopen(fd, "w");
        in = std::fopen("/dev/null", "r");
        if (!out || !in) return false;
        screen = newterm("xterm-256color", out, in);
        if (!screen) return false;
        set_term(screen);
        if (LINES != kRows || COLS != kColumns || start_color() != OK) return false;
        // One pair per attribute: pair a + 1 has the attribute's foreground and background.
        for (int attribute = 0; attribute < 256; ++attribute) {
            const short fg =
                static_cast<short>(ansiColorIndex(static_cast<uint8_t>(attribute & 15)));
            const short bg =
                static_cast<short>(ansiColorIndex(static_cast<uint8_t>(attribute >> 4)));
            if (init_pair(static_cast<short>(attribute + 1), fg, bg) != OK) return false;
        }
        return true;
    }

    // Draws `frame` into stdscr and refreshes; returns the bytes the refresh wrote.
    long draw(const CellImage& frame) {
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < kColumns; ++x) {
                const Cell& cell = frame.cells[y * kColumns + x];
                const wchar_t glyph[2] = {
                    static_cast<wchar_t>(kCp437Unicode[cell.character & 0xFF]), 0};
                cchar_t shown;
                setcchar(&shown, glyph, A_NORMAL, static_cast<short>((cell.attribute & 0xFF) + 1),
                         nullptr);
                mvadd_wch(y, x, &shown);
            }
        }
        refresh();
        std::fflush(out);
        return static_cast<long>(lseek(fileno(out), 0, SEEK_CUR));
    }

    // Forgets the bytes written so far (ncurses writes to the descriptor itself).
    void rewind() {
        std::fflush(out);
        if (ftruncate(fileno(out), 0) != 0 || lseek(fileno(out), 0, SEEK_SET) != 0) std::abort();
    }

    ~CursesScreen() {
        if (screen) {
            endwin();
            delscreen(screen);
        }
        if (out) std::fclose(out);
        if (in) std::fclose(in);
    }
};

// Our output of every frame on an 80 x 50 terminal: the bytes of each and the CPU seconds.
double ourWholeDemo(std::vector<size_t>& sizes) {
    const std::vector<CellImage>& frames = demoFrames();
    auto ours = std::make_unique<TerminalOutput>();
    if (!ours->create(kColumns, kRows)) std::abort();
    ours->setColorMode(ColorMode::Colors16);
    ours->setLayout(DisplayLayout::Cells);
    ours->setTerminalSize(kColumns, kRows);
    sizes.resize(frames.size());
    const double start = threadSeconds();
    for (size_t i = 0; i < frames.size(); ++i) {
        ours->begin();
        ours->appendFrame(frames[i]);
        sizes[i] = ours->length;
    }
    return threadSeconds() - start;
}

double mean(const std::vector<size_t>& values, size_t from) {
    double sum = 0;
    for (size_t i = from; i < values.size(); ++i) sum += static_cast<double>(values[i]);
    return sum / static_cast<double>(values.size() - from);
}

// Each iteration draws the whole demo through ncurses, frame after frame. The first frame
// (a full screen on both sides) is left out of the means, as in the other console benchmarks.
void ncursesWholeDemo(benchmark::State& state) {
    const std::vector<CellImage>& frames = demoFrames();
    CursesScreen curses;
    if (!curses.open()) {
        state.SkipWithError("ncurses did not start on xterm-256color at 80 x 50");
        return;
    }
    std::vector<size_t> sizes(frames.size());
    double cpu = 0;
    int passes = 0;
    for (auto _ : state) {
        clearok(curscr, TRUE); // each pass starts from an unknown screen
        for (size_t i = 0; i < frames.size(); ++i) {
            curses.rewind();
            const double start = threadSeconds();
            sizes[i] = static_cast<size_t>(curses.draw(frames[i]));
            if (i > 0) cpu += threadSeconds() - start;
        }
        ++passes;
    }
    const double count = static_cast<double>(frames.size() - 1);
    const double cursesBytes = mean(sizes, 1);
    const double cursesCpu = cpu / passes / count;
    std::vector<size_t> ourSizes;
    double ourCpu = 0;
    for (int i = 0; i < passes; ++i) ourCpu += ourWholeDemo(ourSizes);
    ourCpu = ourCpu / passes / count;

    state.counters["bytes_mean"] = cursesBytes;
    std::sort(sizes.begin() + 1, sizes.end());
    state.counters["bytes_p95"] = static_cast<double>(sizes[1 + (sizes.size() - 1) * 95 / 100]);
    state.counters["frames"] = count;
    // Seconds per frame, shown with an SI prefix: 12.3u is 12.3 microseconds.
    state.counters["cpu_per_frame"] = cursesCpu;
    state.counters["ours_bytes_mean"] = mean(ourSizes, 1);
    state.counters["ours_cpu_per_frame"] = ourCpu;
    state.counters["ours_bytes_ratio"] = mean(ourSizes, 1) / cursesBytes;
    state.counters["ours_cpu_ratio"] = ourCpu / cursesCpu;
}
BENCHMARK(ncursesWholeDemo)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
