// Aligns a recording of the demo's sound output with the decoded soundtrack, window by
// window, and reports the stalls (the lag of the recording behind the soundtrack jumps:
// silence was inserted) and the drift (the lag at the end minus the lag at the start).
// Usage: stall_align soundtrack.mp3 recording.raw [seconds of soundtrack, default 59]
// The recording: 44,100 Hz, 16-bit little-endian stereo (parec --raw --format=s16le).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "media/mp3_stream_mpg123.h"

namespace {

constexpr int kRate = 44100;
constexpr int kWindow = kRate / 20; // 50 ms
constexpr int kDecimate = 4;

std::vector<float> monoOf(const std::vector<int16_t>& stereo) {
    std::vector<float> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] =
            (static_cast<float>(stereo[2 * i]) + static_cast<float>(stereo[2 * i + 1])) * 0.5f;
    return mono;
}

// A box-filtered copy at a quarter of the rate, for the coarse search.
std::vector<float> decimated(const std::vector<float>& x) {
    std::vector<float> d(x.size() / kDecimate);
    for (size_t i = 0; i < d.size(); ++i) {
        float sum = 0.0f;
        for (int k = 0; k < kDecimate; ++k) sum += x[i * kDecimate + k];
        d[i] = sum / kDecimate;
    }
    return d;
}

// Normalised correlation of rec[at, at + n) with ref[at - lag, ...); -2 when out of range.
double correlation(const std::vector<float>& rec, const std::vector<float>& ref, long at, long lag,
                   long n) {
    const long r = at - lag;
    if (r < 0 || at < 0 || r + n > static_cast<long>(ref.size()) ||
        at + n > static_cast<long>(rec.size()))
        return -2.0;
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (long i = 0; i < n; ++i) {
        const double x = rec[at + i];
        const double y = ref[r + i];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : -2.0;
}

// The lag (frames) in [low, high] that best aligns the window at `at`, and its correlation.
long bestLag(const std::vector<float>& rec, const std::vector<float>& ref,
             const std::vector<float>& recD, const std::vector<float>& refD, long at, long low,
             long high, double& score) {
    long best = low;
    double bestScore = -3.0;
    for (long lag = low / kDecimate; lag <= high / kDecimate; ++lag) {
        const double c = correlation(recD, refD, at / kDecimate, lag, kWindow / kDecimate);
        if (c > bestScore) {
            bestScore = c;
            best = lag * kDecimate;
        }
    }
    long fine = best;
    bestScore = -3.0;
    for (long lag = best - 2 * kDecimate; lag <= best + 2 * kDecimate; ++lag) {
        const double c = correlation(rec, ref, at, lag, kWindow);
        if (c > bestScore) {
            bestScore = c;
            fine = lag;
        }
    }
    score = bestScore;
    return fine;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: stall_align soundtrack.mp3 recording.raw [seconds]\n");
        return 2;
    }
    const double seconds = argc > 3 ? std::atof(argv[3]) : 59.0;
    std::vector<uint8_t> mp3;
    if (FILE* f = std::fopen(argv[1], "rb")) {
        uint8_t block[65536];
        size_t got = 0;
        while ((got = std::fread(block, 1, sizeof block, f)) > 0)
            mp3.insert(mp3.end(), block, block + got);
        std::fclose(f);
    }
    Mp3Stream stream;
    if (!stream.open(mp3.data(), mp3.size())) {
        std::fprintf(stderr, "stall_align: cannot decode %s\n", argv[1]);
        return 1;
    }
    std::vector<int16_t> pcm(static_cast<size_t>(stream.length) * 2);
    pcm.resize(stream.read(pcm.data(), static_cast<uint32_t>(stream.length)) * 2u);
    std::vector<int16_t> recorded;
    if (FILE* f = std::fopen(argv[2], "rb")) {
        int16_t block[32768];
        size_t got = 0;
        while ((got = std::fread(block, 2, 32768, f)) > 0)
            recorded.insert(recorded.end(), block, block + got);
        std::fclose(f);
    }
    const std::vector<float> ref = monoOf(pcm);
    const std::vector<float> rec = monoOf(recorded);
    const std::vector<float> refD = decimated(ref);
    const std::vector<float> recD = decimated(rec);

    // The start: the first loud frame of each, then a fine search of ±100 ms around it.
    auto firstLoud = [](const std::vector<float>& x) {
        for (size_t i = 0; i < x.size(); ++i)
            if (std::fabs(x[i]) > 300.0f) return static_cast<long>(i);
        return static_cast<long>(x.size());
    };
    const long recStart = firstLoud(rec);
    const long refStart = firstLoud(ref);
    if (recStart >= static_cast<long>(rec.size())) {
        std::printf("stalls: recording is silent\n");
        return 1;
    }
    double score = 0.0;
    long lag = bestLag(rec, ref, recD, refD, recStart + kWindow, recStart - refStart - kRate / 10,
                       recStart - refStart + kRate / 10, score);
    const long firstLag = lag;
    long lastLag = lag;
    int windows = 0, aligned = 0, stalls = 0;
    double stalledMs = 0.0, largestMs = 0.0;
    const long end = static_cast<long>(seconds * kRate);
    for (long at = recStart + kWindow; at - lag + kWindow < end; at += kWindow) {
        ++windows;
        // A stall only adds lag; allow a little the other way for the measurement's noise.
        const long found =
            bestLag(rec, ref, recD, refD, at, lag - kRate / 100, lag + kRate / 4, score);
        if (score < 0.9) continue;
        ++aligned;
        const double jumpMs = static_cast<double>(found - lag) * 1000.0 / kRate;
        if (jumpMs > 3.0) {
            ++stalls;
            stalledMs += jumpMs;
            largestMs = std::fmax(largestMs, jumpMs);
            std::printf("stall at %.2f s of soundtrack: %.1f ms\n",
                        static_cast<double>(at - lag) / kRate, jumpMs);
        }
        lag = found;
        lastLag = found;
    }
    std::printf("stalls: %d over 3 ms, %.1f ms in all, largest %.1f ms; drift %.1f ms; "
                "%d of %d windows aligned\n",
                stalls, stalledMs, largestMs,
                static_cast<double>(lastLag - firstLag) * 1000.0 / kRate, aligned, windows);
    return 0;
}
