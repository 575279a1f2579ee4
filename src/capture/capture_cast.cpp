// The recording capture: the bytes the terminal program would write for each frame, as an
// asciicast file.
#include <cerrno>
#include <cstring>
#include <ctime>

#include "capture/capture_run.h"
#include "capture/cast_writer.h"
#include "command/output_file.h"
#include "console/display_layout.h"
#include "console/terminal_output.h"

namespace {

// The bytes around a recording: what the terminal back end writes on entering and leaving
// that matters to the picture (hidden cursor, no autowrap; colours reset). The alternate
// screen, the title stack and the keyboard modes belong to a live session and stay out.
constexpr char kCastEnter[] = "\x1b[?25l\x1b[?7l";
constexpr char kCastLeave[] = "\x1b[0m\x1b[?7h\x1b[?25h";

} // namespace

int captureCast(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    constexpr int32_t width = FrameStepper::kScreenWidth, height = FrameStepper::kScreenHeight;
    TerminalOutput terminal;
    CastWriter cast;
    if (!terminal.create(width, height) || !cast.create(terminal.capacity))
        return reportFailure("Cannot initialize demo.");
    terminal.setColorMode(options.colors);
    terminal.setLayout(options.layout);
    int32_t columns = 0, rows = 0;
    displayGridSize(options.layout, width, height, columns, rows);
    terminal.setTerminalSize(columns, rows);

    OutputFile file;
    if (!file.open(options.output))
        return reportFailure("cannot create " + std::string(file.name()) + ": " +
                             std::strerror(file.error));
    const double dt = 1.0 / options.fps;
    bool ok = cast.writeHeader(file.file, columns, rows, static_cast<int64_t>(std::time(nullptr)),
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
    if (!ok && file.error == 0) file.error = errno != 0 ? errno : EIO;
    if (!file.finish())
        return reportFailure("cannot write " + std::string(file.name()) + ": " +
                             std::strerror(file.error));
    return reportEnd(run, options.output);
}
