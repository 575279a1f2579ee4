// Mp3Decoder: an MP3 file held in memory, decoded to 16-bit stereo PCM by the system's Audio
// Compression Manager (msacm32) as it is read, with sample-exact positions. Position 0 is the
// music's first sample: the encoder's delay (from the LAME tag) and the decoder's are trimmed,
// and the end stops where the encoder's padding begins.
//
// Units: a frame here is a sample frame (one 16-bit sample per channel, 4 bytes out); an MPEG
// frame (1,152 sample frames of an MPEG-1 Layer III file) is called a packet.
#pragma once

#include <cstdint>
#include <memory>

struct Mp3DecoderState;

struct Mp3Decoder {
    uint32_t sampleRate = 0;                // of the file (and of the output)
    uint64_t length = 0;                    // sample frames of music, after trimming
    uint64_t position = 0;                  // the next frame read() gives
    std::unique_ptr<Mp3DecoderState> state; // packet index, ACM stream and its buffers

    // Indexes the packets of `data` (`size` bytes, which must outlive the decoder; nothing is
    // copied) and opens an ACM stream for them. False, leaving the decoder closed, when the
    // bytes hold no MPEG-1 Layer III packet or no ACM driver decodes them. Allocates.
    bool open(const uint8_t* data, uint32_t size);
    // Moves to `frame` (past the end: the end). Decoding restarts a few packets earlier, so
    // that the bit reservoir and the filter bank are full when `frame` comes out.
    void seek(uint64_t frame);
    // Writes up to `frames` stereo frames (interleaved left, right) and returns how many;
    // fewer only at the end of the music or if the decoder fails. Allocates nothing.
    uint32_t read(int16_t* out, uint32_t frames);
    void close();

    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;
};

// The facts read from the file's headers alone (exposed for the tests).
struct Mp3Layout {
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    uint32_t firstBitrate = 0;   // bits per second of the first audio packet
    uint32_t packetCount = 0;    // audio packets, the LAME/Xing info packet not counted
    uint32_t encoderDelay = 0;   // sample frames, from the LAME tag (0 without one)
    uint32_t encoderPadding = 0; // sample frames, from the LAME tag (0 without one)
    bool hasInfoPacket = false;  // the first packet is a Xing/Info header, not sound
};

// Scans `data` for consecutive MPEG-1 Layer III packets after an optional ID3v2 tag, up to
// the first byte that does not start one (an ID3v1 tag, garbage, a cut packet). Stores the
// byte offset of each audio packet into `offsets` when it is not null (room for
// `maxOffsets`). False when no audio packet is found. Reads nothing past `size`.
bool scanMp3(const uint8_t* data, uint32_t size, Mp3Layout& layout, uint32_t* offsets,
             uint32_t maxOffsets);
