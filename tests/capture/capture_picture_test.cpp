// The PNG captures read back with libpng: one picture and a numbered sequence equal
// `kaveo render` in every cell; the painter's square cells and colours at a larger scale.
#include "capture/cell_painter.h"
#include "capture_fixture.h"
#include "gfx/resource_blob.h"

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
    // Frames 0, 1 and 2; no part files left.
    EXPECT_EQ(files(),
              (std::vector<std::string>{"shot-0000.png", "shot-0001.png", "shot-0002.png"}));
    Picture start;
    ASSERT_TRUE(readPng(path("shot-0000.png"), start));
    EXPECT_EQ(start.width, 2560);
    std::string mismatch;
    EXPECT_EQ(matchingCells(start, 2, renderedFrame(0, 4), mismatch), 4000) << mismatch;
}

// A full block in yellow beside a space on red, at scale 2: square 32 x 32 cells.
TEST(CellPainter, PaintsSquareCellsInConsoleColours) {
    ResourceBlob blob;
    ConsoleFont font;
    ASSERT_NE(blob.load("font.bin", kResourceTypeData), nullptr);
    ASSERT_TRUE(font.load(blob));
    CellImage cells;
    ASSERT_TRUE(cells.create(3, 1));
    cells.cells[0] = Cell{0xDB, 0x0E}; // yellow full block
    cells.cells[1] = Cell{0x20, 0x4F}; // a space shows only its red background
    cells.cells[2] = Cell{0xDD, 0x1C}; // left half block: bright red on blue
    std::vector<uint8_t> rgb(96 * 32 * 3);
    paintCells(cells, font, 2, rgb.data(), 96 * 3);
    auto pixel = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * 96 + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    const std::vector<int> yellow{255, 255, 0}, red{128, 0, 0}, brightRed{255, 0, 0},
        blue{0, 0, 128};
    for (int y : {0, 17, 31}) {
        EXPECT_EQ(pixel(0, y), yellow);
        EXPECT_EQ(pixel(31, y), yellow);
        EXPECT_EQ(pixel(32, y), red);
        EXPECT_EQ(pixel(63, y), red);
        EXPECT_EQ(pixel(64, y), brightRed); // the half block's 4 font pixels: 16 pixels
        EXPECT_EQ(pixel(79, y), brightRed);
        EXPECT_EQ(pixel(80, y), blue);
        EXPECT_EQ(pixel(95, y), blue);
    }
}

TEST(CellPainter, RefusesAFontOfTheWrongSize) {
    const uint8_t bytes[100] = {};
    ResourceBlob blob;
    blob.data = bytes;
    blob.size = sizeof bytes;
    ConsoleFont font;
    EXPECT_FALSE(font.load(blob));
}

} // namespace
