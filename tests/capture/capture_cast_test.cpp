// The asciicast capture: every line is JSON, the header describes the terminal, the events
// fall on frame times, and replayed through libvterm the screen is the rendered frame.
#include <json/json.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "../console/emulated_terminal.h"
#include "capture_fixture.h"

namespace {

struct CastCase {
    const char* name;
    std::vector<std::string> options;
    DisplayLayout layout;
    ColorMode colors;
    int columns, rows;
};

class CaptureCast : public CaptureTest, public ::testing::WithParamInterface<CastCase> {};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Layouts, CaptureCast, ::testing::Values(
    CastCase{"Default", {}, DisplayLayout::Wide, ColorMode::TrueColor, 160, 50},
    CastCase{"Auto", {"--layout", "auto"}, DisplayLayout::Wide, ColorMode::TrueColor, 160, 50},
    CastCase{"Half256", {"--layout", "half", "--colors", "256"}, DisplayLayout::Half,
             ColorMode::Colors256, 80, 25},
    CastCase{"Cells16", {"--layout", "cells", "--colors", "16"}, DisplayLayout::Cells,
             ColorMode::Colors16, 80, 50}),
    [](const ::testing::TestParamInfo<CastCase>& param) { return std::string(param.param.name); });
// clang-format on

TEST_P(CaptureCast, ReplaysToTheRenderedScreensAtFrameTimes) {
    const CastCase& c = GetParam();
    const int fps = 10;
    // 2.5 s to 3.5 s: the dissolve's end and the first flash; frames 25 .. 35.
    std::vector<std::string> arguments = {
        path("part.cast"), "--fps", "10", "--from", "2.5", "--to", "3.5"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(runCapture(arguments), 0);
    std::ifstream in(path("part.cast"));
    std::string line;
    Json::CharReaderBuilder builder;
    Json::Value header;
    ASSERT_TRUE(std::getline(in, line));
    {
        std::istringstream text(line);
        std::string errors;
        ASSERT_TRUE(Json::parseFromStream(builder, text, &header, &errors)) << errors;
    }
    EXPECT_EQ(header["version"].asInt(), 2);
    EXPECT_EQ(header["width"].asInt(), c.columns);
    EXPECT_EQ(header["height"].asInt(), c.rows);
    EXPECT_GT(header["timestamp"].asInt64(), 0);
    EXPECT_TRUE(header["title"].isString());
    EXPECT_TRUE(header["env"].isObject());

    EmulatedTerminal terminal(c.columns, c.rows);
    const std::set<uint64_t> sampled = {25, 29, 30, 35};
    uint64_t replayed = 25; // the frame the terminal shows
    double previous = -1.0;
    int events = 0;
    auto checkUpTo = [&](uint64_t frame) {
        // Frames without an event leave the screen as it was.
        for (; replayed < frame; ++replayed) {
            if (!sampled.count(replayed)) continue;
            const std::vector<Cell> cells = renderedFrame(replayed, fps);
            CellImage image;
            ASSERT_TRUE(image.create(80, 50));
            std::copy(cells.begin(), cells.end(), image.cells.get());
            EXPECT_EQ(terminal.mismatch(image, 0, 0, c.columns, c.rows, c.colors, c.layout), "")
                << "frame " << replayed;
        }
    };
    while (std::getline(in, line)) {
        Json::Value event;
        std::istringstream text(line);
        std::string errors;
        ASSERT_TRUE(Json::parseFromStream(builder, text, &event, &errors)) << line << errors;
        ASSERT_TRUE(event.isArray() && event.size() == 3u);
        EXPECT_EQ(event[1].asString(), "o");
        const double t = event[0].asDouble();
        const double frame = t * fps;
        EXPECT_NEAR(frame, std::round(frame), 1e-4) << "event at " << t << " s";
        EXPECT_GT(t, previous);
        previous = t;
        checkUpTo(25 + static_cast<uint64_t>(std::llround(frame)));
        const std::string bytes = event[2].asString();
        terminal.write(bytes.data(), bytes.size());
        ++events;
    }
    checkUpTo(36);
    EXPECT_DOUBLE_EQ(previous, 1.1); // the closing event ends the last frame
    EXPECT_GE(events, 3);
    EXPECT_TRUE(terminal.cursorVisible); // left as it was found
}

} // namespace
