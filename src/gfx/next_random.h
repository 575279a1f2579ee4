// NextRandom: the one process-wide random source, shared by the bubbles, the dissolve
// and the noise of the scenes. A linear congruential generator that starts at 1 and is
// never reseeded, so every run draws the same numbers in the same order.
#pragma once

#include <cstdint>

// The generator's state. Only tests rewind it (to 1) to replay a sequence.
extern uint32_t RandomState;

constexpr uint32_t kRandomMultiplier = 214013u;
constexpr uint32_t kRandomIncrement = 2531011u;

// One draw from `state`: state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30 of
// it, 0..32767. Loops that draw per cell keep the state in a local and store it back once.
inline int32_t stepRandom(uint32_t& state) {
    state = state * kRandomMultiplier + kRandomIncrement;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

// The next number of the process-wide sequence.
inline int32_t NextRandom() {
    return stepRandom(RandomState);
}

// Moves the process-wide sequence on by `count` draws, as that many NextRandom calls would,
// in about log2(count) steps.
void skipRandom(uint32_t count);
