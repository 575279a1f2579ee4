// LAME encoding of the track, with the tags and the gapless Info frame put in place by hand
// because the file is assembled in memory rather than written by LAME itself.
#include "encoder.h"

#include <algorithm>
#include <cstring>

#include <lame/lame.h>

#include "dsp.h"

namespace composer {

namespace {

// Size of the whole ID3v2 tag; the text frames are small, the rest is padding that
// taggers can fill in place.
constexpr size_t kId3v2Size = 4096;

bool configure(lame_t lame, const TrackTags& tags) {
    // Settings first, tags after lame_init_params so the tag code sees the final setup.
    if (lame_set_in_samplerate(lame, kSampleRate) != 0) return false;
    if (lame_set_out_samplerate(lame, kSampleRate) != 0) return false;
    if (lame_set_num_channels(lame, 2) != 0) return false;
    if (lame_set_mode(lame, JOINT_STEREO) != 0) return false;
    if (lame_set_VBR(lame, vbr_off) != 0) return false;
    if (lame_set_brate(lame, 128) != 0) return false;
    if (lame_set_quality(lame, 3) != 0) return false;
    // The Info frame records the encoder delay and padding for gapless decoders.
    if (lame_set_bWriteVbrTag(lame, 1) != 0) return false;
    lame_set_write_id3tag_automatic(lame, 0);
    id3tag_init(lame);
    id3tag_add_v2(lame);
    id3tag_set_title(lame, tags.title);
    id3tag_set_artist(lame, tags.artist);
    id3tag_set_album(lame, tags.album);
    id3tag_set_year(lame, tags.year);
    if (lame_init_params(lame) < 0) return false;
    return true;
}

// The ID3v2 tag as LAME builds it, padded to kId3v2Size with the size field rewritten.
bool buildId3v2(lame_t lame, std::vector<uint8_t>& tag) {
    const size_t needed = lame_get_id3v2_tag(lame, nullptr, 0);
    if (needed < 10 || needed > kId3v2Size) return false;
    tag.assign(kId3v2Size, 0);
    if (lame_get_id3v2_tag(lame, tag.data(), needed) != needed) return false;
    if (std::memcmp(tag.data(), "ID3\x03", 4) != 0) return false;
    // Size excludes the 10-byte header and is stored as four 7-bit bytes.
    const size_t body = kId3v2Size - 10;
    tag[6] = static_cast<uint8_t>((body >> 21) & 0x7F);
    tag[7] = static_cast<uint8_t>((body >> 14) & 0x7F);
    tag[8] = static_cast<uint8_t>((body >> 7) & 0x7F);
    tag[9] = static_cast<uint8_t>(body & 0x7F);
    return true;
}

bool encodeAudio(lame_t lame, const StereoBuffer& audio, std::vector<uint8_t>& frames) {
    constexpr int kChunk = 8192;
    // LAME's own bound for the output of one call: 1.25 × samples + 7200.
    std::vector<uint8_t> buffer(kChunk * 5 / 4 + 7200);
    const size_t n = audio.left.size();
    for (size_t start = 0; start < n; start += kChunk) {
        const int count = static_cast<int>(std::min<size_t>(kChunk, n - start));
        const int written = lame_encode_buffer_ieee_float(
            lame, audio.left.data() + start, audio.right.data() + start, count, buffer.data(),
            static_cast<int>(buffer.size()));
        if (written < 0) return false;
        frames.insert(frames.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) return false;
    frames.insert(frames.end(), buffer.begin(), buffer.begin() + flushed);
    return true;
}

bool assemble(lame_t lame, const StereoBuffer& audio, std::vector<uint8_t>& out) {
    std::vector<uint8_t> id3v2;
    if (!buildId3v2(lame, id3v2)) return false;
    std::vector<uint8_t> frames;
    if (!encodeAudio(lame, audio, frames)) return false;
    // LAME left an empty first frame for the Info tag; now that the counts are known,
    // put the real one there.
    uint8_t info[2880];
    const size_t infoSize = lame_get_lametag_frame(lame, info, sizeof info);
    if (infoSize == 0 || infoSize > sizeof info || infoSize > frames.size()) return false;
    std::copy(info, info + infoSize, frames.begin());
    uint8_t id3v1[128];
    if (lame_get_id3v1_tag(lame, id3v1, sizeof id3v1) != sizeof id3v1) return false;

    out = std::move(id3v2);
    out.insert(out.end(), frames.begin(), frames.end());
    out.insert(out.end(), id3v1, id3v1 + sizeof id3v1);
    return true;
}

} // namespace

bool encodeMp3(const StereoBuffer& audio, const TrackTags& tags, std::vector<uint8_t>& out) {
    out.clear();
    lame_t lame = lame_init();
    if (lame == nullptr) return false;
    const bool ok = configure(lame, tags) && assemble(lame, audio, out);
    lame_close(lame);
    if (!ok) out.clear();
    return ok;
}

bool decodeMp3(const std::vector<uint8_t>& mp3, StereoBuffer& audio) {
    audio.left.clear();
    audio.right.clear();
    if (mp3.size() < kId3v2Size + 128) return false;
    hip_t hip = hip_decode_init();
    if (hip == nullptr) return false;
    short left[1152], right[1152];
    auto append = [&](int count) {
        for (int i = 0; i < count; ++i) {
            audio.left.push_back(static_cast<float>(left[i]) * (1.0f / 32768.0f));
            audio.right.push_back(static_cast<float>(right[i]) * (1.0f / 32768.0f));
        }
    };
    // The frames only: the tags at both ends are not audio.
    std::vector<uint8_t> frames(mp3.begin() + kId3v2Size, mp3.end() - 128);
    bool ok = true;
    constexpr size_t kChunk = 1024;
    for (size_t start = 0; start < frames.size() && ok; start += kChunk) {
        const size_t count = std::min(kChunk, frames.size() - start);
        int n = hip_decode1(hip, frames.data() + start, count, left, right);
        // Each call returns at most one frame; drain what the chunk completed.
        while (n > 0) {
            append(n);
            n = hip_decode1(hip, frames.data() + start, 0, left, right);
        }
        ok = n == 0;
    }
    hip_decode_exit(hip);
    return ok && !audio.left.empty();
}

} // namespace composer
