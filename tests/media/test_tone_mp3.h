// Test soundtracks made on the spot: a cosine tone with a one-sample click at a known
// frame, encoded into an MP3 in memory with LAME (used by the back-end tests and benchmark).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kTestRate = 44100;     // frames per second
constexpr int16_t kToneLevel = 6000; // the tone's amplitude
constexpr int16_t kClickLevel = 24000;

// `frames` stereo frames of interleaved 16-bit PCM: a 440 Hz cosine, plus a click of
// kClickLevel on both channels at `clickFrame`.
std::vector<int16_t> makeToneWithClick(size_t frames, size_t clickFrame);

// Encodes stereo 16-bit PCM at 44,100 Hz into a 128 kbit/s MP3 whose first frame is the
// LAME tag, which tells decoders the encoder delay and padding to trim. Empty on failure.
std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm);
