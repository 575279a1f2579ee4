// The drum kit and the noise effects, all from sines, noise and filters. Each call renders
// one hit at a time in seconds with a velocity 0..1 into the mix.
#pragma once

#include <cstdint>

#include "mix.h"

namespace composer {

// A pitch-swept sine with a click on top: the low end that moves the tunnel.
void renderKick(Mix& mix, const Channel& channel, double time, double velocity);
void renderSnare(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed);
// Three quick noise bursts and a tail, like hands.
void renderClap(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed);
// decay is the 60 dB time in seconds: short for closed, long for open.
void renderHat(Mix& mix, const Channel& channel, double time, double velocity, double decay,
               uint32_t seed);
// A tom at a pitch in Hz, for the rolls.
void renderTom(Mix& mix, const Channel& channel, double time, double velocity, double hz);
void renderCrash(Mix& mix, const Channel& channel, double time, double velocity, uint32_t seed);
// Noise through a band-pass that sweeps up as it swells from start to end (seconds).
void renderRiser(Mix& mix, const Channel& channel, double start, double end, double velocity,
                 uint32_t seed);
// A crack across the whole spectrum: white noise from an instant attack, falling 60 dB over
// decay seconds. It marks a hit that must cut through whatever already sounds.
void renderImpact(Mix& mix, const Channel& channel, double time, double velocity, double decay,
                  uint32_t seed);
// A short burst of bright noise, length in seconds.
void renderNoiseBurst(Mix& mix, const Channel& channel, double time, double length, double velocity,
                      uint32_t seed);

} // namespace composer
