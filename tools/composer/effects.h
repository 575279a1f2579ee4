// The two send effects: a ping-pong echo in time with the music and a room reverb.
// Both read a whole send bus and add their wet output to another buffer.
#pragma once

#include "mix.h"

namespace composer {

// Echo every delaySeconds, alternating sides, each repeat darker and softer by feedback.
void addPingPongDelay(const StereoBuffer& send, StereoBuffer& out, double delaySeconds,
                      double feedback);
// A dense tail of parallel damped combs and series all-passes per side; size 0..1
// sets the decay, wet the output level.
void addReverb(const StereoBuffer& send, StereoBuffer& out, double size, double wet);

} // namespace composer
