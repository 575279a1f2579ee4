// The fade that ends the sound: worked for a sound that ends at sample frame 1,000.
#include <gtest/gtest.h>

#include <vector>

#include "media/fade.h"

namespace {

// Over 882 sample frames to silence, ending with the sound: worked for an end at 1,000.
TEST(EndFade, RampsTheLast882FramesToSilence) {
    std::vector<int16_t> sound(2 * 1000, 8820);
    applyEndFade(sound.data(), 1000, 0, 1000);
    EXPECT_EQ(sound[2 * 117], 8820);     // before the fade
    EXPECT_EQ(sound[2 * 118], 8810);     // 881 / 882 of the level
    EXPECT_EQ(sound[2 * 559 + 1], 4400); // 440 / 882, right channel too
    EXPECT_EQ(sound[2 * 999], 0);        // the last frame is silent
    // The same sound in two pieces fades the same.
    std::vector<int16_t> first(2 * 600, 8820), second(2 * 400, 8820);
    applyEndFade(first.data(), 600, 0, 1000);
    applyEndFade(second.data(), 400, 600, 1000);
    EXPECT_EQ(first[2 * 559 + 1], 4400);
    EXPECT_EQ(second[2 * 399], 0);
}

} // namespace
