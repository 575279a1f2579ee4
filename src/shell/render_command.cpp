// The headless renderer: its options, the frame formats, the frame loop, and the usage of
// the headless commands.
#include "shell/render_command.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "command/option_value.h"
#include "command/out_of_memory.h"
#include "command/output_file.h"
#include "console/display_layout.h"
#include "console/terminal_output.h"
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"
#include "gfx/cell.h"
#include "gfx/cp437.h"
#include "gfx/resource_blob.h"
#include "media/resource_store.h"

namespace {

constexpr double kMinimumDt = 0.0001; // at most 10,000 frames per demo second
constexpr double kMaximumDt = 60.0;
constexpr uint64_t kMaximumFrame = 1000000000000ull; // keeps k x dt exact in a double
constexpr uint64_t kProgressEvery = 50;              // frames between progress updates

// False with `error` set when `p` holds no number or one above kMaximumFrame.
bool parseFrameNumber(const char*& p, uint64_t& value, const char* what, std::string& error) {
    const char* start = p;
    if (*p < '0' || *p > '9') {
        error = std::string("--frames: expected ") + what + " at \"" + start + "\"";
        return false;
    }
    value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > kMaximumFrame) {
            error = "--frames: frame number " +
                    std::string(start, std::strspn(start, "0123456789")) +
                    " is too large (at most " + std::to_string(kMaximumFrame) + ")";
            return false;
        }
        ++p;
    }
    return true;
}

bool writeAll(std::FILE* out, const void* data, size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, out) == size) return true;
    if (errno == 0) errno = EIO;
    return false;
}

} // namespace

bool parseFrameList(const char* text, std::vector<FrameRange>& ranges, std::string& error) {
    ranges.clear();
    const char* p = text;
    for (;;) {
        FrameRange range{};
        const char* start = p;
        if (!parseFrameNumber(p, range.first, "a frame number", error)) return false;
        range.last = range.first;
        if (*p == '-') {
            ++p;
            if (!parseFrameNumber(p, range.last, "the end of the range", error)) return false;
        }
        if (range.first == 0) {
            error = "--frames: frames are numbered from 1";
            return false;
        }
        if (range.last < range.first) {
            error = "--frames: range \"" + std::string(start, p) + "\" runs backwards";
            return false;
        }
        ranges.push_back(range);
        if (*p == '\0') break;
        if (*p != ',') {
            error = "--frames: unexpected \"" + std::string(p) + "\"";
            return false;
        }
        ++p;
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const FrameRange& a, const FrameRange& b) { return a.first < b.first; });
    size_t kept = 0;
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first <= ranges[kept].last + 1) {
            ranges[kept].last = std::max(ranges[kept].last, ranges[i].last);
        } else {
            ranges[++kept] = ranges[i];
        }
    }
    ranges.resize(kept + 1);
    return true;
}

bool parseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error) {
    bool seenDt = false, seenFrames = false, seenFormat = false, seenOutput = false;
    bool seenLayout = false, seenColors = false;
    for (int i = 0; i < argc; ++i) {
        const char* value = nullptr;
        const char* name = argv[i];
        bool* seen = nullptr;
        if (optionValue(argc, argv, i, "--dt", value)) {
            seen = &seenDt;
        } else if (optionValue(argc, argv, i, "--frames", value)) {
            seen = &seenFrames;
        } else if (optionValue(argc, argv, i, "--format", value)) {
            seen = &seenFormat;
        } else if (optionValue(argc, argv, i, "--output", value)) {
            seen = &seenOutput;
        } else if (optionValue(argc, argv, i, "--layout", value)) {
            seen = &seenLayout;
        } else if (optionValue(argc, argv, i, "--colors", value)) {
            seen = &seenColors;
        } else {
            error = "unknown argument \"" + std::string(name) + "\"";
            return false;
        }
        if (!acceptOptionValue(name, value, *seen, error)) return false;

        if (seen == &seenDt) {
            if (!parseNumber(value, kMinimumDt, kMaximumDt, options.dt)) {
                error =
                    "--dt: expected seconds from 0.0001 to 60, got \"" + std::string(value) + "\"";
                return false;
            }
        } else if (seen == &seenFrames) {
            if (!parseFrameList(value, options.frames, error)) return false;
        } else if (seen == &seenFormat) {
            if (std::strcmp(value, "cells") == 0) {
                options.format = FrameFormat::Cells;
            } else if (std::strcmp(value, "text") == 0) {
                options.format = FrameFormat::Text;
            } else if (std::strcmp(value, "ansi") == 0) {
                options.format = FrameFormat::Ansi;
            } else {
                error =
                    "--format: expected cells, text or ansi, got \"" + std::string(value) + "\"";
                return false;
            }
        } else if (seen == &seenLayout) {
            if (!parseDisplayLayout(value, options.layout)) {
                error = "--layout: expected auto, wide, half or cells, got \"" +
                        std::string(value) + "\"";
                return false;
            }
        } else if (seen == &seenColors) {
            if (!parseColorMode(value, options.colors)) {
                error = "--colors: expected auto, 16, 256, 24bit or palette, got \"" +
                        std::string(value) + "\"";
                return false;
            }
        } else {
            options.output = value;
        }
    }
    if ((seenLayout || seenColors) && options.format != FrameFormat::Ansi) {
        error = std::string(seenLayout ? "--layout" : "--colors") + " goes with --format ansi";
        return false;
    }
    return true;
}

size_t formatFrameText(const CellImage& frame, char* out) {
    size_t at = 0;
    for (int32_t y = 0; y < frame.height; ++y) {
        const Cell* row = &frame.cells[static_cast<size_t>(y) * static_cast<size_t>(frame.width)];
        for (int32_t x = 0; x < frame.width; ++x) {
            const Utf8Glyph& glyph = cp437Utf8(static_cast<uint8_t>(row[x].character));
            for (uint8_t i = 0; i < glyph.length; ++i) out[at++] = glyph.bytes[i];
        }
        out[at++] = '\n';
    }
    out[at++] = '\n';
    return at;
}

bool startAnsiFrames(TerminalOutput& output, DisplayLayout layout, ColorMode mode) {
    if (!output.create(FrameStepper::kScreenWidth, FrameStepper::kScreenHeight)) return false;
    // No terminal to fit here: Auto's first choice.
    const DisplayLayout shown = layout == DisplayLayout::Auto ? DisplayLayout::Wide : layout;
    output.setColorMode(mode);
    output.setLayout(shown);
    int32_t columns = 0;
    int32_t rows = 0;
    displayGridSize(shown, FrameStepper::kScreenWidth, FrameStepper::kScreenHeight, columns, rows);
    output.setTerminalSize(columns, rows);
    return true;
}

bool writeFrameAnsi(TerminalOutput& output, const CellImage& frame, std::FILE* out) {
    static constexpr char kResetColors[] = "\x1b[0m";
    output.invalidate(); // every frame whole, drawn on a cleared screen
    output.begin();
    output.appendFrame(frame);
    return writeAll(out, output.bytes.get(), output.length) &&
           writeAll(out, kResetColors, sizeof kResetColors - 1);
}

void formatFrameCells(const CellImage& frame, uint8_t* out) {
    const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = static_cast<uint8_t>(frame.cells[i].character & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(frame.cells[i].attribute & 0xFF);
    }
}

bool renderFrames(DemoContent& content, const RenderOptions& options, std::FILE* out,
                  std::FILE* progress) {
    CellImage backBuffer;
    if (!backBuffer.create(FrameStepper::kScreenWidth, FrameStepper::kScreenHeight)) {
        errno = ENOMEM;
        return false;
    }
    FrameStepper stepper{content, backBuffer};
    // The start-up screen that the first frames draw over.
    stepper.showStart();

    const uint64_t demoLast = FrameStepper::lastDemoFrame(options.dt);
    const uint64_t last =
        options.frames.empty() ? demoLast : std::min(demoLast, options.frames.back().last);
    const float delta = static_cast<float>(options.dt);
    std::unique_ptr<char[]> text;
    if (options.format == FrameFormat::Text) {
        text.reset(new (std::nothrow) char[kFrameTextCapacity]);
        if (!text) {
            errno = ENOMEM;
            return false;
        }
    }
    // The terminal program's encoder, allocated once like the text buffer.
    std::unique_ptr<TerminalOutput> ansi;
    if (options.format == FrameFormat::Ansi) {
        ansi.reset(new (std::nothrow) TerminalOutput);
        if (!ansi || !startAnsiFrames(*ansi, options.layout, options.colors)) {
            errno = ENOMEM;
            return false;
        }
    }
    uint8_t cells[kFrameCellBytes];
    size_t range = 0;
    // Palette frames set the entries first and reset them at the end, so that showing the
    // file leaves the terminal's palette as it was.
    const bool palette = ansi && ansi->colorMode == ColorMode::Palette;
    if (palette) {
        const char* set = classicPaletteSequence();
        if (!writeAll(out, set, std::strlen(set))) return false;
    }

    for (uint64_t k = 1; k <= last; ++k) {
        if (!stepper.step(FrameStepper::frameTime(k, options.dt), delta)) break;

        bool selected = options.frames.empty();
        while (!selected && range < options.frames.size() && options.frames[range].last < k)
            ++range;
        if (!selected && range < options.frames.size()) selected = options.frames[range].first <= k;
        if (selected) {
            bool written = false;
            if (options.format == FrameFormat::Text) {
                written = writeAll(out, text.get(), formatFrameText(backBuffer, text.get()));
            } else if (options.format == FrameFormat::Ansi) {
                written = writeFrameAnsi(*ansi, backBuffer, out);
            } else {
                formatFrameCells(backBuffer, cells);
                written = writeAll(out, cells, sizeof cells);
            }
            if (!written) return false;
        }
        if (progress != nullptr && (k % kProgressEvery == 0 || k == last))
            std::fprintf(progress, "\rkaveo render: frame %llu of %llu",
                         static_cast<unsigned long long>(k), static_cast<unsigned long long>(last));
    }
    if (palette && !writeAll(out, kResetPalette, std::strlen(kResetPalette))) return false;
    if (progress != nullptr) std::fputs("\r\033[K", progress);
    errno = 0;
    if (std::fflush(out) == 0) return true;
    if (errno == 0) errno = EIO;
    return false;
}

// Binary frames or resources would only garble a terminal; "--output -" insists.
bool refuseTerminal(const char* command, const char* output) {
    if (output != nullptr || !isatty(STDOUT_FILENO)) return false;
    std::fprintf(stderr,
                 "kaveo %s: will not write binary data to a terminal; give --output FILE, or "
                 "--output - to write to standard output anyway\n",
                 command);
    return true;
}

void printUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo render [--dt SECONDS] [--frames LIST] [--format cells|text|ansi]\n"
        "                    [--layout wide|half|cells] [--colors 16|256|24bit|palette]\n"
        "                    [--output FILE]\n"
        "       kaveo extract NAME [--output FILE]\n"
        "       kaveo --help | --version\n"
        "\n"
        "render   draws the demo without a terminal or sound. Frame k shows demo time\n"
        "         k x SECONDS (default 0.01); the demo ends after 59 seconds.\n"
        "         --frames  frames to write, e.g. 100,250-260,966 (default: all)\n"
        "         --format  cells: 8,000 bytes per frame, character and attribute of each\n"
        "                   cell row by row (default); text: 50 lines of UTF-8 and an\n"
        "                   empty line per frame; ansi: per frame, what the terminal\n"
        "                   program sends to draw it whole on a cleared screen (`cat` the\n"
        "                   file in a terminal of the layout's size to see it)\n"
        "         --layout  of ansi, as the terminal program's: wide (default; 160 x 50),\n"
        "                   half (80 x 25) or cells (80 x 50); auto is wide here\n"
        "         --colors  of ansi: 24bit (default), 256, 16, palette (sets the terminal's\n"
        "                   palette first and resets it at the end), or auto (from\n"
        "                   COLORTERM and TERM)\n"
        "         --output  file to write (default: standard output; cells are not\n"
        "                   written to a terminal unless FILE is -)\n"
        "extract  writes the embedded resource NAME (e.g. palette.bin) unchanged; to a\n"
        "         terminal only with --output -.\n"
        "An existing file is replaced only once everything was written.\n",
        to);
}

namespace {

int renderCommand(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kaveo render: %s\n", error.c_str());
        printUsage(stderr);
        return 2;
    }
    const uint64_t demoLast = FrameStepper::lastDemoFrame(options.dt);
    if (demoLast == 0) {
        std::fprintf(stderr,
                     "kaveo render: --dt %g selects no frame: the first frame would lie after "
                     "the end of the demo\n",
                     options.dt);
        printUsage(stderr);
        return 2;
    }
    if (!options.frames.empty() && options.frames.back().last > demoLast) {
        std::fprintf(stderr,
                     "kaveo render: frame %llu lies after the end of the demo (its last frame at "
                     "--dt %g is %llu)\n",
                     static_cast<unsigned long long>(options.frames.back().last), options.dt,
                     static_cast<unsigned long long>(demoLast));
        printUsage(stderr);
        return 2;
    }
    if (options.format == FrameFormat::Cells && refuseTerminal("render", options.output)) return 2;
    const char* term = std::getenv("TERM");
    // Palette frames set the palette themselves: no terminal answers here.
    options.colors = resolveColorMode(options.colors, std::getenv("COLORTERM"), term,
                                      environmentSaysGnuScreen(term, std::getenv("TMUX")),
                                      options.colors == ColorMode::Palette);

    DemoContent content;
    if (!content.load()) {
        std::fputs("kaveo render: Cannot initialize demo.\n", stderr);
        return 1;
    }
    OutputFile out;
    if (!out.open(options.output)) {
        std::fprintf(stderr, "kaveo render: cannot create %s: %s\n", out.name(),
                     std::strerror(out.error));
        return 1;
    }
    // Progress on a terminal, unless that terminal is showing the ANSI frames themselves.
    const bool toStdout = options.output == nullptr || std::strcmp(options.output, "-") == 0;
    const bool drawsOnTerminal =
        options.format == FrameFormat::Ansi && toStdout && isatty(STDOUT_FILENO);
    std::FILE* progress = isatty(STDERR_FILENO) && !drawsOnTerminal ? stderr : nullptr;
    if (!renderFrames(content, options, out.file, progress) && out.error == 0) out.error = errno;
    if (!out.finish()) {
        std::fprintf(stderr, "kaveo render: cannot write %s: %s\n", out.name(),
                     std::strerror(out.error));
        return 1;
    }
    return 0;
}

} // namespace

int runRenderCommand(int argc, char** argv) {
    return runCatchingOutOfMemory("render", renderCommand, argc, argv);
}
