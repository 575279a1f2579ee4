// Audio back end on SDL2 (output) and libmpg123 (MP3 decoding from memory).
// Implements: [X] one stream at a time, decoded while it plays, straight into SDL's buffer
//             [X] 44,100 Hz stereo 16-bit through the callback model, 1,024-frame buffers
//             [X] sample-exact positions and seeks (gapless: the encoder delay is trimmed)
//             [X] a position that advances smoothly between buffers (see smoothPosition)
// Leaves out: choosing a device (the default output), several streams, other rates (a
//             stream is decoded to 44,100 Hz whatever its own rate).
//
// Threads. SDL calls fillOutput on its audio thread with the device lock held. The main
// thread changes anything the callback reads (the stream slot, its decoder, playing, the
// epoch) only under SDL_LockAudioDevice, once per seek or state change, never per frame.
// The callback publishes what it played in a snapshot that the main thread reads without
// a lock.
#include <atomic>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <SDL.h>
#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include "media/audio_backend.h"

namespace {

constexpr int kRate = 44100;         // frames per second, of the output and of every stream
constexpr int kBytesPerFrame = 4;    // stereo, signed 16-bit
constexpr int kBufferFrames = 1024;  // one callback's worth
constexpr double kSlewLimit = 0.05;  // the clock runs at most 5 % fast or slow to catch up
constexpr double kSlewSeconds = 0.2; // and closes its gap to the sound over about this long
// Further than this from the sound, the output has stalled or skipped: jump to it.
constexpr double kSnapFrames = 0.25 * kRate;
// After a play or a seek the clock waits for the first buffer of the new sound, but no
// longer than this, in case the output never asks. Starting can be slow: PulseAudio's null
// sink has taken up to 2 s to ask for its second buffer.
constexpr int64_t kHoldLimitNs = 2'500'000'000;

int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the audio thread last played: the position of the first frame of the buffer it
// filled, when it filled it, and under which epoch. A sequence lock: the writer makes the
// sequence odd while it writes, and the reader retries when it saw a write in progress.
struct PlaybackSnapshot {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> epoch{0};
    std::atomic<int64_t> frames{0};
    std::atomic<int64_t> nanoseconds{0};

    // Sequentially consistent throughout: one publish per buffer, one read per frame, and
    // no fences needed for the ordering (which ThreadSanitizer could not follow anyway).
    void publish(uint32_t e, int64_t f, int64_t ns) {
        const uint32_t s = sequence.load();
        sequence.store(s + 1);
        epoch.store(e);
        frames.store(f);
        nanoseconds.store(ns);
        sequence.store(s + 2);
    }

    bool read(uint32_t& e, int64_t& f, int64_t& ns) const {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const uint32_t before = sequence.load();
            if (before & 1u) continue;
            e = epoch.load();
            f = frames.load();
            ns = nanoseconds.load();
            if (sequence.load() == before) return true;
        }
        return false;
    }
};

// The MP3 bytes the decoder reads through our reader functions.
struct MemorySource {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
};

struct Stream {
    // Read by the audio thread; the main thread changes them only under the device lock.
    AudioStream handle = 0; // 0: the slot is empty
    mpg123_handle* decoder = nullptr;
    MemorySource source;
    bool playing = false;
    uint32_t epoch = 0;        // counts plays, pauses and seeks, so older snapshots are known
    int64_t decodedFrames = 0; // position of the next frame the decoder yields
    bool ended = false;        // the decoder has nothing more

    // Main thread only.
    int64_t length = 0;           // frames
    double clockFrames = 0.0;     // the position last reported
    int64_t clockNanoseconds = 0; // when it was reported
    bool waitingForSound = false; // played or sought, and no buffer of it filled yet
    int64_t waitStartNanoseconds = 0;
};

// All of the back end's state. Reached by the callback through its userdata pointer.
struct AudioBackend {
    bool started = false;
    SDL_AudioDeviceID device = 0;
    // The dummy and disk drivers do not pace their callbacks in real time, so their
    // buffers say nothing about time: the position then runs on the wall clock alone.
    bool wallClockOnly = false;
    AudioStream lastHandle = 0;
    Stream stream;
    PlaybackSnapshot snapshot;
};
AudioBackend backend;

// [SECTION] Standard error while the output opens

// ALSA prints its complaints about missing devices and configurations to standard error,
// which is the terminal the demo draws on. Point it at /dev/null while SDL opens and
// closes the output. Returns the saved descriptor, or -1 when nothing was redirected.
int silenceStandardError() {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    if (saved < 0) return -1;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0 || dup2(null, STDERR_FILENO) < 0) {
        if (null >= 0) close(null);
        close(saved);
        return -1;
    }
    close(null);
    return saved;
}

void restoreStandardError(int saved) {
    if (saved < 0) return;
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
}

// [SECTION] Decoding

// Reader functions for libmpg123, in the manner of read and lseek, over the MP3 in memory.
mpg123_ssize_t readSource(void* handle, void* buffer, size_t bytes) {
    MemorySource& source = *static_cast<MemorySource*>(handle);
    const size_t left = source.size - source.offset;
    const size_t count = bytes < left ? bytes : left;
    std::memcpy(buffer, source.data + source.offset, count);
    source.offset += count;
    return static_cast<mpg123_ssize_t>(count);
}

off_t seekSource(void* handle, off_t offset, int whence) {
    MemorySource& source = *static_cast<MemorySource*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<off_t>(source.offset);
    else if (whence == SEEK_END)
        base = static_cast<off_t>(source.size);
    else if (whence != SEEK_SET)
        return -1;
    const off_t target = base + offset;
    if (target < 0 || target > static_cast<off_t>(source.size)) return -1;
    source.offset = static_cast<size_t>(target);
    return target;
}

// Opens `decoder` on `source` for 44,100 Hz stereo 16-bit output and measures the stream.
// The scan reads the whole file once (well under a millisecond for the soundtrack): it
// gives the exact length and the seek index that makes seeks exact. Length 0 when the
// bytes hold no MP3 frame.
bool openDecoder(mpg123_handle* decoder, MemorySource* source, int64_t& length) {
    if (mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0) != MPG123_OK ||
        mpg123_format_none(decoder) != MPG123_OK ||
        mpg123_format(decoder, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_replace_reader_handle(decoder, readSource, seekSource, nullptr) != MPG123_OK ||
        mpg123_open_handle(decoder, source) != MPG123_OK || mpg123_scan(decoder) != MPG123_OK) {
        return false;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Reading the format here also clears the decoder's new-format notice.
    if (mpg123_getformat(decoder, &rate, &channels, &encoding) != MPG123_OK || rate != kRate ||
        channels != 2 || encoding != MPG123_ENC_SIGNED_16) {
        return false;
    }
    length = static_cast<int64_t>(mpg123_length(decoder));
    return length > 0;
}

// Under the device lock (or before the stream is published): moves the decoder to `frames`.
void seekDecoder(Stream& stream, int64_t frames) {
    const off_t reached = mpg123_seek(stream.decoder, static_cast<off_t>(frames), SEEK_SET);
    stream.decodedFrames = reached >= 0 ? static_cast<int64_t>(reached) : frames;
    stream.ended = false;
}

// Audio thread: decodes into `out` until it is full or the stream ends; returns the bytes.
size_t decodeInto(Stream& stream, uint8_t* out, size_t bytes) {
    size_t filled = 0;
    // A few reads fill a buffer. The bound stops a decoder that makes no progress.
    for (int reads = 0; reads < 64 && filled < bytes && !stream.ended; ++reads) {
        size_t done = 0;
        const int result = mpg123_read(stream.decoder, out + filled, bytes - filled, &done);
        filled += done;
        // The first read announces the format (already fixed); anything but OK or that
        // means the end of the stream or a broken one: play silence from here.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) stream.ended = true;
    }
    stream.decodedFrames += static_cast<int64_t>(filled / kBytesPerFrame);
    return filled;
}

// Audio thread, device lock held: SDL asks for the next buffer. Allocates nothing.
void SDLCALL fillOutput(void* userdata, Uint8* out, int bytes) {
    AudioBackend& audio = *static_cast<AudioBackend*>(userdata);
    Stream& stream = audio.stream;
    const size_t size = bytes > 0 ? static_cast<size_t>(bytes) : 0;
    size_t filled = 0;
    if (stream.handle != 0 && stream.playing) {
        const int64_t when = nowNanoseconds();
        const int64_t first = stream.decodedFrames;
        filled = decodeInto(stream, out, size);
        audio.snapshot.publish(stream.epoch, first, when);
    }
    std::memset(out + filled, 0, size - filled);
}

// [SECTION] The smooth position

// The count of frames handed to SDL stands still for several frames and then jumps by a
// buffer, so it cannot be the demo's clock as it is. The clock runs on the wall clock
// instead and is pulled towards the position interpolated from the last buffer: by a share
// of the gap that grows with the time since the last call (kSlewSeconds), and by at most
// kSlewLimit of that time, which hides the callbacks' jitter. Right after a play or a seek
// it holds still until the first buffer of the new sound is filled.
double smoothPosition(Stream& stream, int64_t now) {
    const double elapsed = static_cast<double>(now - stream.clockNanoseconds) * (kRate / 1.0e9);
    double position = stream.clockFrames + elapsed;
    uint32_t epoch = 0;
    int64_t frames = 0;
    int64_t filledAt = 0;
    const bool heard = !backend.wallClockOnly && backend.snapshot.read(epoch, frames, filledAt) &&
                       epoch == stream.epoch;
    if (heard) {
        // Where the sound is: the last buffer's first frame plus the time since, but at most
        // two buffers on. Further on the output has stalled, and the clock waits for it.
        const double ceiling = static_cast<double>(frames) + 2.0 * kBufferFrames;
        const double since = static_cast<double>(now - filledAt) * (kRate / 1.0e9);
        double sound = static_cast<double>(frames) + (since > 0.0 ? since : 0.0);
        sound = sound < ceiling ? sound : ceiling;
        if (stream.waitingForSound) {
            position = sound;
            stream.waitingForSound = false;
        } else {
            // Close a fraction of the gap per call, so the callbacks' jitter is averaged
            // away instead of passed on.
            const double error = sound - position;
            const double share = elapsed / (kSlewSeconds * kRate);
            double step = error * (share < 1.0 ? share : 1.0);
            const double limit = kSlewLimit * elapsed;
            step = step < -limit ? -limit : step > limit ? limit : step;
            position = std::fabs(error) > kSnapFrames ? sound : position + step;
            position = position < ceiling ? position : ceiling;
        }
    } else if (stream.waitingForSound) {
        if (now - stream.waitStartNanoseconds < kHoldLimitNs)
            position = stream.clockFrames;
        else
            stream.waitingForSound = false; // the output never asked: go on by the wall clock
    }
    const double end = static_cast<double>(stream.length);
    return position < end ? position : end;
}

Stream* findStream(AudioStream handle) {
    return handle != 0 && handle == backend.stream.handle ? &backend.stream : nullptr;
}

// Main thread: resets the reported position to `frames`; a playing stream then waits for
// the sound of it.
void restartClock(Stream& stream, int64_t frames, int64_t now) {
    stream.clockFrames = static_cast<double>(frames);
    stream.clockNanoseconds = now;
    stream.waitingForSound = stream.playing && !backend.wallClockOnly;
    stream.waitStartNanoseconds = now;
}

} // namespace

// [SECTION] The back-end operations

bool audioInit() {
    assert(!backend.started && "audioInit called twice without audioFree");
    if (backend.started) return true;
    // Otherwise SDL installs handlers for SIGINT and SIGTERM and swallows them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const int savedError = silenceStandardError();
    bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (opened) {
        SDL_AudioSpec want{};
        want.freq = kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kBufferFrames;
        want.callback = fillOutput;
        want.userdata = &backend;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device wants.
        backend.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (backend.device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            opened = false;
        }
    }
    restoreStandardError(savedError);
    if (!opened) return false;
    const char* driver = SDL_GetCurrentAudioDriver();
    backend.wallClockOnly = driver != nullptr &&
                            (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
    backend.started = true;
    // The device runs from now to audioFree; a paused stream is paused in the callback.
    SDL_PauseAudioDevice(backend.device, 0);
    return true;
}

void audioFree() {
    if (!backend.started) return;
    const int savedError = silenceStandardError();
    // Closing joins the audio thread, so the decoder can go without the lock afterwards.
    SDL_CloseAudioDevice(backend.device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    restoreStandardError(savedError);
    Stream& stream = backend.stream;
    if (stream.decoder != nullptr) mpg123_delete(stream.decoder);
    // The epoch goes on counting, so a snapshot left from this run never matches the next.
    const uint32_t epoch = stream.epoch;
    stream = Stream{};
    stream.epoch = epoch;
    backend.device = 0;
    backend.started = false;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    Stream& stream = backend.stream;
    if (!backend.started || stream.handle != 0 || data == nullptr || size == 0) return 0;
    int error = MPG123_OK;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    if (decoder == nullptr) return 0;
    // The slot is empty, so the callback does not look at the source or the decoder yet.
    stream.source = MemorySource{data, size, 0};
    int64_t length = 0;
    if (!openDecoder(decoder, &stream.source, length)) {
        mpg123_delete(decoder);
        stream.source = MemorySource{};
        return 0;
    }
    AudioStream handle = backend.lastHandle + 1;
    if (handle == 0) handle = 1;
    backend.lastHandle = handle;

    SDL_LockAudioDevice(backend.device);
    stream.decoder = decoder;
    stream.playing = false;
    ++stream.epoch;
    seekDecoder(stream, 0);
    stream.handle = handle;
    SDL_UnlockAudioDevice(backend.device);

    stream.length = length;
    restartClock(stream, 0, nowNanoseconds());
    return handle;
}

void audioStreamFree(AudioStream handle) {
    Stream* stream = findStream(handle);
    if (stream == nullptr) return;
    // Empty the slot under the lock; after that the callback no longer touches the decoder.
    SDL_LockAudioDevice(backend.device);
    mpg123_handle* decoder = stream->decoder;
    stream->handle = 0;
    stream->playing = false;
    stream->decoder = nullptr;
    SDL_UnlockAudioDevice(backend.device);
    mpg123_delete(decoder);
    stream->source = MemorySource{};
}

void audioPlay(AudioStream handle, bool restart) {
    Stream* stream = findStream(handle);
    if (stream == nullptr || (stream->playing && !restart)) return;
    SDL_LockAudioDevice(backend.device);
    if (restart) seekDecoder(*stream, 0);
    stream->playing = true;
    ++stream->epoch;
    SDL_UnlockAudioDevice(backend.device);
    // A paused stream's decoder already stands at the reported position (audioPause).
    restartClock(*stream, restart ? 0 : static_cast<int64_t>(stream->clockFrames),
                 nowNanoseconds());
}

void audioPause(AudioStream handle) {
    Stream* stream = findStream(handle);
    if (stream == nullptr || !stream->playing) return;
    const int64_t now = nowNanoseconds();
    const auto frames = static_cast<int64_t>(smoothPosition(*stream, now));
    // The decoder has run up to a buffer ahead of the position; bring it back, so that
    // playing on starts where the position stopped.
    SDL_LockAudioDevice(backend.device);
    stream->playing = false;
    ++stream->epoch;
    seekDecoder(*stream, frames);
    SDL_UnlockAudioDevice(backend.device);
    restartClock(*stream, frames, now);
}

uint64_t audioGetPosition(AudioStream handle) {
    Stream* stream = findStream(handle);
    if (stream == nullptr) return 0;
    if (!stream->playing) return static_cast<uint64_t>(stream->clockFrames);
    const int64_t now = nowNanoseconds();
    stream->clockFrames = smoothPosition(*stream, now);
    stream->clockNanoseconds = now;
    return static_cast<uint64_t>(stream->clockFrames);
}

void audioSetPosition(AudioStream handle, uint64_t frames) {
    Stream* stream = findStream(handle);
    if (stream == nullptr) return;
    const uint64_t end = static_cast<uint64_t>(stream->length);
    const auto target = static_cast<int64_t>(frames < end ? frames : end);
    SDL_LockAudioDevice(backend.device);
    seekDecoder(*stream, target);
    ++stream->epoch;
    SDL_UnlockAudioDevice(backend.device);
    restartClock(*stream, target, nowNanoseconds());
}

float audioPositionToSeconds(AudioStream handle, uint64_t frames) {
    if (findStream(handle) == nullptr) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream handle, float seconds) {
    const Stream* stream = findStream(handle);
    if (stream == nullptr || !std::isfinite(seconds) || seconds <= 0.0f) return 0;
    const double frames = std::floor(static_cast<double>(seconds) * kRate);
    const auto end = static_cast<double>(stream->length);
    return static_cast<uint64_t>(frames < end ? frames : end);
}
