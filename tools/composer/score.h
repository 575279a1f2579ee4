// The composition: key, chords, hook, bassline, drums and the hits on the beat-table
// events, arranged into the sections the picture follows.
#pragma once

#include "mix.h"

namespace composer {

// Length of the soundtrack in seconds (the MP3 holds about this much audio).
constexpr double kTrackSeconds = 62.6;
// Where the file's own closing fade starts, so it ends on exact silence at kTrackSeconds. The
// music itself has faded out before the demo ends at 59 s (the master fader in score.cpp).
constexpr double kFadeOutStart = 60.2;

// Renders every part of the arrangement into mix, which must hold kTrackSeconds of frames.
void composeTrack(Mix& mix);

} // namespace composer
