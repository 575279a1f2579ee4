// The capture command: options, the frame loop shared by every kind, and the file discipline
// (write beside the target, rename when complete, remove on failure, finish on Ctrl+C).
#include "capture/capture_command.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "capture/cast_writer.h"
#include "capture/mp4_writer.h"
#include "capture/png_writer.h"
#include "capture/progress_bar.h"
#include "command/option_value.h"
#include "console/display_layout.h"
#include "console/terminal_output.h"
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"
#include "gfx/resource_blob.h"
#include "media/fade.h"
#include "media/mp3_stream_mpg123.h"
#include "paint/cell_painter.h"

namespace {

constexpr int32_t kScreenWidth = FrameStepper::kScreenWidth;
constexpr int32_t kScreenHeight = FrameStepper::kScreenHeight;
constexpr int32_t kMaxFps = 240;
constexpr int32_t kMaxScale = 4; // 5120 x 3200: beyond that the pictures only grow
constexpr int32_t kMaxQuality = 51;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Set by SIGINT, SIGTERM and SIGHUP; the frame loop reads it once per frame.
volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void requestStop(int) {
    gStopRequested = 1;
}

// Catches the stop signals for the length of a capture and puts the old handlers back.
struct StopSignals {
    struct sigaction saved[4] = {};
    static constexpr int kSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

    StopSignals() {
        gStopRequested = 0;
        struct sigaction action = {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART; // the libraries' writes go on; the loop stops after them
        for (int i = 0; i < 4; ++i) {
            // A file-size limit makes writes fail with EFBIG, reported like a full disk,
            // instead of killing the process with a half-written file.
            action.sa_handler = kSignals[i] == SIGXFSZ ? SIG_IGN : requestStop;
            sigaction(kSignals[i], &action, &saved[i]);
        }
    }
    ~StopSignals() {
        for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &saved[i], nullptr);
    }
};

bool endsWith(const char* text, const char* suffix) {
    const size_t n = std::strlen(text), m = std::strlen(suffix);
    return n > m && strcasecmp(text + n - m, suffix) == 0;
}

const char* kindName(CaptureKind kind) {
    switch (kind) {
    case CaptureKind::Video:
        return ".mp4";
    case CaptureKind::Picture:
        return "a single .png";
    case CaptureKind::PictureSequence:
        return ".png patterns";
    case CaptureKind::Cast:
        return ".cast";
    }
    return "";
}

// A file being written beside its target: removed unless committed by renaming it.
struct PartFile {
    std::string target;
    std::string part;
    bool exists = false;

    explicit PartFile(std::string name) : target(std::move(name)), part(target + ".part") {}
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() {
        if (exists) std::remove(part.c_str());
    }
    bool commit(std::string& error) {
        if (std::rename(part.c_str(), target.c_str()) != 0) {
            error = "cannot rename " + part + " to " + target + ": " + std::strerror(errno);
            return false;
        }
        exists = false;
        return true;
    }
};

// The bytes around a recording: what the terminal back end writes on entering and leaving
// that matters to the picture (hidden cursor, no autowrap; colours reset). The alternate
// screen, the title stack and the keyboard modes belong to a live session and stay out.
constexpr char kCastEnter[] = "\x1b[?25l\x1b[?7l";
constexpr char kCastLeave[] = "\x1b[0m\x1b[?7h\x1b[?25h";

} // namespace

bool isFramePattern(const char* pattern) {
    int conversions = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        if (*p == '0') ++p;
        if (*p >= '1' && *p <= '9') ++p; // a width of at most 9 digits' worth
        if (*p != 'd') return false;
        ++conversions;
    }
    return conversions == 1;
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    bool seenFps = false, seenFrom = false, seenTo = false, seenTime = false, seenScale = false,
         seenQuality = false, seenLayout = false, seenColors = false;
    for (int i = 0; i < argc; ++i) {
        const char* name = argv[i];
        const char* value = nullptr;
        bool* seen = nullptr;
        if (optionValue(argc, argv, i, "--fps", value)) {
            seen = &seenFps;
        } else if (optionValue(argc, argv, i, "--from", value)) {
            seen = &seenFrom;
        } else if (optionValue(argc, argv, i, "--to", value)) {
            seen = &seenTo;
        } else if (optionValue(argc, argv, i, "--time", value)) {
            seen = &seenTime;
        } else if (optionValue(argc, argv, i, "--scale", value)) {
            seen = &seenScale;
        } else if (optionValue(argc, argv, i, "--quality", value)) {
            seen = &seenQuality;
        } else if (optionValue(argc, argv, i, "--layout", value)) {
            seen = &seenLayout;
        } else if (optionValue(argc, argv, i, "--colors", value)) {
            seen = &seenColors;
        } else if (name[0] == '-' && name[1] != '\0') {
            error = "unknown option \"" + std::string(name) + "\"";
            return false;
        } else if (options.output != nullptr) {
            error = "one output file only, got \"" + std::string(options.output) + "\" and \"" +
                    name + "\"";
            return false;
        } else {
            options.output = name;
            continue;
        }
        if (!acceptOptionValue(name, value, *seen, error)) return false;
        const std::string option(name, std::strcspn(name, "="));
        const std::string got = ", got \"" + std::string(value) + "\"";
        if (seen == &seenFps) {
            if (!parseInteger(value, 1, kMaxFps, options.fps)) {
                error = "--fps: expected frames per second from 1 to 240" + got;
                return false;
            }
        } else if (seen == &seenFrom || seen == &seenTo || seen == &seenTime) {
            double& target = seen == &seenFrom ? options.from
                             : seen == &seenTo ? options.to
                                               : options.time;
            if (!parseNumber(value, 0.0, FrameStepper::kDemoEndTime, target)) {
                error = option + ": expected seconds from 0 to 59" + got;
                return false;
            }
        } else if (seen == &seenScale) {
            if (!parseInteger(value, 1, kMaxScale, options.scale)) {
                error = "--scale: expected a whole pixel scale from 1 to 4" + got;
                return false;
            }
        } else if (seen == &seenQuality) {
            if (!parseInteger(value, 0, kMaxQuality, options.quality)) {
                error = "--quality: expected an H.264 CRF from 0 (best) to 51" + got;
                return false;
            }
        } else if (seen == &seenLayout) {
            if (!parseDisplayLayout(value, options.layout)) {
                error = "--layout: expected auto, wide, half or cells" + got;
                return false;
            }
            if (options.layout == DisplayLayout::Auto) options.layout = DisplayLayout::Wide;
        } else {
            // A recording has no terminal to choose for it.
            if (!parseColorMode(value, options.colors) || options.colors == ColorMode::Auto) {
                error = "--colors: expected 16, 256 or 24bit (truecolor)" + got;
                return false;
            }
        }
    }

    if (options.output == nullptr) {
        error = "which file? (OUTPUT.mp4, OUTPUT.png or OUTPUT.cast)";
        return false;
    }
    if (endsWith(options.output, ".mp4")) {
        options.kind = CaptureKind::Video;
    } else if (endsWith(options.output, ".png")) {
        options.kind = std::strchr(options.output, '%') != nullptr ? CaptureKind::PictureSequence
                                                                   : CaptureKind::Picture;
        if (options.kind == CaptureKind::PictureSequence && !isFramePattern(options.output)) {
            error = "\"" + std::string(options.output) +
                    "\": a picture pattern holds one %d (or %05d) for the frame number, and %% "
                    "for a percent sign";
            return false;
        }
    } else if (endsWith(options.output, ".cast")) {
        options.kind = CaptureKind::Cast;
    } else {
        error = "\"" + std::string(options.output) +
                "\": the name must end in .mp4 (video), .png (pictures) or .cast (asciicast)";
        return false;
    }

    // Options that mean nothing for the kind are refused rather than silently ignored.
    const CaptureKind kind = options.kind;
    struct Applies {
        bool seen;
        const char* name;
        bool applies;
    };
    const Applies checks[] = {
        {seenTime, "--time", kind == CaptureKind::Picture},
        {seenFrom, "--from", kind != CaptureKind::Picture},
        {seenTo, "--to", kind != CaptureKind::Picture},
        {seenScale, "--scale", kind != CaptureKind::Cast},
        {seenQuality, "--quality", kind == CaptureKind::Video},
        {seenLayout, "--layout", kind == CaptureKind::Cast},
        {seenColors, "--colors", kind == CaptureKind::Cast},
    };
    for (const Applies& check : checks) {
        if (check.seen && !check.applies) {
            error = std::string(check.name) + " does not apply to " + kindName(kind);
            return false;
        }
    }
    if (options.from >= options.to) {
        error = "--from must come before --to";
        return false;
    }
    if (options.time < 0.0) options.time = firstCaptionTime();
    return true;
}

CaptureFrames captureFrames(const CaptureOptions& options) {
    const double dt = 1.0 / options.fps;
    const uint64_t demoLast = FrameStepper::lastDemoFrame(dt);
    if (options.kind == CaptureKind::Picture) {
        const auto k = static_cast<uint64_t>(std::llround(options.time * options.fps));
        return {k < demoLast ? k : demoLast, k < demoLast ? k : demoLast};
    }
    // A tolerance, so that a time given as a frame's own time selects that frame.
    const auto first = static_cast<uint64_t>(std::ceil(options.from * options.fps - 1e-6));
    const auto last = static_cast<uint64_t>(std::floor(options.to * options.fps + 1e-6));
    return {first, last < demoLast ? last : demoLast};
}

void printCaptureUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo capture OUTPUT [options]\n"
        "\n"
        "Writes the demo to OUTPUT, the kind chosen by its extension:\n"
        "  .mp4   H.264 video (yuv420p) with the soundtrack as AAC, 44,100 Hz stereo\n"
        "  .png   one picture (see --time); with a pattern such as shot-%05d.png every\n"
        "         frame, named by its frame number\n"
        "  .cast  an asciicast v2 recording of the bytes the terminal program writes, for\n"
        "         asciinema play and asciinema cat\n"
        "Frame k shows demo time k / FPS; frame 0 is the screen at start (the grey dots).\n"
        "Pictures draw each cell with an 8 x 16 font doubled across into a square 16 x 16\n"
        "cell: 1280 x 800 pixels at scale 1.\n"
        "\n"
        "  --fps N        frames per second, 1 to 240 (default 60)\n"
        "  --from S       start at S seconds (default 0), video, patterns and recordings\n"
        "  --to S         end at S seconds (default 59, the end of the demo)\n"
        "  --time S       the time of a single picture (default: the first caption)\n"
        "  --scale N      pixel scale of video and pictures, 1 to 4 (default 1)\n"
        "  --quality N    H.264 CRF of the video, 0 (best) to 51 (default 18)\n"
        "  --layout L     recording layout: wide (two columns a cell, square cells, 160 x 50;\n"
        "                 the default; auto means wide), half (two cells a character,\n"
        "                 80 x 25) or cells (80 x 50)\n"
        "  --colors C     recording colours: 16, 256 or 24bit (default 24bit)\n"
        "\n"
        "The file is written as OUTPUT.part and renamed when complete. On a terminal a\n"
        "progress bar shows on standard error. Ctrl+C finishes the file with the frames\n"
        "done and exits with 130; a failure removes it and exits with 1.\n",
        to);
}

namespace {

// What every kind shares: the demo drawn frame by frame from the start, the progress bar,
// the stop flag.
struct CaptureRun {
    const CaptureOptions& options;
    CaptureFrames frames;
    DemoContent content;
    CellImage screen;
    FrameStepper stepper{content, screen};
    ProgressBar progress;
    std::string error;
    uint64_t framesDone = 0; // frames written
    bool interrupted = false;

    explicit CaptureRun(const CaptureOptions& o) : options(o), frames(captureFrames(o)) {}

    bool load() {
        if (!content.load() || !screen.create(kScreenWidth, kScreenHeight)) return false;
        // The start-up screen that the first frames draw over.
        stepper.showStart();
        return true;
    }

    // Runs frames 0 .. last, calling emit(k) for the captured ones; false when emit fails.
    template <typename Emit> bool run(Emit emit) {
        const double dt = 1.0 / options.fps;
        progress.start(isatty(STDERR_FILENO) ? stderr : nullptr, frames.last + 1);
        for (uint64_t k = 0; k <= frames.last; ++k) {
            if (gStopRequested) {
                interrupted = true;
                break;
            }
            if (k > 0) stepper.step(FrameStepper::frameTime(k, dt), static_cast<float>(dt));
            if (k >= frames.first) {
                if (!emit(k)) {
                    progress.finish();
                    return false;
                }
                ++framesDone;
            }
            progress.update(k + 1);
        }
        progress.finish();
        return true;
    }
};

int reportFailure(const std::string& what) {
    std::fprintf(stderr, "kaveo capture: %s\n", what.c_str());
    return kExitFailed;
}

int reportEnd(const CaptureRun& run, const char* written) {
    if (!run.interrupted) return 0;
    std::fprintf(stderr,
                 "kaveo capture: interrupted; %s holds the %llu frames done (%.2f s of demo)\n",
                 written, static_cast<unsigned long long>(run.framesDone),
                 static_cast<double>(run.framesDone) / run.options.fps);
    return kExitInterrupted;
}

// Each font pixel doubled across, as the demo's round shapes need square cells: an 8 x 16
// glyph becomes 16 x 16 pixels per scale step, 1280 x 800 pixels at scale 1.
bool createPainter(BitmapFont& font, CellPainter& painter, int32_t scale) {
    return loadFontResource(font) &&
           painter.create(font, kScreenWidth, kScreenHeight, 2 * scale, scale);
}

int captureVideo(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    BitmapFont font;
    CellPainter painter;
    ResourceBlob mp3;
    if (!createPainter(font, painter, options.scale))
        return reportFailure("Cannot initialize demo.");
    // Sample n is the sound at n / 44,100 s, as the live program plays it (gapless).
    Mp3Stream sound;
    const auto rate = static_cast<double>(kMp4SampleRate);
    if (mp3.load("kaveo.mp3", kResourceTypeData) == nullptr || !sound.open(mp3.data, mp3.size))
        return reportFailure("Cannot load music.");
    sound.seek(std::llround(static_cast<double>(run.frames.first) * rate / options.fps));
    // Decoded sound waits here until it is certain not to lie in the end's fade.
    const size_t pendingCapacity =
        static_cast<size_t>(kMp4SampleRate / options.fps + 2 + kFadeFrames);
    std::unique_ptr<int16_t[]> pending(new (std::nothrow) int16_t[2 * pendingCapacity]);
    if (!pending) return reportFailure("Cannot initialize demo.");

    PartFile file(options.output);
    Mp4Writer writer;
    Mp4Settings settings;
    settings.width = painter.pixelWidth;
    settings.height = painter.pixelHeight;
    settings.fps = options.fps;
    settings.crf = options.quality;
    file.exists = true;
    if (!writer.open(file.part.c_str(), settings, run.error))
        return reportFailure("cannot create " + file.part + ": " + run.error);

    int64_t decoded = 0; // sample frames decoded, counted from the capture's start
    size_t waiting = 0;  // of them, in `pending`
    const bool ok = run.run([&](uint64_t k) {
        painter.paint(run.screen, font);
        if (!writer.writeVideo(painter.pixels.get(), painter.stride())) return false;
        // The sound up to the end of this frame, so the file interleaves finely.
        const uint64_t shown = k - run.frames.first + 1;
        const int64_t target = std::llround(static_cast<double>(shown) * rate / options.fps);
        const auto fresh = static_cast<uint32_t>(target - decoded);
        int16_t* fill = pending.get() + 2 * waiting;
        // Silence after the end of the music.
        const uint32_t got = sound.read(fill, fresh);
        std::memset(fill + 2 * got, 0, 4 * size_t{fresh - got});
        decoded = target;
        waiting += fresh;
        const size_t ready = waiting > kFadeFrames ? waiting - kFadeFrames : 0;
        if (!writer.writeAudio(pending.get(), ready)) return false;
        std::memmove(pending.get(), pending.get() + 2 * ready, 4 * (waiting - ready));
        waiting -= ready;
        return true;
    });
    if (ok) {
        applyEndFade(pending.get(), waiting, decoded - static_cast<int64_t>(waiting), decoded);
        if (writer.writeAudio(pending.get(), waiting) && writer.finish() && file.commit(run.error))
            return reportEnd(run, options.output);
    }
    return reportFailure("cannot write " + file.target + ": " + run.error);
}

int capturePictures(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    BitmapFont font;
    CellPainter painter;
    if (!createPainter(font, painter, options.scale))
        return reportFailure("Cannot initialize demo.");
    const bool sequence = options.kind == CaptureKind::PictureSequence;
    std::unique_ptr<char[]> name(new char[std::strlen(options.output) + 32]);
    auto nameOf = [&](uint64_t k) {
        if (sequence)
            std::snprintf(name.get(), std::strlen(options.output) + 32, options.output,
                          static_cast<int>(k));
        else
            std::strcpy(name.get(), options.output);
        return std::string(name.get());
    };
    // Find out now, not after the demo has run, whether the first file can be made.
    {
        PartFile probe(nameOf(run.frames.first));
        std::FILE* f = std::fopen(probe.part.c_str(), "wb");
        if (f == nullptr)
            return reportFailure("cannot create " + probe.part + ": " + std::strerror(errno));
        probe.exists = true;
        std::fclose(f);
    }
    std::string failed;
    const bool ok = run.run([&](uint64_t k) {
        PartFile file(nameOf(k));
        painter.paint(run.screen, font);
        file.exists = true;
        if (!writePng(file.part.c_str(), painter.pixels.get(), painter.pixelWidth,
                      painter.pixelHeight, painter.stride(), run.error) ||
            !file.commit(run.error)) {
            failed = file.target;
            return false;
        }
        return true;
    });
    if (!ok) return reportFailure("cannot write " + failed + ": " + run.error);
    if (run.framesDone == 0) {
        std::fputs("kaveo capture: interrupted; nothing written\n", stderr);
        return kExitInterrupted;
    }
    if (!run.interrupted) return 0;
    std::fprintf(stderr, "kaveo capture: interrupted; wrote %llu pictures, up to %s\n",
                 static_cast<unsigned long long>(run.framesDone),
                 nameOf(run.frames.first + run.framesDone - 1).c_str());
    return kExitInterrupted;
}

int captureCast(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    TerminalOutput terminal;
    CastWriter cast;
    if (!terminal.create(kScreenWidth, kScreenHeight) || !cast.create(terminal.capacity))
        return reportFailure("Cannot initialize demo.");
    terminal.setColorMode(options.colors);
    terminal.setLayout(options.layout);
    int32_t columns = 0, rows = 0;
    displayGridSize(options.layout, kScreenWidth, kScreenHeight, columns, rows);
    terminal.setTerminalSize(columns, rows);

    PartFile file(options.output);
    std::FILE* out = std::fopen(file.part.c_str(), "wb");
    if (out == nullptr)
        return reportFailure("cannot create " + file.part + ": " + std::strerror(errno));
    file.exists = true;
    const double dt = 1.0 / options.fps;
    bool ok = cast.writeHeader(out, columns, rows, static_cast<int64_t>(std::time(nullptr)),
                               "kaveo", "xterm-256color");
    ok = ok && run.run([&](uint64_t k) {
        terminal.begin();
        if (k == run.frames.first) terminal.appendBytes(kCastEnter, sizeof kCastEnter - 1);
        terminal.appendFrame(run.screen);
        if (terminal.length == 0) return true; // the screen did not change
        return cast.writeEvent(static_cast<double>(k - run.frames.first) * dt, terminal.bytes.get(),
                               terminal.length);
    });
    // The leaving bytes close the recording at the end of its last frame.
    ok = ok && cast.writeEvent(static_cast<double>(run.framesDone) * dt, kCastLeave,
                               sizeof kCastLeave - 1);
    const int cause = errno;
    ok = (std::fclose(out) == 0) && ok;
    if (!ok || !file.commit(run.error)) {
        if (run.error.empty()) run.error = std::strerror(cause != 0 ? cause : errno);
        return reportFailure("cannot write " + file.target + ": " + run.error);
    }
    return reportEnd(run, options.output);
}

} // namespace

int runCaptureCommand(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printCaptureUsage(stdout);
            return 0;
        }
    }
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kaveo capture: %s (kaveo capture --help tells more)\n",
                     error.c_str());
        return kExitUsage;
    }
    const CaptureFrames frames = captureFrames(options);
    if (frames.first > frames.last) {
        std::fprintf(stderr, "kaveo capture: no frame lies between --from and --to at --fps %d\n",
                     options.fps);
        return kExitUsage;
    }
    StopSignals signals;
    CaptureRun run(options);
    if (!run.load()) return reportFailure("Cannot initialize demo.");
    switch (options.kind) {
    case CaptureKind::Video:
        return captureVideo(run);
    case CaptureKind::Picture:
    case CaptureKind::PictureSequence:
        return capturePictures(run);
    case CaptureKind::Cast:
        return captureCast(run);
    }
    return kExitFailed;
}
