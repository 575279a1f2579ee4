// The options of `kaveo capture OUTPUT [options]`: their parsing, the kind of output that
// OUTPUT's extension chooses, and the frames a capture writes.
#pragma once

#include <cstdint>
#include <string>

#include "console/console_screen.h"

enum class CaptureKind { Video, Picture, PictureSequence, Cast };

struct CaptureOptions {
    const char* output = nullptr;
    CaptureKind kind = CaptureKind::Video;
    int32_t fps = 60;
    double from = 0.0;    // seconds
    double to = 59.0;     // seconds
    double time = -1.0;   // seconds, one picture; negative: the first caption
    int32_t scale = 1;    // pixels per font pixel, video and pictures
    int32_t quality = 18; // H.264 CRF
    ColorMode colors = ColorMode::TrueColor;
    DisplayLayout layout = DisplayLayout::Wide; // Auto means Wide: a recording has no terminal
};

// Reads the arguments after "capture". False with a one-line reason on bad input.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

// The frames a capture writes, inclusive: first and last frame numbers at options.fps.
struct CaptureFrames {
    uint64_t first;
    uint64_t last;
};
CaptureFrames captureFrames(const CaptureOptions& options);

// Whether `pattern` holds exactly one integer conversion (%d, %5d, %05d) and otherwise only
// "%%": the only printf patterns a picture sequence's name may use.
bool isFramePattern(const char* pattern);
