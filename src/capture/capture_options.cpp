// The capture's options: each checked with a reason, and refused where it means nothing for
// the kind of output.
#include "capture/capture_options.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "command/option_value.h"
#include "console/display_layout.h"
#include "demo/demo_content.h"
#include "demo/frame_stepper.h"

namespace {

constexpr int32_t kMaxFps = 240;
constexpr int32_t kMaxScale = 4; // 5120 x 3200: beyond that the pictures only grow
constexpr int32_t kMaxQuality = 51;

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
            // A recording has no terminal to choose for it, nor a palette of its own to set.
            if (!parseColorMode(value, options.colors) || options.colors == ColorMode::Auto ||
                options.colors == ColorMode::Palette) {
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
