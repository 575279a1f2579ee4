// Encodes the mastered track with LAME into a complete MP3 file in memory: an ID3v2.3 tag,
// the LAME/Info frame that lets decoders trim the encoder delay, the audio, an ID3v1 tag.
#pragma once

#include <cstdint>
#include <vector>

#include "mix.h"

namespace composer {

struct TrackTags {
    const char* title = "";
    const char* artist = "";
    const char* album = "";
    const char* year = "";
};

// 44,100 Hz joint stereo at a constant 128 kbit/s. The input is float PCM in -1..1.
// False if LAME refuses a setting or fails to encode; out is then empty.
bool encodeMp3(const StereoBuffer& audio, const TrackTags& tags, std::vector<uint8_t>& out);

// Decodes a file made by encodeMp3 with LAME's own decoder, to check what a player will
// hear. The encoder delay is not trimmed. False on a decoding error.
bool decodeMp3(const std::vector<uint8_t>& mp3, StereoBuffer& audio);

} // namespace composer
