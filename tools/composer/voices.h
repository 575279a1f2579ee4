// The pitched instruments: pad, bass, stab, pluck, lead and bell. Each renders one note,
// synthesised from oscillators, filters and envelopes, straight into the mix.
#pragma once

#include <cstdint>

#include "mix.h"

namespace composer {

// One note: start and length in seconds, pitch as a MIDI note number (69 = A4 = 440 Hz),
// velocity 0..1. The length is how long the key is held; release tails go beyond it.
struct Note {
    double start = 0.0;
    double length = 0.0;
    double pitch = 69.0;
    double velocity = 1.0;
};

// Wide detuned saws behind a soft low-pass; brightness is the cutoff in Hz.
// attack is the swell time in seconds.
void renderPadNote(Mix& mix, const Channel& channel, const Note& note, double attack,
                   double brightness, uint32_t seed);
// Filtered saw over a sine sub; punchy enough to carry the hits.
void renderBassNote(Mix& mix, const Channel& channel, const Note& note);
// A pure low sine, for drones under the intro and the ending.
void renderSubNote(Mix& mix, const Channel& channel, const Note& note, double attack,
                   double release);
// A brassy chord hit with a snapping filter: the voice of the beat-table events.
void renderStabNote(Mix& mix, const Channel& channel, const Note& note, uint32_t seed);
// A short plucked tone for the arpeggios; cutoff is the filter's opening in Hz.
void renderPluckNote(Mix& mix, const Channel& channel, const Note& note, double cutoff);
// The hook's voice: two saws with vibrato, gliding from the previous pitch.
void renderLeadNote(Mix& mix, const Channel& channel, const Note& note, double fromPitch);
// A two-operator FM bell.
void renderBellNote(Mix& mix, const Channel& channel, const Note& note);

} // namespace composer
