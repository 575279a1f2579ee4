// Decoding of the built soundtrack for the tests, and the events they check it against.
#include "decoded_soundtrack.h"

#include <algorithm>
#include <cstdio>

#include "demo/beat_tables.h"

namespace soundtrack {

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

} // namespace

Decoded decode(const char* path) {
    Decoded d;
    d.bytes = readFile(path);
    if (d.bytes.empty()) return d;
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (mh == nullptr) return d;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    bool ok = mpg123_open(mh, path) == MPG123_OK;
    std::vector<float> pcm(8192);
    while (ok) {
        size_t done = 0;
        const int r = mpg123_read(mh, pcm.data(), pcm.size() * sizeof(float), &done);
        for (size_t i = 0; i + 1 < done / sizeof(float); i += 2) {
            d.left.push_back(pcm[i]);
            d.right.push_back(pcm[i + 1]);
        }
        if (r == MPG123_DONE) break;
        ok = r == MPG123_OK || r == MPG123_NEW_FORMAT;
    }
    if (ok) {
        ok = mpg123_info(mh, &d.info) == MPG123_OK;
        long delay = -1;
        double unused = 0.0;
        if (mpg123_getstate(mh, MPG123_ENC_DELAY, &delay, &unused) == MPG123_OK)
            d.encoderDelay = delay;
        mpg123_id3v1* v1 = nullptr;
        mpg123_id3v2* v2 = nullptr;
        if (mpg123_id3(mh, &v1, &v2) == MPG123_OK && v2 != nullptr && v2->title != nullptr)
            d.id3v2Title.assign(v2->title->p, v2->title->fill > 0 ? v2->title->fill - 1 : 0);
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    d.ok = ok;
    return d;
}

const Decoded& track() {
    static const Decoded decoded = decode(KAVEO_SOUNDTRACK_PATH);
    return decoded;
}

std::vector<double> namedEvents() {
    std::vector<double> events;
    for (int i = 0; i <= 65; ++i) events.push_back(MainBeats[i]);
    for (int i = 0; i < kTunnelBeatCount; ++i) events.push_back(TunnelBeats[i]);
    return events;
}

double nearestDistance(const std::vector<double>& onsets, double time) {
    const auto it = std::lower_bound(onsets.begin(), onsets.end(), time);
    double best = 1e9;
    if (it != onsets.end()) best = *it - time;
    if (it != onsets.begin()) best = std::min(best, time - *(it - 1));
    return best;
}

} // namespace soundtrack
