// Makes the test tone and encodes it with LAME.
#include "test_tone_mp3.h"

#include <cmath>
#include <cstring>
#include <lame/lame.h>
#include <numbers>

std::vector<int16_t> makeToneWithClick(size_t frames, size_t clickFrame) {
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / kTestRate;
        double value = kToneLevel * std::cos(phase);
        if (i == clickFrame) value += kClickLevel;
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(std::lround(value));
    }
    return pcm;
}

std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm) {
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) return {};
    lame_set_in_samplerate(lame, kTestRate);
    lame_set_out_samplerate(lame, kTestRate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    std::vector<uint8_t> mp3;
    if (lame_init_params(lame) >= 0) {
        const size_t frames = pcm.size() / 2;
        // LAME's own bound on the output: 1.25 bytes per frame plus 7,200.
        mp3.resize(frames + frames / 4 + 7200);
        std::vector<int16_t> input(pcm);
        const int written = lame_encode_buffer_interleaved(
            lame, input.data(), static_cast<int>(frames), mp3.data(), static_cast<int>(mp3.size()));
        const int flushed = written < 0 ? -1
                                        : lame_encode_flush(lame, mp3.data() + written,
                                                            static_cast<int>(mp3.size()) - written);
        if (flushed < 0) {
            mp3.clear();
        } else {
            mp3.resize(static_cast<size_t>(written + flushed));
            // The first frame was a placeholder of the tag's size: write the tag over it.
            uint8_t tag[2880];
            const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
            if (tagSize > 0 && tagSize <= mp3.size()) std::memcpy(mp3.data(), tag, tagSize);
        }
    }
    lame_close(lame);
    return mp3;
}
