// The built kaveo.mp3 as a player hears it, decoded gapless by libmpg123 once per test
// program, and the beat-table events the picture keys to. Shared by the soundtrack tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <mpg123.h>

namespace soundtrack {

constexpr long kRate = 44100;

struct Decoded {
    bool ok = false;
    std::vector<uint8_t> bytes; // the file
    mpg123_frameinfo2 info{};
    long encoderDelay = -1; // from the Info frame, -1 if the decoder found none
    std::string id3v2Title;
    std::vector<float> left, right;
};

// Decodes the file at path to 32-bit float stereo; ok is false on any failure.
Decoded decode(const char* path);

// The soundtrack of this build (KAVEO_SOUNDTRACK_PATH), decoded on first use.
const Decoded& track();

inline double seconds(size_t frames) {
    return static_cast<double>(frames) / kRate;
}

// The events the picture reacts to: MainBeats 0-65, then TunnelBeats 0-48, in seconds.
std::vector<double> namedEvents();

// Distance in seconds from time to the closest of the sorted onsets (1e9 if there are none).
double nearestDistance(const std::vector<double>& onsets, double time);

} // namespace soundtrack
