// The video capture: every frame's picture and the sound up to its end into one MP4 file.
#include <cstring>

#include "capture/capture_picture.h"
#include "capture/capture_run.h"
#include "capture/mp4_writer.h"
#include "capture/video_sound.h"
#include "command/output_file.h"

int captureVideo(CaptureRun& run) {
    const CaptureOptions& options = run.options;
    CapturePicture picture;
    if (!picture.create(options.scale)) return reportFailure("Cannot initialize demo.");
    VideoSound sound;
    if (!sound.open(run.frames.first, options.fps)) return reportFailure("Cannot load music.");

    // FFmpeg writes the file by its name. Declared after it, the writer closes it first.
    OutputFile file;
    if (!file.open(options.output))
        return reportFailure("cannot create " + std::string(file.name()) + ": " +
                             std::strerror(file.error));
    Mp4Writer writer;
    Mp4Settings settings;
    settings.width = picture.painter.pixelWidth;
    settings.height = picture.painter.pixelHeight;
    settings.fps = options.fps;
    settings.crf = options.quality;
    if (!writer.open(file.path(), settings, run.error))
        return reportFailure("cannot create " + std::string(file.name()) + ": " + run.error);

    const bool ok = run.run([&](uint64_t k) {
        picture.paint(run.screen);
        // The sound up to the end of this frame, so the file interleaves finely.
        return writer.writeVideo(picture.painter.pixels.get(), picture.painter.stride()) &&
               sound.writeUntil(k, writer);
    });
    if (ok && sound.finish(writer) && writer.finish()) {
        if (file.finish()) return reportEnd(run, options.output);
        run.error = std::strerror(file.error);
    }
    return reportFailure("cannot write " + std::string(file.name()) + ": " + run.error);
}
