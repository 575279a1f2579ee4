// Reads the embedded soundtrack for a capture: 44,100 Hz stereo 16-bit samples decoded with
// libmpg123 from the MP3 in memory, from a sample-exact position, with the encoder delay
// trimmed (gapless), so sample n is the sound at demo time n / 44,100 s, as the live program
// plays it. After the end of the MP3 it reads silence.
#pragma once

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

constexpr int32_t kCaptureSampleRate = 44100;
// The live program fades its sound out over this many sample frames (20 ms) when it stops;
// a capture ends its sound the same way.
constexpr int64_t kCaptureFadeFrames = 882;

struct SoundtrackReader {
    mpg123_handle_struct* decoder = nullptr;
    const uint8_t* data = nullptr; // the MP3, owned by the executable image
    size_t size = 0;
    size_t offset = 0; // read position in data, for libmpg123's reader callbacks
    bool ended = false;

    SoundtrackReader() = default;
    SoundtrackReader(const SoundtrackReader&) = delete;
    SoundtrackReader& operator=(const SoundtrackReader&) = delete;
    ~SoundtrackReader();

    // Opens the MP3 and moves to sample frame `start`. False when it is not an MP3 of
    // 44,100 Hz stereo or the decoder cannot start.
    bool open(const uint8_t* mp3, size_t bytes, int64_t start);

    // Fills `frames` stereo sample frames (2 x frames values) from the current position.
    void read(int16_t* out, size_t frames);
};

// Fades the last kCaptureFadeFrames of a sound that ends at sample frame `end` to silence,
// as the live program does when it stops: frame end - 1 - i keeps i / kCaptureFadeFrames of
// its level. `out` holds `frames` stereo frames starting at sample frame `first`.
void applyEndFade(int16_t* out, size_t frames, int64_t first, int64_t end);
