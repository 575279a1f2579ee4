// The scene dispatcher: which rows run at the edges of their windows, the end of the demo,
// and the section marks that shift later windows.
#include <cmath>

#include "demo_test_support.h"

namespace {

class SceneDispatch : public ::testing::Test {
  protected:
    std::unique_ptr<DemoContent> content = loadContent();
    CellImage screen = startScreen();
};

TEST_F(SceneDispatch, NoSceneRunsAtTimeZeroOrBefore) {
    // A marker, not the dots: the dissolve alone would paint the dots back.
    const Cell marker{'x', 0x1E};
    screen.fillRect(marker, 0, 0, 80, 50);
    for (float t : {0.0f, -0.0f, -1.0f, -59.5f}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(content->runScenes(screen, t, 0.01f));
        EXPECT_EQ(countCells(screen, marker), 80 * 50);
    }
}

TEST_F(SceneDispatch, TheEndTimeStillDrawsAndAnyLaterTimeEndsTheDemoWithoutDrawing) {
    EXPECT_TRUE(content->runScenes(screen, 59.0f, 0.01f));
    EXPECT_LT(countCells(screen, kStartDot), 80 * 50);

    CellImage untouched = startScreen();
    for (float t : {std::nextafter(59.0f, 60.0f), 59.01f, 280.0f}) {
        SCOPED_TRACE(t);
        EXPECT_FALSE(content->runScenes(untouched, t, 0.01f));
        EXPECT_EQ(countCells(untouched, kStartDot), 80 * 50);
    }
}

TEST_F(SceneDispatch, TheDissolveCoversTheScreenUntilJustBefore2Point6) {
    // The dissolve leaves every cell grey (attribute 7): dots still to go, spaces blanked.
    // From 2.5 s on all but the last cell of its order are blank.
    const float justBefore = std::nextafter(2.6f, 0.0f);
    ASSERT_TRUE(content->runScenes(screen, justBefore, 0.01f));
    EXPECT_EQ(countCells(screen, kStartDot), 1);
    EXPECT_EQ(countCells(screen, Cell{' ', 0x07}), 80 * 50 - 1);

    // At 2.6 itself rows 0 to 13 alone run: the frame is black, no effect draws yet.
    ASSERT_TRUE(content->runScenes(screen, 2.6f, 0.01f));
    EXPECT_EQ(countCells(screen, kBlackSpace), 80 * 50);
}

TEST_F(SceneDispatch, EarlyFrameShowsTheStartScreenWithTheHeadOfTheOrderBlanked) {
    // 4000 cells x 0.25 s x 0.4 per second: 400 cells blank, over a black frame.
    ASSERT_TRUE(content->runScenes(screen, 0.25f, 0.01f));
    EXPECT_EQ(countCells(screen, kStartDot), 4000 - 400);
    EXPECT_EQ(countCells(screen, Cell{' ', 0x07}), 400);
}

TEST_F(SceneDispatch, ASectionMarkShiftsEveryLaterWindowAndItsDurationIsIgnored) {
    const SceneEntry table[] = {
        {nullptr, 10.0f, 1000.0f},
        {&DemoContent::clearBackBuffer, 0.0f, 5.0f},
    };
    struct Case {
        float t;
        bool cleared;
    };
    // The clear runs in (10, 15) only, open at both ends.
    for (const Case c : {Case{5.0f, false}, Case{10.0f, false}, Case{10.5f, true},
                         Case{14.9f, true}, Case{15.0f, false}, Case{50.0f, false}}) {
        SCOPED_TRACE(c.t);
        CellImage dots = startScreen();
        EXPECT_TRUE(content->runSceneTable(table, 2, dots, c.t, 0.01f));
        EXPECT_EQ(countCells(dots, kBlackSpace), c.cleared ? 4000 : 0);
    }
}

TEST_F(SceneDispatch, AShiftedWindowEndIsNotRoundedToAFloat) {
    // The window ends at 10 + 0.2f = 10.2000000029..., above 10.2. The float nearest 10.2,
    // 10.19999981, lies inside it, though the sum rounded to a float is that float itself.
    const SceneEntry table[] = {
        {nullptr, 10.0f, 0.0f},
        {&DemoContent::clearBackBuffer, 0.0f, 0.2f},
    };
    CellImage dots = startScreen();
    EXPECT_TRUE(content->runSceneTable(table, 2, dots, 10.2f, 0.01f));
    EXPECT_EQ(countCells(dots, kBlackSpace), 4000);
}

TEST_F(SceneDispatch, WindowsAreOpenAtBothEnds) {
    const SceneEntry table[] = {{&DemoContent::clearBackBuffer, 1.0f, 2.0f}};
    struct Case {
        float t;
        bool cleared;
    };
    for (const Case c : {Case{1.0f, false}, Case{std::nextafter(1.0f, 2.0f), true},
                         Case{std::nextafter(3.0f, 0.0f), true}, Case{3.0f, false}}) {
        SCOPED_TRACE(c.t);
        CellImage dots = startScreen();
        EXPECT_TRUE(content->runSceneTable(table, 1, dots, c.t, 0.01f));
        EXPECT_EQ(countCells(dots, kBlackSpace), c.cleared ? 4000 : 0);
    }
}

} // namespace
