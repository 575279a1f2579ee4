// The PNG captures read back with libpng: one picture and a numbered sequence equal
// `kaveo render` in every cell.
#include "capture_fixture.h"

namespace {

using CapturePicture = CaptureTest;

TEST_F(CapturePicture, StillEqualsTheRendererInEveryCell) {
    // The default still (the first caption) and one deep in the demo, after its state has run.
    const std::pair<std::vector<std::string>, uint64_t> cases[] = {
        {{path("caption.png")}, 320}, // 5.325 s at 60 fps
        {{path("late.png"), "--time", "41.3", "--fps", "20"}, 826},
    };
    for (const auto& [arguments, frame] : cases) {
        ASSERT_EQ(runCapture(arguments), 0);
        Picture picture;
        ASSERT_TRUE(readPng(arguments[0], picture));
        ASSERT_EQ(picture.width, 1280);
        ASSERT_EQ(picture.height, 800);
        const int fps = arguments.size() > 1 ? 20 : 60;
        std::string mismatch;
        EXPECT_EQ(matchingCells(picture, 1, renderedFrame(frame, fps), mismatch), 4000)
            << arguments[0] << ": " << mismatch;
    }
}

TEST_F(CapturePicture, PatternWritesEveryFrameByNumber) {
    ASSERT_EQ(runCapture({path("shot-%04d.png"), "--fps", "4", "--to", "0.5", "--scale", "2"}), 0);
    // Frames 0, 1 and 2; no temporary files left.
    EXPECT_EQ(files(),
              (std::vector<std::string>{"shot-0000.png", "shot-0001.png", "shot-0002.png"}));
    Picture start;
    ASSERT_TRUE(readPng(path("shot-0000.png"), start));
    EXPECT_EQ(start.width, 2560);
    std::string mismatch;
    EXPECT_EQ(matchingCells(start, 2, renderedFrame(0, 4), mismatch), 4000) << mismatch;
}

} // namespace
