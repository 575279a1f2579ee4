// The soundtrack decoded from memory with libmpg123, for the video capture.
#include "capture/soundtrack_reader.h"

#include <mpg123.h>

#include <cstdio>
#include <cstring>

namespace {

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
    auto& reader = *static_cast<SoundtrackReader*>(handle);
    const size_t left = reader.size - reader.offset;
    const size_t count = bytes < left ? bytes : left;
    std::memcpy(buffer, reader.data + reader.offset, count);
    reader.offset += count;
    return static_cast<mpg123_ssize_t>(count);
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    auto& reader = *static_cast<SoundtrackReader*>(handle);
    const off_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<off_t>(reader.offset)
                       : whence == SEEK_END ? static_cast<off_t>(reader.size)
                                            : -1;
    if (base < 0) return -1;
    const off_t target = base + offset;
    if (target < 0 || target > static_cast<off_t>(reader.size)) return -1;
    reader.offset = static_cast<size_t>(target);
    return target;
}

} // namespace

SoundtrackReader::~SoundtrackReader() {
    if (decoder != nullptr) mpg123_delete(decoder);
}

bool SoundtrackReader::open(const uint8_t* mp3, size_t bytes, int64_t start) {
    if (decoder != nullptr) mpg123_delete(decoder);
    data = mp3;
    size = bytes;
    offset = 0;
    ended = false;
    int error = MPG123_OK;
    decoder = mpg123_new(nullptr, &error);
    if (decoder == nullptr) return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // The scan gives the seek index that makes the seek sample-exact.
    if (mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0) != MPG123_OK ||
        mpg123_format_none(decoder) != MPG123_OK ||
        mpg123_format(decoder, kCaptureSampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
            MPG123_OK ||
        mpg123_replace_reader_handle(decoder, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(decoder, this) != MPG123_OK || mpg123_scan(decoder) != MPG123_OK ||
        mpg123_getformat(decoder, &rate, &channels, &encoding) != MPG123_OK ||
        rate != kCaptureSampleRate || channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return false;
    if (start > 0 && mpg123_seek(decoder, static_cast<off_t>(start), SEEK_SET) < 0) ended = true;
    return true;
}

void SoundtrackReader::read(int16_t* out, size_t frames) {
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    const size_t wanted = frames * 4;
    size_t filled = 0;
    // A few reads fill a buffer; the bound stops a decoder that makes no progress.
    for (int reads = 0; reads < 256 && filled < wanted && !ended; ++reads) {
        size_t done = 0;
        const int result = mpg123_read(decoder, bytes + filled, wanted - filled, &done);
        filled += done;
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) ended = true;
    }
    std::memset(bytes + filled, 0, wanted - filled);
}

void applyEndFade(int16_t* out, size_t frames, int64_t first, int64_t end) {
    for (size_t i = 0; i < frames; ++i) {
        const int64_t left = end - (first + static_cast<int64_t>(i)) - 1; // frames after this
        if (left >= kCaptureFadeFrames) continue;
        const int64_t gain = left < 0 ? 0 : left;
        for (size_t c = 0; c < 2; ++c)
            out[2 * i + c] = static_cast<int16_t>(out[2 * i + c] * gain / kCaptureFadeFrames);
    }
}
