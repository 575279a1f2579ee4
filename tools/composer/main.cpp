// kaveo_composer: synthesises the soundtrack, masters it and writes kaveo.mp3.
// Usage: kaveo_composer <output.mp3>. Deterministic: the same build writes the same bytes.
#include <cmath>
#include <cstdio>
#include <vector>

#include "dsp.h"
#include "effects.h"
#include "encoder.h"
#include "mastering.h"
#include "mix.h"
#include "score.h"

namespace {

constexpr double kTargetLufs = -14.0;
// The most the decoded MP3 may reach, with a margin under the -1 dBTP rule.
constexpr double kDecodedPeakDb = -1.3;
// The limiter's ceiling leaves room for what MP3 encoding adds to the peaks.
constexpr double kCeilingDb = -2.5;
// What LAME's quantiser takes off the loudness of this kind of material at 128 kbit/s.
constexpr double kEncoderLossDb = 0.45;

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    using namespace composer;
    if (argc != 2) {
        std::fprintf(stderr, "usage: kaveo_composer <output.mp3>\n");
        return 2;
    }
    Mix mix;
    mix.allocate(secondsToFrame(kTrackSeconds));
    composeTrack(mix);

    StereoBuffer bus = mix.dry;
    // Echoes two thirds apart: a quarter note of the triplet feel.
    addPingPongDelay(mix.delaySend, bus, 2.0 * kThirdSeconds, 0.38);
    addReverb(mix.reverbSend, bus, 0.72, 1.0);
    removeDc(bus);
    lowPassMaster(bus, 16000.0);
    mix.applyMaster(bus);
    applyEdgeFades(bus, 0.005, kFadeOutStart);

    // The player hears the decoded MP3, so that is what is measured. The encoder's
    // quantiser loses a little loudness and dense noise gains peak, so master with those
    // margins, and should the decoded file still miss, correct both and encode again.
    double target = kTargetLufs + kEncoderLossDb;
    double ceiling = kCeilingDb;
    const TrackTags tags{"kaveo", "The kaveo crew", "kaveo", "2024"};
    std::vector<uint8_t> mp3;
    LoudnessReading decoded;
    int attempt = 0;
    for (;; ++attempt) {
        StereoBuffer master, check;
        LoudnessReading reading;
        if (!masterTrack(bus, target, ceiling, master, reading)) {
            std::fprintf(stderr, "kaveo_composer: loudness measurement failed\n");
            return 1;
        }
        if (!encodeMp3(master, tags, mp3) || !decodeMp3(mp3, check) ||
            !measureLoudness(check, true, decoded)) {
            std::fprintf(stderr, "kaveo_composer: MP3 encoding failed\n");
            return 1;
        }
        const bool loudnessOk = std::fabs(decoded.integratedLufs - kTargetLufs) <= 0.3;
        const bool peakOk = decoded.truePeakDb <= kDecodedPeakDb;
        if ((loudnessOk && peakOk) || attempt == 2) break;
        target += kTargetLufs - decoded.integratedLufs;
        if (!peakOk) ceiling -= decoded.truePeakDb - kDecodedPeakDb + 0.2;
    }
    if (!writeFile(argv[1], mp3)) {
        std::fprintf(stderr, "kaveo_composer: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("kaveo.mp3: %.1f s, %zu bytes, %.2f LUFS, true peak %.2f dBTP (encoded %d times)\n",
                kTrackSeconds, mp3.size(), decoded.integratedLufs, decoded.truePeakDb, attempt + 1);
    return 0;
}
