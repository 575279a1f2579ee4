// The waveOut back end under wine, with the test soundtrack (3 s): the positions every back
// end shares. Needs a waveOut device (wine gets one from a sound server, as .ci/windows
// starts); without one the test is skipped, not failed.
#include <gtest/gtest.h>

#include "gfx/resource_blob.h"
#include "media/audio_backend.h"
#include "same_positions.h"

namespace {

TEST(AudioWin32, ReportsTheSharedPositions) {
    if (!audioInit()) GTEST_SKIP() << "no waveOut device";
    ResourceBlob blob;
    ASSERT_NE(blob.load("click.mp3", 10), nullptr);
    expectSamePositions(audioStreamCreate(blob.data, blob.size));
    audioFree();
}

} // namespace
