// Mp3Stream: an MP3 file held in memory, decoded by libmpg123 to 44,100 Hz 16-bit stereo
// with sample-exact positions (gapless: the encoder delay and padding are trimmed). No sound
// output here: the audio back end's decoding thread reads it, and the fuzzer drives it alone.
//
// Units: a frame is a sample frame (one 16-bit sample per channel, 4 bytes out).
#pragma once

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

struct Mp3Stream {
    // The MP3 bytes the decoder reads through our reader functions.
    struct Source {
        const uint8_t* data = nullptr;
        size_t size = 0;
        size_t offset = 0;
    };

    mpg123_handle_struct* decoder = nullptr;
    Source source;
    int64_t length = 0;   // frames of music
    int64_t position = 0; // the next frame read() gives
    bool ended = false;   // the decoder has nothing more (the end, or a broken stream)

    Mp3Stream() = default;
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;
    ~Mp3Stream() { close(); }

    // Opens the `size` bytes at `data` (which must outlive the stream; nothing is copied) and
    // measures them: the scan reads the whole file once (well under a millisecond for the
    // soundtrack) for the exact length and the index that makes seeks exact. False, leaving
    // the stream closed, when the bytes hold no MP3 that decodes to 44,100 Hz stereo.
    // Allocates.
    bool open(const uint8_t* data, size_t size);
    // Moves to `frame`, clamped to [0, length].
    void seek(int64_t frame);
    // Writes up to `frames` stereo frames (interleaved) and returns how many: fewer only at
    // the end or when the bytes stop decoding (then `ended`). Allocates nothing.
    uint32_t read(int16_t* out, uint32_t frames);
    void close();
};
