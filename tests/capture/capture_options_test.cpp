// The capture's options, frame numbering, file-name patterns and the small formatters:
// every bad input gives a reason, and the good ones mean what --help says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_options.h"
#include "capture/cast_writer.h"
#include "capture/progress_bar.h"

namespace {

bool parse(std::vector<std::string> arguments, CaptureOptions& options, std::string& error) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptions, RefusesBadInputWithAReason) {
    struct Case {
        std::vector<std::string> arguments;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "which file?"},
        {{"demo.avi"}, "must end in .mp4"},
        {{".mp4"}, "must end in .mp4"}, // an extension alone is no name
        {{"a.mp4", "b.mp4"}, "one output file only"},
        {{"a.mp4", "--fps", "0"}, "--fps: expected"},
        {{"a.mp4", "--fps=241"}, "--fps: expected"},
        {{"a.mp4", "--fps", "30fps"}, "--fps: expected"},
        {{"a.mp4", "--fps"}, "--fps needs a value"},
        {{"a.mp4", "--fps", "30", "--fps", "60"}, "--fps is given twice"},
        {{"a.mp4", "--scale", "0"}, "--scale: expected"},
        {{"a.mp4", "--scale", "5"}, "--scale: expected"},
        {{"a.mp4", "--quality", "52"}, "--quality: expected"},
        {{"a.mp4", "--quality", "-1"}, "--quality: expected"},
        {{"a.mp4", "--from", "-0.5"}, "--from: expected seconds"},
        {{"a.mp4", "--to", "59.5"}, "--to: expected seconds"},
        {{"a.mp4", "--to", "nan"}, "--to: expected seconds"},
        {{"a.mp4", "--from", "10", "--to", "10"}, "--from must come before --to"},
        {{"a.png", "--time", "60"}, "--time: expected seconds"},
        {{"a.mp4", "--time", "3"}, "--time does not apply to .mp4"},
        {{"a.png", "--from", "3"}, "--from does not apply to a single .png"},
        {{"a%03d.png", "--time", "3"}, "--time does not apply to .png patterns"},
        {{"a.cast", "--scale", "2"}, "--scale does not apply to .cast"},
        {{"a.png", "--quality", "20"}, "--quality does not apply"},
        {{"a.mp4", "--layout", "wide"}, "--layout does not apply to .mp4"},
        {{"a.cast", "--layout", "tall"}, "--layout: expected auto, wide, half or cells"},
        {{"a.cast", "--colors", "auto"}, "--colors: expected 16, 256 or 24bit"},
        {{"shot-%s.png"}, "a picture pattern holds one %d"},
        {{"shot-%d-%d.png"}, "a picture pattern holds one %d"},
        {{"a.mp4", "--frames", "3"}, "unknown option \"--frames\""},
    };
    for (const Case& c : cases) {
        CaptureOptions options;
        std::string error;
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        EXPECT_FALSE(parse(c.arguments, options, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(CaptureOptions, KindFollowsTheExtensionInAnyCase) {
    const std::pair<const char*, CaptureKind> cases[] = {
        {"out/demo.mp4", CaptureKind::Video},
        {"DEMO.MP4", CaptureKind::Video},
        {"still.png", CaptureKind::Picture},
        {"shot-%05d.png", CaptureKind::PictureSequence},
        {"100%%-%d.PNG", CaptureKind::PictureSequence},
        {"demo.cast", CaptureKind::Cast},
    };
    for (const auto& [name, kind] : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_TRUE(parse({name}, options, error)) << name << ": " << error;
        EXPECT_EQ(options.kind, kind) << name;
    }
}

// Frame k shows k / fps; the demo's last frame is the last one at or before 59 s.
TEST(CaptureFrames, SelectTheFramesOnTheGridBetweenFromAndTo) {
    struct Case {
        std::vector<std::string> arguments;
        uint64_t first, last;
    };
    const Case cases[] = {
        {{"a.mp4"}, 0, 3540},
        {{"a.mp4", "--fps", "25"}, 0, 1475},
        {{"a.mp4", "--fps", "10", "--from", "10", "--to", "10.5"}, 100, 105},
        {{"a.mp4", "--fps", "10", "--from", "10.01", "--to", "10.49"}, 101, 104},
        {{"a.cast", "--fps", "7", "--from", "58"}, 406, 413},
        {{"a.png", "--time", "0"}, 0, 0},
        {{"a.png", "--time", "59", "--fps", "60"}, 3540, 3540},
        {{"a.png", "--time", "1.26", "--fps", "10"}, 13, 13}, // the nearest frame
    };
    for (const Case& c : cases) {
        CaptureOptions options;
        std::string error;
        ASSERT_TRUE(parse(c.arguments, options, error)) << error;
        const CaptureFrames frames = captureFrames(options);
        EXPECT_EQ(frames.first, c.first) << c.arguments.back();
        EXPECT_EQ(frames.last, c.last) << c.arguments.back();
    }
}

TEST(CaptureFrames, DefaultPictureShowsTheFirstCaption) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"a.png"}, options, error));
    // The first caption shows between the second and third main beats (5.04 s and 5.61 s).
    EXPECT_GT(options.time, 5.04);
    EXPECT_LT(options.time, 5.61);
}

TEST(FramePattern, AcceptsOneIntegerConversionOnly) {
    for (const char* good : {"%d.png", "f%05d.png", "%9d", "100%%-%d"})
        EXPECT_TRUE(isFramePattern(good)) << good;
    for (const char* bad : {"plain.png", "%s.png", "%x.png", "%d%d", "%-5d", "%10d", "%ld", "%"})
        EXPECT_FALSE(isFramePattern(bad)) << bad;
}

TEST(CastEvents, EscapeQuotesBackslashesAndControlBytesOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"a\\b", "a\\\\b"},
        {"\x1b[2J\r\n", "\\u001b[2J\\u000d\\u000a"},
        {"\xe2\x96\x91\x7f", "\xe2\x96\x91\x7f"}, // UTF-8 and DEL pass as they are
    };
    for (const auto& [raw, escaped] : cases) {
        std::string out(6 * raw.size(), '\0');
        out.resize(escapeJson(raw.data(), raw.size(), out.data()));
        EXPECT_EQ(out, escaped);
    }
}

TEST(ProgressLine, ShowsFramesRateAndTimeLeft) {
    char line[160];
    formatProgress(line, sizeof line, 1770, 3541, 30.0); // 59 fps, 1,771 frames left: 30 s
    EXPECT_STREQ(line, "kaveo capture: [###########-------------] 1770/3541 frames, 59.0 fps, "
                       "0:30 left");
    formatProgress(line, sizeof line, 0, 100, 0.0);
    EXPECT_STREQ(line, "kaveo capture: [------------------------] 0/100 frames");
}

} // namespace
