// The composition: key, chords, hook, bassline, drums and the hits on the beat-table
// events, arranged into the sections the picture follows.
#pragma once

#include "mix.h"

namespace composer {

// Length of the soundtrack in seconds (the MP3 holds about this much audio).
constexpr double kTrackSeconds = 62.6;
// Where the closing fade starts; the file ends in silence at kTrackSeconds.
constexpr double kFadeOutStart = 60.2;

// Renders every part of the arrangement into mix, which must hold kTrackSeconds of frames.
void composeTrack(Mix& mix);

} // namespace composer
