// The capture's frame loop around the kinds: the stop signals, the start screen, the end.
#include "capture/capture_run.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Set by the stop signals; the frame loop reads it once per frame.
volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void requestStop(int) {
    gStopRequested = 1;
}

} // namespace

StopSignals::StopSignals() {
    gStopRequested = 0;
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the libraries' writes go on; the loop stops after them
    for (int i = 0; i < 4; ++i) {
        action.sa_handler = kSignals[i] == SIGXFSZ ? SIG_IGN : requestStop;
        sigaction(kSignals[i], &action, &saved[i]);
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &saved[i], nullptr);
}

bool CaptureRun::load() {
    if (!content.load() || !screen.create(FrameStepper::kScreenWidth, FrameStepper::kScreenHeight))
        return false;
    // The start-up screen that the first frames draw over.
    stepper.showStart();
    return true;
}

void CaptureRun::startProgress() {
    progress.start(isatty(STDERR_FILENO) ? stderr : nullptr, frames.last + 1);
}

bool CaptureRun::stopRequested() {
    return gStopRequested != 0;
}

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
