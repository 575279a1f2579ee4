// Fuzzes the MP3 decoding the audio back end's decoding thread runs: open any bytes from
// memory, then seek and decode as playing does. The first input bytes choose the seeks.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "media/mp3_stream_mpg123.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t choice = 0;
    std::memcpy(&choice, data, 4);
    Mp3Stream stream;
    if (!stream.open(data + 4, size - 4)) return 0;
    static int16_t out[2 * 4096];
    // Decode a little from the start, from a chosen place, and past the end.
    stream.read(out, 1152);
    stream.seek(static_cast<int64_t>(choice % static_cast<uint32_t>(stream.length + 1)));
    for (int i = 0; i < 4 && !stream.ended; ++i) stream.read(out, 4096);
    stream.seek(stream.length + 1000);
    stream.read(out, 100);
    stream.seek(-5);
    stream.read(out, 4096);
    return 0;
}
