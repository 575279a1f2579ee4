// NextRandom: the one process-wide random source, shared by the bubbles, the dissolve
// and the noise of the scenes. A linear congruential generator that starts at 1 and is
// never reseeded, so every run draws the same numbers in the same order.
#pragma once

#include <cstdint>

// The generator's state. Only tests rewind it (to 1) to replay a sequence.
extern uint32_t RandomState;

// state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30 of it, 0..32767.
int32_t NextRandom();
