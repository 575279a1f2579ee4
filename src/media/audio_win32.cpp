// The audio back end on Windows, with nothing but the system: waveOut (winmm) plays 44,100 Hz
// 16-bit stereo from a queue of buffers that a feeder thread refills as each one finishes,
// from the sound ring (PlaybackFeed) that a decoding thread keeps filled ahead with Mp3Decoder
// (the Audio Compression Manager). Implements every call of audio_backend.h; one stream at a
// time, which is all the clock needs. The device runs from audioInit to audioFree and plays
// silence while no stream plays.
//
// Threads. The feeder only copies from the ring, under `lock`; the decoding thread
// (DecodeAhead) decodes under a lock of its own. The main thread takes that lock and then
// `lock` only around a play, a pause, a seek or a stream change, never per frame: the
// position is read from the feed's snapshot. Facts: when a buffer finishes, the next one has
// just begun, so the sound queued ahead of each buffer the feeder fills is known exactly.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "media/audio_backend.h"
#include "media/decode_ahead.h"
#include "media/mp3_decoder_win32.h"
#include "media/playback_feed.h"
#include "media/stream_transport.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBufferCount = 6;
constexpr uint32_t kBufferFrames = 1024; // 23 ms; the queue holds 139 ms
// A play or a seek refills the whole queue at once.
constexpr uint32_t kPrimeFrames = kBufferCount * kBufferFrames;
// A stop waits this long for its fade to be heard before the queue is thrown away.
constexpr DWORD kFadeWaitMs = 30;

// What one queued buffer carries: `frames` frames of the epoch's sound from `start`.
struct BufferRecord {
    uint32_t epoch = 0;
    int64_t start = 0;
    uint32_t frames = 0;
};

struct AudioDevice {
    std::mutex lock; // the feeder's: the device side of the feed
    HWAVEOUT wave = nullptr;
    HANDLE bufferDone = nullptr; // signalled by waveOut when a buffer finishes
    std::thread feeder;
    std::atomic<bool> stopping{false};
    WAVEHDR headers[kBufferCount]{};
    BufferRecord records[kBufferCount]{};
    int16_t samples[kBufferCount][kBufferFrames * 2]{};
    int16_t fade[kFadeFrames * 2]{};
    uint32_t oldest = 0; // the buffer the device plays now (finishes first)
    PlaybackFeed feed;
    DecodeAhead<Mp3Decoder> decoding;
    StreamTransport transport; // main thread only
};

AudioDevice* device = nullptr;

// Sound of the feed's epoch queued in every buffer but `except`. Under lock.
int64_t queuedSound(const AudioDevice& d, uint32_t except) {
    int64_t frames = 0;
    for (uint32_t i = 0; i < kBufferCount; ++i) {
        if (i != except && d.records[i].epoch == d.feed.epoch) frames += d.records[i].frames;
    }
    return frames;
}

// Fills buffer i from the feed and queues it. Under lock.
void fillAndQueue(AudioDevice& d, uint32_t i) {
    const int64_t ahead = queuedSound(d, i);
    const bool sound = d.feed.playing;
    const int64_t start = d.feed.position;
    const uint32_t got = d.feed.fill(d.samples[i], kBufferFrames, audioNowNanoseconds(), ahead);
    d.records[i] = BufferRecord{sound ? d.feed.epoch : 0u, start, sound ? got : 0u};
    d.headers[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(d.wave, &d.headers[i], sizeof(WAVEHDR));
}

void feed(AudioDevice& d) {
    while (!d.stopping.load(std::memory_order_relaxed)) {
        WaitForSingleObject(d.bufferDone, 100);
        std::lock_guard<std::mutex> guard(d.lock);
        while ((d.headers[d.oldest].dwFlags & WHDR_DONE) != 0 &&
               !d.stopping.load(std::memory_order_relaxed)) {
            fillAndQueue(d, d.oldest);
            d.oldest = (d.oldest + 1) % kBufferCount;
        }
    }
}

// Stops the feeder thread, if it runs.
void stopFeeder(AudioDevice& d) {
    if (!d.feeder.joinable()) return;
    d.stopping.store(true, std::memory_order_relaxed);
    SetEvent(d.bufferDone);
    d.feeder.join();
}

// Takes every buffer back from waveOut and closes it and the event.
void closeWave(AudioDevice& d) {
    waveOutReset(d.wave);
    for (WAVEHDR& header : d.headers) waveOutUnprepareHeader(d.wave, &header, sizeof(WAVEHDR));
    waveOutClose(d.wave);
    CloseHandle(d.bufferDone);
}

// Throws the queue away and queues fresh buffers from the feed, so a play, pause or seek is
// heard at once. Under lock, from the main thread.
void restartQueue(AudioDevice& d) {
    waveOutReset(d.wave); // every buffer comes back marked done
    d.oldest = 0;
    for (BufferRecord& record : d.records) record = BufferRecord{};
    for (uint32_t i = 0; i < kBufferCount; ++i) fillAndQueue(d, i);
}

// Main thread: the stream stands at, or plays from, `at`.
void beginAt(int64_t at, bool play) {
    AudioDevice& d = *device;
    d.decoding.begin(at, play, kPrimeFrames, d.lock, [&d] { restartQueue(d); });
}

// Main thread: the sound stops with a short fade made from what the device was about to
// play (the queue is ours to read), so the stop is heard at once and does not click.
// Returns where the fade begins.
int64_t fadeOut(AudioDevice& d) {
    const int64_t now = audioNowNanoseconds();
    const int64_t at = d.feed.latest().heardAt(now);
    std::lock_guard<std::mutex> guard(d.lock);
    uint32_t copied = 0;
    for (uint32_t n = 0; n < kBufferCount && copied < kFadeFrames; ++n) {
        const BufferRecord& r = d.records[(d.oldest + n) % kBufferCount];
        const int64_t from = at + copied;
        if (r.epoch != d.feed.epoch || from < r.start || from >= r.start + r.frames) continue;
        const auto offset = static_cast<uint32_t>(from - r.start);
        uint32_t count = r.frames - offset;
        count = count < kFadeFrames - copied ? count : kFadeFrames - copied;
        std::memcpy(d.fade + copied * 2, d.samples[(d.oldest + n) % kBufferCount] + offset * 2,
                    count * 4u);
        copied += count;
    }
    applyEndFade(d.fade, copied, 0, kFadeFrames);
    d.feed.fadeOut(at, now);
    d.feed.fadeLeft = 0; // the fade is the one made here
    // The fade goes first in a fresh queue, silence after it; the feeder goes on from there.
    waveOutReset(d.wave);
    d.oldest = 0;
    for (uint32_t i = 0; i < kBufferCount; ++i) {
        d.records[i] = BufferRecord{};
        std::memset(d.samples[i], 0, sizeof d.samples[i]);
        if (i == 0) std::memcpy(d.samples[0], d.fade, copied * 4u);
        d.headers[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        waveOutWrite(d.wave, &d.headers[i], sizeof(WAVEHDR));
    }
    return at;
}

bool isOurs(AudioStream stream) {
    return device != nullptr && device->transport.owns(stream);
}

} // namespace

bool audioInit() {
    if (device != nullptr) return true;
    AudioDevice* d = new (std::nothrow) AudioDevice;
    if (d == nullptr) return false;
    d->feed.framesPerSecond = kRate;
    d->transport.framesPerSecond = kRate;
    d->bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kRate * 4;
    if (d->bufferDone == nullptr ||
        waveOutOpen(&d->wave, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(d->bufferDone), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        if (d->bufferDone != nullptr) CloseHandle(d->bufferDone);
        delete d;
        return false;
    }
    for (uint32_t i = 0; i < kBufferCount; ++i) {
        d->headers[i].lpData = reinterpret_cast<LPSTR>(d->samples[i]);
        d->headers[i].dwBufferLength = sizeof d->samples[i];
        waveOutPrepareHeader(d->wave, &d->headers[i], sizeof(WAVEHDR));
    }
    // The ring exists before the feeder first takes from it.
    bool started = d->decoding.start(d->feed);
    if (started) {
        {
            std::lock_guard<std::mutex> guard(d->lock);
            for (uint32_t i = 0; i < kBufferCount; ++i) fillAndQueue(*d, i);
        }
        // A thread that cannot start (no memory, a process out of threads) is a device that
        // did not open, not an exception.
        try {
            d->feeder = std::thread(feed, std::ref(*d));
        } catch (const std::system_error&) {
            started = false;
        }
    }
    if (!started) {
        d->decoding.stop();
        closeWave(*d);
        delete d;
        return false;
    }
    device = d;
    return true;
}

void audioFree() {
    if (device == nullptr) return;
    AudioDevice* d = device;
    if (d->transport.playing) {
        fadeOut(*d);
        Sleep(kFadeWaitMs);
    }
    stopFeeder(*d);
    d->decoding.stop();
    closeWave(*d);
    delete d;
    device = nullptr;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (device == nullptr || device->transport.handle != 0 || data == nullptr || size == 0)
        return 0;
    AudioDevice& d = *device;
    // The output runs at 44,100 Hz and Mp3Decoder does not resample: refuse other rates
    // before opening (the scan reads the headers only, well under a millisecond).
    Mp3Layout layout;
    if (!scanMp3(data, size, layout, nullptr, 0) || layout.sampleRate != kRate) return 0;
    if (!d.decoding.open(data, size, d.lock)) return 0;
    const AudioStream stream = d.transport.open(d.feed.length);
    beginAt(0, false);
    return stream;
}

void audioStreamFree(AudioStream stream) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    if (d.transport.playing) {
        fadeOut(d);
        Sleep(kFadeWaitMs);
    }
    d.decoding.close(d.lock, [&d] { restartQueue(d); });
    d.transport.close();
}

void audioPlay(AudioStream stream, bool restart) {
    if (device != nullptr) device->transport.play(stream, restart, beginAt);
}

void audioPause(AudioStream stream) {
    if (device != nullptr) device->transport.pause(stream, [] { return fadeOut(*device); });
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!isOurs(stream)) return false;
    playback = device->feed.latest();
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (device != nullptr) device->transport.seek(stream, frames, beginAt);
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    return device != nullptr ? device->transport.seconds(stream, frames) : 0.0f;
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    return device != nullptr ? device->transport.frames(stream, seconds) : 0;
}
