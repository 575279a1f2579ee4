// Mp3Decoder on the Audio Compression Manager: the packets are indexed once at open, then fed
// to an ACM stream (MPEG Layer-3 to PCM) a few at a time as the caller reads; a seek reopens
// the stream a few packets before the target and drops the frames up to it.
#include "media/mp3_decoder_win32.h"

#include <windows.h>

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kPacketFrames = 1152;
// Every MPEG-1 Layer III decoder puts out its first sound this many frames late.
constexpr uint32_t kDecoderDelay = 529;
// A seek starts decoding this many packets early: the bit reservoir reaches back at most
// 511 bytes (two packets at the lowest rates of interest) and the filter bank overlaps one.
constexpr uint32_t kSeekPrerollPackets = 4;
// Packets handed to ACM per conversion, and the room for what they decode to.
constexpr uint32_t kPacketsPerFeed = 8;
constexpr uint32_t kMaxPacketBytes = 1441; // 320 kbit/s at 32,000 Hz, padded
constexpr uint32_t kSourceBytes = kPacketsPerFeed * kMaxPacketBytes;
constexpr uint32_t kMaxChannels = 2;

const uint32_t kBitrates[16] = {0,      32000,  40000,  48000,  56000,  64000,  80000,  96000,
                                112000, 128000, 160000, 192000, 224000, 256000, 320000, 0};
const uint32_t kSampleRates[4] = {44100, 48000, 32000, 0};

struct PacketHeader {
    uint32_t bitrate;
    uint32_t sampleRate;
    uint32_t channels;
    uint32_t bytes;
    bool crc;
};

// An MPEG-1 Layer III header at p (4 bytes readable)? Other layers and versions are refused.
bool parseHeader(const uint8_t* p, PacketHeader& header) {
    if (p[0] != 0xFF || (p[1] & 0xFE) != 0xFA) return false;
    header.bitrate = kBitrates[p[2] >> 4];
    header.sampleRate = kSampleRates[(p[2] >> 2) & 3];
    if (header.bitrate == 0 || header.sampleRate == 0) return false; // free format, reserved
    header.channels = (p[3] >> 6) == 3 ? 1 : 2;
    header.crc = (p[1] & 1) == 0;
    header.bytes = 144 * header.bitrate / header.sampleRate + ((p[2] >> 1) & 1);
    return true;
}

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Reads the Xing/Info header and the LAME tag behind it, if the packet at p (`bytes` long)
// is one. The delays are 12-bit fields 21 bytes into the LAME tag.
bool parseInfoPacket(const uint8_t* p, const PacketHeader& header, Mp3Layout& layout) {
    uint32_t at = 4 + (header.crc ? 2 : 0) + (header.channels == 1 ? 17 : 32);
    if (at + 8 > header.bytes) return false;
    if (std::memcmp(p + at, "Xing", 4) != 0 && std::memcmp(p + at, "Info", 4) != 0) return false;
    const uint32_t flags = bigEndian32(p + at + 4);
    at +=
        8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (at + 24 <= header.bytes) {
        const uint8_t* delays = p + at + 21;
        layout.encoderDelay = uint32_t{delays[0]} << 4 | delays[1] >> 4;
        layout.encoderPadding = uint32_t{delays[1] & 0x0Fu} << 8 | delays[2];
    }
    return true;
}

} // namespace

bool scanMp3(const uint8_t* data, uint32_t size, Mp3Layout& layout, uint32_t* offsets,
             uint32_t maxOffsets) {
    layout = Mp3Layout{};
    if (data == nullptr) return false;
    uint32_t at = 0;
    // ID3v2: "ID3", version, flags, then a 28-bit size in four 7-bit bytes (+10 header bytes,
    // +10 more with a footer).
    if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
        const uint32_t tagBytes = uint32_t{data[6] & 0x7Fu} << 21 |
                                  uint32_t{data[7] & 0x7Fu} << 14 | uint32_t{data[8] & 0x7Fu} << 7 |
                                  (data[9] & 0x7Fu);
        const uint64_t end = 10ull + tagBytes + ((data[5] & 0x10) != 0 ? 10 : 0);
        if (end > size) return false;
        at = static_cast<uint32_t>(end);
    }
    bool first = true;
    while (size - at >= 4) {
        PacketHeader header{};
        if (!parseHeader(data + at, header) || header.bytes > size - at) break;
        if (!first && (header.sampleRate != layout.sampleRate)) break;
        if (first) {
            layout.sampleRate = header.sampleRate;
            layout.channels = header.channels;
            first = false;
            if (parseInfoPacket(data + at, header, layout)) {
                layout.hasInfoPacket = true;
                at += header.bytes;
                continue;
            }
        }
        if (layout.packetCount == 0) layout.firstBitrate = header.bitrate;
        if (offsets != nullptr && layout.packetCount < maxOffsets) {
            offsets[layout.packetCount] = at;
        }
        ++layout.packetCount;
        at += header.bytes;
    }
    return layout.packetCount > 0;
}

struct Mp3DecoderState {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    Mp3Layout layout;
    std::unique_ptr<uint32_t[]> offsets; // byte offset of each audio packet
    uint64_t lead = 0;                   // decoded frames before the music's first

    MPEGLAYER3WAVEFORMAT source{};
    WAVEFORMATEX pcm{};
    HACMSTREAM acm = nullptr;
    ACMSTREAMHEADER header{};
    bool prepared = false;
    std::unique_ptr<uint8_t[]> sourceBytes;
    std::unique_ptr<uint8_t[]> pcmBytes;
    uint32_t pcmCapacity = 0;

    uint32_t nextPacket = 0; // next packet to hand to ACM
    uint32_t heldBytes = 0;  // source bytes ACM has not taken yet
    bool flushed = false;    // the last packets went in with the end flag
    uint32_t pcmStart = 0;   // decoded bytes not yet read: [pcmStart, pcmEnd)
    uint32_t pcmEnd = 0;
    uint64_t dropFrames = 0; // decoded frames still to throw away (lead, seek preroll)

    bool openStream();
    void closeStream();
    bool decodeMore();
};

bool Mp3DecoderState::openStream() {
    if (acmStreamOpen(&acm, nullptr, &source.wfx, &pcm, nullptr, 0, 0, 0) != 0) {
        acm = nullptr;
        return false;
    }
    header = ACMSTREAMHEADER{};
    header.cbStruct = sizeof header;
    header.pbSrc = sourceBytes.get();
    header.cbSrcLength = kSourceBytes;
    header.pbDst = pcmBytes.get();
    header.cbDstLength = pcmCapacity;
    if (acmStreamPrepareHeader(acm, &header, 0) != 0) {
        closeStream();
        return false;
    }
    prepared = true;
    return true;
}

void Mp3DecoderState::closeStream() {
    if (prepared) {
        // Unpreparing wants the lengths it was prepared with.
        header.cbSrcLength = kSourceBytes;
        header.cbDstLength = pcmCapacity;
        acmStreamUnprepareHeader(acm, &header, 0);
        prepared = false;
    }
    if (acm != nullptr) acmStreamClose(acm, 0);
    acm = nullptr;
}

// One conversion: tops the held source bytes up with whole packets, converts, keeps what ACM
// did not take. False when nothing more will come out.
bool Mp3DecoderState::decodeMore() {
    if (!prepared || flushed) return false;
    while (nextPacket < layout.packetCount) {
        const uint32_t start = offsets[nextPacket];
        const uint32_t end = nextPacket + 1 < layout.packetCount
                                 ? offsets[nextPacket + 1]
                                 : start + std::min<uint32_t>(size - start, kMaxPacketBytes);
        const uint32_t bytes = std::min(end - start, kMaxPacketBytes);
        if (heldBytes + bytes > kSourceBytes) break;
        std::memcpy(sourceBytes.get() + heldBytes, data + start, bytes);
        heldBytes += bytes;
        ++nextPacket;
    }
    const bool last = nextPacket >= layout.packetCount;
    header.cbSrcLength = heldBytes;
    header.cbDstLength = pcmCapacity;
    header.cbSrcLengthUsed = 0;
    header.cbDstLengthUsed = 0;
    const DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (last ? ACM_STREAMCONVERTF_END : 0);
    if (acmStreamConvert(acm, &header, flags) != 0) return false;
    const uint32_t used = std::min<uint32_t>(header.cbSrcLengthUsed, heldBytes);
    std::memmove(sourceBytes.get(), sourceBytes.get() + used, heldBytes - used);
    heldBytes -= used;
    pcmStart = 0;
    pcmEnd = std::min<uint32_t>(header.cbDstLengthUsed, pcmCapacity);
    pcmEnd -= pcmEnd % (layout.channels * 2);
    // No progress either way (the end, or bytes no decoder takes): nothing more will come.
    if (pcmEnd == 0 && (used == 0 || last)) flushed = true;
    return pcmEnd > 0 || !flushed;
}

Mp3Decoder::Mp3Decoder() = default;
Mp3Decoder::~Mp3Decoder() {
    close();
}

bool Mp3Decoder::open(const uint8_t* data, uint32_t size) {
    close();
    Mp3Layout layout;
    if (!scanMp3(data, size, layout, nullptr, 0)) return false;
    std::unique_ptr<Mp3DecoderState> s(new (std::nothrow) Mp3DecoderState);
    if (s == nullptr) return false;
    s->offsets.reset(new (std::nothrow) uint32_t[layout.packetCount]);
    s->sourceBytes.reset(new (std::nothrow) uint8_t[kSourceBytes]);
    s->pcmCapacity = (kPacketsPerFeed + 2) * kPacketFrames * 2 * kMaxChannels;
    s->pcmBytes.reset(new (std::nothrow) uint8_t[s->pcmCapacity]);
    if (s->offsets == nullptr || s->sourceBytes == nullptr || s->pcmBytes == nullptr) return false;
    scanMp3(data, size, s->layout, s->offsets.get(), layout.packetCount);
    s->data = data;
    s->size = size;

    const uint16_t channels = static_cast<uint16_t>(layout.channels);
    s->source.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    s->source.wfx.nChannels = channels;
    s->source.wfx.nSamplesPerSec = layout.sampleRate;
    s->source.wfx.nAvgBytesPerSec = layout.firstBitrate / 8;
    s->source.wfx.nBlockAlign = 1;
    s->source.wfx.wBitsPerSample = 0;
    s->source.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    s->source.wID = MPEGLAYER3_ID_MPEG;
    s->source.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    s->source.nBlockSize = static_cast<WORD>(144 * layout.firstBitrate / layout.sampleRate);
    s->source.nFramesPerBlock = 1;
    s->source.nCodecDelay = 0;
    s->pcm.wFormatTag = WAVE_FORMAT_PCM;
    s->pcm.nChannels = channels;
    s->pcm.nSamplesPerSec = layout.sampleRate;
    s->pcm.wBitsPerSample = 16;
    s->pcm.nBlockAlign = static_cast<WORD>(2 * channels);
    s->pcm.nAvgBytesPerSec = layout.sampleRate * s->pcm.nBlockAlign;
    if (!s->openStream()) return false;

    // The LAME tag says how many frames the encoder put in front of the music and behind
    // it; the decoder's own delay moves the music later by kDecoderDelay and eats as much of
    // the padding at the end. A file without the tag is taken as it decodes.
    s->lead = uint64_t{s->layout.encoderDelay} + kDecoderDelay;
    const uint64_t decoded = uint64_t{s->layout.packetCount} * kPacketFrames;
    const uint64_t trimmed = uint64_t{s->layout.encoderDelay} + s->layout.encoderPadding;
    sampleRate = layout.sampleRate;
    length = decoded > trimmed ? decoded - trimmed : 0;
    state = std::move(s);
    seek(0);
    return true;
}

void Mp3Decoder::seek(uint64_t frame) {
    if (state == nullptr) return;
    Mp3DecoderState& s = *state;
    position = std::min(frame, length);
    const uint64_t decoded = position + s.lead;
    const uint64_t packet = decoded / kPacketFrames;
    const uint64_t first = packet > kSeekPrerollPackets ? packet - kSeekPrerollPackets : 0;
    // A fresh stream forgets the old reservoir and filter state, which belong elsewhere.
    s.closeStream();
    s.openStream();
    s.nextPacket = static_cast<uint32_t>(first);
    s.heldBytes = 0;
    s.flushed = false;
    s.pcmStart = s.pcmEnd = 0;
    s.dropFrames = decoded - first * kPacketFrames;
}

uint32_t Mp3Decoder::read(int16_t* out, uint32_t frames) {
    if (state == nullptr) return 0;
    Mp3DecoderState& s = *state;
    const uint32_t channels = s.layout.channels;
    const uint32_t frameBytes = 2 * channels;
    const uint64_t left = length - position;
    if (frames > left) frames = static_cast<uint32_t>(left);
    uint32_t done = 0;
    while (done < frames) {
        if (s.pcmStart == s.pcmEnd && !s.decodeMore()) break;
        uint32_t available = (s.pcmEnd - s.pcmStart) / frameBytes;
        if (s.dropFrames > 0) {
            const uint32_t drop =
                static_cast<uint32_t>(std::min<uint64_t>(s.dropFrames, available));
            s.pcmStart += drop * frameBytes;
            s.dropFrames -= drop;
            continue;
        }
        const uint32_t take = std::min(available, frames - done);
        const int16_t* in = reinterpret_cast<const int16_t*>(s.pcmBytes.get() + s.pcmStart);
        if (channels == 2) {
            std::memcpy(out + 2 * done, in, take * 4u);
        } else {
            for (uint32_t i = 0; i < take; ++i)
                out[2 * (done + i)] = out[2 * (done + i) + 1] = in[i];
        }
        s.pcmStart += take * frameBytes;
        done += take;
    }
    position += done;
    return done;
}

void Mp3Decoder::close() {
    if (state != nullptr) state->closeStream();
    state.reset();
    sampleRate = 0;
    length = 0;
    position = 0;
}
