// The capture command: --help, the options, then the kind of capture OUTPUT asks for, with
// the stop signals caught throughout so that Ctrl+C finishes the file.
#include "capture/capture_command.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "capture/capture_run.h"
#include "capture/capture_usage.h"

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
