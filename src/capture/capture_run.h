// What every kind of capture shares: the demo drawn frame by frame from its start screen,
// the progress bar, Ctrl+C, and the way the command ends (its message and exit code). The
// kinds themselves (video, pictures, recording) each have a file of their own.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "capture/capture_options.h"
#include "capture/progress_bar.h"
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Catches SIGINT, SIGTERM and SIGHUP for the length of a capture, which then ends at the next
// frame with the file finished, and ignores SIGXFSZ, so that a file-size limit fails a write
// (EFBIG, reported like a full disk) instead of killing the process with a half-written
// file. The destructor puts the old handlers back.
struct StopSignals {
    static constexpr int kSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
    struct sigaction saved[4] = {};

    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();
};

struct CaptureRun {
    const CaptureOptions& options;
    CaptureFrames frames;
    DemoContent content;
    CellImage screen;
    FrameStepper stepper{content, screen};
    ProgressBar progress;
    std::string error;       // why the output failed, where the kind knows it
    uint64_t framesDone = 0; // frames written
    bool interrupted = false;

    explicit CaptureRun(const CaptureOptions& o) : options(o), frames(captureFrames(o)) {}

    // Loads the content and puts the start screen up. False when either fails.
    bool load();

    // Runs frames 0 .. frames.last, calling emit(k) (returning bool) for the captured ones;
    // stops early, with `interrupted` set, at a stop signal. False when emit fails.
    template <typename Emit> bool run(Emit emit) {
        const double dt = 1.0 / options.fps;
        startProgress();
        for (uint64_t k = 0; k <= frames.last; ++k) {
            if (stopRequested()) {
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

    void startProgress();
    static bool stopRequested();
};

// Says what failed on standard error ("kaveo capture: what") and returns kExitFailed.
int reportFailure(const std::string& what);
// The exit code of a capture that wrote `written`: 0, or after a stop signal kExitInterrupted
// with a note of the frames it holds.
int reportEnd(const CaptureRun& run, const char* written);

// The kinds of capture, on a loaded run; each returns the command's exit code.
int captureVideo(CaptureRun& run);
int capturePictures(CaptureRun& run);
int captureCast(CaptureRun& run);
