// The two tables of event times, in seconds of demo time, that every effect keys to.
// They were taken from the soundtrack; the soundtrack composer (tools/) reads the same
// tables, so picture and music cannot drift apart.
#pragma once

#include <cstdint>

constexpr int32_t kMainBeatCount = 111;
constexpr int32_t kTunnelBeatCount = 49;

// Non-decreasing; entries 80 and 81 are equal.
extern const float MainBeats[kMainBeatCount];
// Strictly increasing.
extern const float TunnelBeats[kTunnelBeatCount];
