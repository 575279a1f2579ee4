// The picture captures: one PNG file, or one per frame named by a pattern.
#include <cstdio>
#include <cstring>

#include "capture/capture_picture.h"
#include "capture/capture_run.h"
#include "capture/png_writer.h"
#include "command/output_file.h"

namespace {

// The file name of frame k: the pattern with the number filled in, or the single name.
std::string pictureName(const CaptureOptions& options, uint64_t k) {
    if (options.kind != CaptureKind::PictureSequence) return options.output;
    const auto number = static_cast<int>(k);
    const int length = std::snprintf(nullptr, 0, options.output, number);
    std::string name(static_cast<size_t>(length), '\0');
    std::snprintf(name.data(), name.size() + 1, options.output, number);
    return name;
}

} // namespace

int capturePictures(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    CapturePicture picture;
    if (!picture.create(options.scale)) return reportFailure("Cannot initialize demo.");
    // Find out now, not after the demo has run, whether the first file can be made.
    {
        OutputFile probe;
        const std::string name = pictureName(options, run.frames.first);
        if (!probe.open(name.c_str()))
            return reportFailure("cannot create " + name + ": " + std::strerror(probe.error));
    }
    std::string failed;
    const bool ok = run.run([&](uint64_t k) {
        const std::string name = pictureName(options, k);
        OutputFile file;
        picture.paint(run.screen);
        const CellPainter& p = picture.painter;
        if (!file.open(name.c_str())) {
            run.error = std::strerror(file.error);
        } else if (writePng(file.file, p.pixels.get(), p.pixelWidth, p.pixelHeight, p.stride(),
                            run.error)) {
            if (file.finish()) return true;
            run.error = std::strerror(file.error);
        }
        failed = name;
        return false;
    });
    if (!ok) return reportFailure("cannot write " + failed + ": " + run.error);
    if (run.framesDone == 0) {
        std::fputs("kaveo capture: interrupted; nothing written\n", stderr);
        return kExitInterrupted;
    }
    if (!run.interrupted) return 0;
    std::fprintf(stderr, "kaveo capture: interrupted; wrote %llu pictures, up to %s\n",
                 static_cast<unsigned long long>(run.framesDone),
                 pictureName(options, run.frames.first + run.framesDone - 1).c_str());
    return kExitInterrupted;
}
