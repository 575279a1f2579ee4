// Mp3Stream on libmpg123, reading from memory through replacement reader functions.
#include "media/mp3_stream_mpg123.h"

#include <cstdio>
#include <cstring>

#include <mpg123.h>

namespace {

constexpr long kRate = 44100;
constexpr size_t kBytesPerFrame = 4;

// Reader functions for libmpg123, in the manner of read and lseek, over the MP3 in memory.
mpg123_ssize_t readSource(void* handle, void* buffer, size_t bytes) {
    Mp3Stream::Source& source = *static_cast<Mp3Stream::Source*>(handle);
    const size_t left = source.size - source.offset;
    const size_t count = bytes < left ? bytes : left;
    if (count > 0) std::memcpy(buffer, source.data + source.offset, count);
    source.offset += count;
    return static_cast<mpg123_ssize_t>(count);
}

off_t seekSource(void* handle, off_t offset, int whence) {
    Mp3Stream::Source& source = *static_cast<Mp3Stream::Source*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<off_t>(source.offset);
    else if (whence == SEEK_END)
        base = static_cast<off_t>(source.size);
    else if (whence != SEEK_SET)
        return -1;
    // Offsets come from the decoder's reading of the file's own fields: refuse any that
    // would overflow or leave the bytes.
    if ((offset > 0 && base > static_cast<off_t>(source.size) - offset) || base + offset < 0)
        return -1;
    const off_t target = base + offset;
    source.offset = static_cast<size_t>(target);
    return target;
}

} // namespace

bool Mp3Stream::open(const uint8_t* data, size_t size) {
    close();
    if (data == nullptr || size == 0) return false;
    int error = MPG123_OK;
    decoder = mpg123_new(nullptr, &error);
    if (decoder == nullptr) return false;
    source = Source{data, size, 0};
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Reading the format also clears the decoder's new-format notice.
    const bool opened =
        mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0) == MPG123_OK &&
        mpg123_format_none(decoder) == MPG123_OK &&
        mpg123_format(decoder, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK &&
        mpg123_replace_reader_handle(decoder, readSource, seekSource, nullptr) == MPG123_OK &&
        mpg123_open_handle(decoder, &source) == MPG123_OK && mpg123_scan(decoder) == MPG123_OK &&
        mpg123_getformat(decoder, &rate, &channels, &encoding) == MPG123_OK && rate == kRate &&
        channels == 2 && encoding == MPG123_ENC_SIGNED_16;
    length = opened ? static_cast<int64_t>(mpg123_length(decoder)) : 0;
    if (length <= 0) {
        close();
        return false;
    }
    seek(0);
    return true;
}

void Mp3Stream::seek(int64_t frame) {
    if (decoder == nullptr) return;
    const int64_t target = frame < 0 ? 0 : frame > length ? length : frame;
    const off_t reached = mpg123_seek(decoder, static_cast<off_t>(target), SEEK_SET);
    position = reached >= 0 ? static_cast<int64_t>(reached) : target;
    ended = reached < 0;
}

uint32_t Mp3Stream::read(int16_t* out, uint32_t frames) {
    const size_t bytes = size_t{frames} * kBytesPerFrame;
    size_t filled = 0;
    // A few reads fill a request. The bound stops a decoder that makes no progress.
    for (int reads = 0; reads < 64 && filled < bytes && !ended && decoder != nullptr; ++reads) {
        size_t done = 0;
        const int result = mpg123_read(decoder, reinterpret_cast<unsigned char*>(out) + filled,
                                       bytes - filled, &done);
        filled += done;
        // The first read announces the format (already fixed); anything but OK or that means
        // the end of the stream or a broken one: nothing more comes.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) ended = true;
    }
    // A partial frame (never expected at 16-bit stereo) is dropped.
    const auto got = static_cast<uint32_t>(filled / kBytesPerFrame);
    position += got;
    return got;
}

void Mp3Stream::close() {
    if (decoder != nullptr) mpg123_delete(decoder);
    decoder = nullptr;
    source = Source{};
    length = 0;
    position = 0;
    ended = false;
}
