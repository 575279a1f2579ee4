// The beat rings: which rings live at a time, their size and fade by age, and how
// overlapping rings add up.
#include "demo/beat_tables.h"
#include "demo_test_support.h"

namespace {

constexpr BlendCoefficients kAdditive{0, 1, 1, 0, 1, 1, 0};
// Adds 1 to the intensity of every cell blended, whatever the coverage: shows which cells
// a ring touches even when it draws with coverage 0.
constexpr BlendCoefficients kTouched{1, 1, 0, 0, 0, 1, 0};

class Rings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(target.create(128, 64)); }
    int touched() const {
        int count = 0;
        for (int i = 0; i < 128 * 64; ++i) count += target.cells[i].intensity != 0.0f;
        return count;
    }
    const LayerCell& at(int x, int y) const { return target.cells[y * 128 + x]; }
    Texture target;
    BeatRings rings;
};

TEST_F(Rings, NoRingLivesBeforeTheFirstOrAfterTheLastSecond) {
    for (float t : {0.0f, 5.0f, std::nextafter(MainBeats[9], 0.0f), MainBeats[25] + 1.01f, 40.0f}) {
        SCOPED_TRACE(t);
        rings.render(target, kTouched, t);
        EXPECT_EQ(touched(), 0);
    }
}

TEST_F(Rings, AtAgeZeroBothRadiiAreZeroAndNothingIsDrawn) {
    rings.render(target, kTouched, MainBeats[9]);
    EXPECT_EQ(touched(), 0);
}

TEST_F(Rings, AtAgeOneTheRingIsStillDrawnWithNoCoverage) {
    // Ring 16 (entry 25) is the only one alive a second after its beat; 16.442625 + 1 is
    // exact in floats, so its age is exactly 1.
    const float t = MainBeats[25] + 1.0f;
    ASSERT_EQ(t - MainBeats[25], 1.0f);
    rings.render(target, kTouched, t);
    EXPECT_GT(touched(), 0);

    Texture additive;
    ASSERT_TRUE(additive.create(128, 64));
    rings.render(additive, kAdditive, t);
    for (int i = 0; i < 128 * 64; ++i) ASSERT_EQ(additive.cells[i].alpha, 0.0f);

    rings.render(additive, kTouched, std::nextafter(t, 100.0f));
    for (int i = 0; i < 128 * 64; ++i) ASSERT_EQ(additive.cells[i].intensity, 0.0f);
}

TEST_F(Rings, AtAgeOneHalfTheBodyIsThreeQuartersGrownAtQuarterCoverage) {
    // Ring 16: centre (20, 35), size 5. g = 0.75: body radius 3.75 (4.5 across), outline
    // radius 6 (7.2 across), coverage 0.25.
    rings.render(target, kAdditive, MainBeats[25] + 0.5f);
    EXPECT_NEAR(at(20, 35).intensity, 0.25f, 1e-5);
    EXPECT_NEAR(at(20, 35).alpha, 0.25f, 1e-5);
    EXPECT_NEAR(at(23, 35).alpha, 0.25f, 1e-5);
    // The outline passes through (20, 29) and (27.2, 35); beyond it nothing.
    EXPECT_GT(at(20, 29).alpha + at(20, 28).alpha, 0.0f);
    EXPECT_EQ(at(20, 26).alpha, 0.0f);
    EXPECT_EQ(at(29, 35).alpha, 0.0f);
}

TEST_F(Rings, TwoStrikesAtOnePlaceAddUp) {
    // Rows 5 and 6 share the centre (50, 30) and strike on entries 14 and 15, 0.37 s apart.
    const float t = MainBeats[15] + 0.2f;
    rings.render(target, kAdditive, t);
    const double older = t - MainBeats[14];
    const double younger = t - MainBeats[15];
    const double coverage = (1 - (2 - older) * older) + (1 - (2 - younger) * younger);
    EXPECT_NEAR(at(50, 30).alpha, coverage, 1e-5);
}

TEST_F(Rings, ARingReachingPastTheTopIsClippedThere) {
    // Ring 7: centre (15, 5), full-grown outline radius 8, so it runs above row 0.
    rings.render(target, kTouched, MainBeats[16] + 0.9f);
    EXPECT_GT(at(15, 0).intensity, 0.0f);
}

} // namespace
