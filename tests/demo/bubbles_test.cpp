// The bubble field: creation from the random sequence, growth from the beats, the forces
// (gravity, contact, the acceleration limit) and the walls, and what gets drawn.
#include <cmath>

#include "demo/beat_tables.h"
#include "demo_test_support.h"

namespace {

constexpr float kDelta = 0.01f;
const CellArea kWholeScratch{0, 0, 128, 64};

class Bubbles : public ::testing::Test {
  protected:
    void SetUp() override {
        RandomState = 1;
        ASSERT_TRUE(field.create());
    }
    // Keeps only the listed bubbles: the others never grow (base radius 0) and wait far
    // above the picture, where nothing reaches them.
    void isolate(std::initializer_list<int> keep) {
        for (int i = 0; i < kBubbleCount; ++i) {
            bool kept = false;
            for (int k : keep) kept = kept || k == i;
            if (kept) continue;
            field.bubbles[i] =
                Bubble{0.0f, 0.0f, 40.0f, -1000.0f - 20.0f * static_cast<float>(i), 0.0f, 0.0f};
        }
    }
    void place(int i, float baseRadius, float x, float y, float vx = 0.0f, float vy = 0.0f) {
        field.bubbles[i] = Bubble{baseRadius, 0.0f, x, y, vx, vy};
    }
    BubbleField field;
};

TEST_F(Bubbles, StartAtRestInsideTheVisibleAreaWithRadiiFrom3To6) {
    // Which random numbers they take is checked with the loading order.
    for (const Bubble& b : field.bubbles) {
        EXPECT_TRUE(b.baseRadius >= 3.0f && b.baseRadius <= 6.0f);
        EXPECT_TRUE(b.x >= 0.0f && b.x <= 80.0f && b.y >= 0.0f && b.y <= 50.0f);
        EXPECT_TRUE(b.vx == 0.0f && b.vy == 0.0f && b.radius == 0.0f);
    }
}

TEST_F(Bubbles, GrowFromTheirReleaseBeatToFullSizeInHalfASecond) {
    const float release = MainBeats[26];
    struct Case {
        float t;
        float factor; // of the base radius, for bubbles 0 to 2
    };
    for (const Case c : {Case{10.0f, 0.0f}, Case{release, 0.0f}, Case{release + 0.25f, 0.75f},
                         Case{release + 0.5f, 1.0f}, Case{release + 30.0f, 1.0f}}) {
        SCOPED_TRACE(c.t);
        field.update(c.t, 0.0f);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(field.bubbles[i].radius, c.factor * field.bubbles[i].baseRadius, 1e-4f);
    }
    // Three bubbles per beat: bubble 3 waits for entry 27, bubbles 117 to 119 for entry 65.
    field.update(std::nextafter(MainBeats[27], 0.0f), 0.0f);
    EXPECT_GT(field.bubbles[2].radius, 0.0f);
    EXPECT_EQ(field.bubbles[3].radius, 0.0f);
    field.update(MainBeats[65] + 0.5f, 0.0f);
    EXPECT_FLOAT_EQ(field.bubbles[119].radius, field.bubbles[119].baseRadius);
    EXPECT_FLOAT_EQ(field.bubbles[117].radius, field.bubbles[117].baseRadius);
}

TEST_F(Bubbles, NothingMovesOrDrawsBeforeTheFirstRelease) {
    const BubbleField before = field;
    Texture scratch;
    ASSERT_TRUE(scratch.create(128, 64));
    for (int frame = 0; frame < 50; ++frame)
        EXPECT_TRUE(field
                        .render(scratch, BlendCoefficients{0, 1, 1, 0, 1, 1, 0},
                                5.0f + static_cast<float>(frame) * kDelta, kDelta, kWholeScratch)
                        .empty());
    for (int i = 0; i < kBubbleCount; ++i) {
        EXPECT_EQ(field.bubbles[i].x, before.bubbles[i].x);
        EXPECT_EQ(field.bubbles[i].y, before.bubbles[i].y);
    }
    for (int i = 0; i < 128 * 64; ++i) ASSERT_EQ(scratch.cells[i].alpha, 0.0f);
}

TEST_F(Bubbles, FallUnderGravityWithDampedVelocityAPerFrameDisplacement) {
    isolate({0});
    place(0, 4.0f, 40.0f, 10.0f);
    field.update(30.0f, kDelta);
    // Mass 16, gravity 4, acceleration 0.25; v = 0.25 x 0.01 x e^-0.1; y moves by v.
    const double v = 0.25 * 0.01 * std::exp(-0.1);
    EXPECT_NEAR(field.bubbles[0].vy, v, 1e-9);
    EXPECT_NEAR(field.bubbles[0].y, 10.0 + v, 1e-6);
    EXPECT_EQ(field.bubbles[0].vx, 0.0f);
}

TEST_F(Bubbles, WallsClampThePositionAndKeepTheVelocity) {
    isolate({0, 1, 2});
    place(0, 4.0f, 40.0f, 59.0f, 0.0f, 3.0f);  // falls through the floor at 60
    place(1, 4.0f, 89.5f, 20.0f, 5.0f, 0.0f);  // runs into the right wall at 90
    place(2, 4.0f, -9.5f, 20.0f, -5.0f, 0.0f); // runs into the left wall at -10
    field.update(30.0f, kDelta);
    // Half the radius (2) must stay inside each wall.
    EXPECT_EQ(field.bubbles[0].y, 58.0f);
    EXPECT_GT(field.bubbles[0].vy, 2.0f);
    EXPECT_EQ(field.bubbles[1].x, 88.0f);
    EXPECT_GT(field.bubbles[1].vx, 4.0f);
    EXPECT_EQ(field.bubbles[2].x, -8.0f);
    EXPECT_LT(field.bubbles[2].vx, -4.0f);
}

TEST_F(Bubbles, ARestingBubbleKeepsFallingIntoTheFloor) {
    isolate({0});
    place(0, 4.0f, 40.0f, 58.0f);
    for (int frame = 0; frame < 200; ++frame) field.update(30.0f, kDelta);
    EXPECT_EQ(field.bubbles[0].y, 58.0f);
    EXPECT_GT(field.bubbles[0].vy, 0.0f);
}

TEST_F(Bubbles, TouchingExactlyAtTheMarginExertsNoForceAndCloserPushesApart) {
    // Radii 3 and 3 plus the margin of 2: contact at a distance of 8.
    isolate({0, 1});
    place(0, 3.0f, 20.0f, 30.0f);
    place(1, 3.0f, 28.0f, 30.0f);
    field.update(30.0f, kDelta);
    EXPECT_EQ(field.bubbles[0].vx, 0.0f);
    EXPECT_EQ(field.bubbles[1].vx, 0.0f);

    place(0, 3.0f, 20.0f, 30.0f);
    place(1, 3.0f, 27.0f, 30.0f);
    field.update(30.0f, kDelta);
    EXPECT_LT(field.bubbles[0].vx, 0.0f);
    EXPECT_GT(field.bubbles[1].vx, 0.0f);
}

TEST_F(Bubbles, AnUnbornBubbleIsPushedAtTheAccelerationLimitButPushesNothing) {
    isolate({0, 117});
    place(0, 5.0f, 40.0f, 30.0f);
    place(117, 5.0f, 44.0f, 30.0f); // released on entry 65 (37.4 s)
    field.update(30.0f, kDelta);    // bubble 0 full-grown, bubble 117 unborn
    EXPECT_EQ(field.bubbles[117].radius, 0.0f);
    // Bubble 0 feels only gravity; bubble 117, of mass 0.01, is pushed away from it (to the
    // right, a hair upwards since bubble 0 has already fallen a little) at the limit of 10.
    EXPECT_EQ(field.bubbles[0].vx, 0.0f);
    const Bubble& pushed = field.bubbles[117];
    EXPECT_NEAR(std::hypot(pushed.vx, pushed.vy), 10.0 * 0.01 * std::exp(-0.1), 1e-7);
    EXPECT_GT(pushed.vx, 1000.0f * std::fabs(pushed.vy));
}

TEST_F(Bubbles, CoincidentCentresAreSeparatedWithoutNotANumber) {
    isolate({0, 1});
    place(0, 4.0f, 40.0f, 30.0f);
    place(1, 4.0f, 40.0f, 30.0f);
    field.update(30.0f, kDelta);
    for (int i : {0, 1}) {
        EXPECT_TRUE(std::isfinite(field.bubbles[i].x));
        EXPECT_TRUE(std::isfinite(field.bubbles[i].y));
    }
    EXPECT_NE(field.bubbles[0].x, field.bubbles[1].x);
}

TEST_F(Bubbles, DrawsARimABodyAndADarkerCore) {
    isolate({0});
    place(0, 6.0f, 40.0f, 30.0f);
    field.update(30.0f, 0.0f);
    Texture scratch;
    ASSERT_TRUE(scratch.create(128, 64));
    const CellArea drawn =
        field.draw(scratch, BlendCoefficients{0, 1, 1, 0, 1, 1, 0}, kWholeScratch);
    const auto at = [&](int x, int y) { return scratch.cells[y * 128 + x]; };
    // Centre: body 0.25, core -0.125. Inside the body, outside the core: 0.25.
    EXPECT_NEAR(at(40, 30).intensity, 0.125f, 1e-6);
    EXPECT_NEAR(at(40, 30).alpha, 0.125f, 1e-6);
    EXPECT_NEAR(at(40, 26).intensity, 0.25f, 1e-6);
    // Far outside nothing.
    EXPECT_EQ(at(40, 20).alpha, 0.0f);
    EXPECT_EQ(at(50, 30).alpha, 0.0f);
    // The area reported holds every cell drawn on.
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 128; ++x) {
            if (at(x, y).alpha != 0.0f) {
                ASSERT_TRUE(drawn.overlaps(CellArea{x, y, x + 1, y + 1})) << x << "," << y;
            }
        }
    }
}

TEST_F(Bubbles, BubblesWhollyOutsideWhatIsShownAreLeftOut) {
    // Radius 4, rx 4.8: bubble 0 spans columns 75.2 to 84.8, across the edge; bubble 1 starts
    // at 83.2, more than the two cells of its reach past it, and bubble 2 at row 53.
    isolate({0, 1, 2});
    place(0, 4.0f, 80.0f, 20.0f);
    place(1, 4.0f, 88.0f, 20.0f);
    place(2, 4.0f, 40.0f, 57.0f);
    field.update(30.0f, 0.0f);
    Texture scratch;
    ASSERT_TRUE(scratch.create(128, 64));
    const CellArea shown{0, 0, 80, 50};
    const CellArea drawn = field.draw(scratch, BlendCoefficients{0, 1, 1, 0, 1, 1, 0}, shown);
    EXPECT_GT(scratch.cells[20 * 128 + 78].alpha, 0.0f); // bubble 0, on screen
    EXPECT_GT(scratch.cells[20 * 128 + 82].alpha, 0.0f); // bubble 0, past the edge
    EXPECT_EQ(scratch.cells[20 * 128 + 90].alpha, 0.0f); // bubble 1 left out
    EXPECT_EQ(scratch.cells[57 * 128 + 40].alpha, 0.0f); // bubble 2 left out
    EXPECT_LT(drawn.right, 90);
    EXPECT_LT(drawn.bottom, 30);
}

} // namespace
