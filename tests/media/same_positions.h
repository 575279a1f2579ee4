// One table of positions that every audio back end must report alike, run by each back end's
// own test (SDL2 here, the web back end under node, waveOut under wine).
#pragma once

#include "media/audio_backend.h"

// Runs the table against `stream`: a stream of exactly 3 s at 44,100 frames per second,
// standing still, of the back end the test links. Reports through GoogleTest.
void expectSamePositions(AudioStream stream);
