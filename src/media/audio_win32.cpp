// The audio back end on Windows, with nothing but the system: waveOut (winmm) plays 44,100 Hz
// 16-bit stereo from a queue of buffers that a feeder thread refills as each one finishes,
// from the sound ring (PlaybackFeed) that a decoding thread keeps filled ahead with Mp3Decoder
// (the Audio Compression Manager). Implements every call of audio_backend.h; one stream at a
// time, which is all the clock needs. The device runs from audioInit to audioFree and plays
// silence while no stream plays.
//
// Threads. The feeder only copies from the ring, under `lock`; the decoding thread decodes
// under decoderLock, a chunk at a time. The main thread takes decoderLock and then `lock`
// only around a play, a pause, a seek or a stream change, never per frame: the position is
// read from the feed's snapshot. Facts: when a buffer finishes, the next one has just begun,
// so the sound queued ahead of each buffer the feeder fills is known exactly.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "media/audio_backend.h"
#include "media/mp3_decoder_win32.h"
#include "media/playback_feed.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBufferCount = 6;
constexpr uint32_t kBufferFrames = 1024; // 23 ms; the queue holds 139 ms
constexpr AudioStream kStreamHandle = 1;
// Decoded sound held ahead of the queue: about 0.74 s.
constexpr uint32_t kRingFrames = 32768;
// The decoding thread decodes at most this much per hold of its lock.
constexpr uint32_t kChunkFrames = 2048;
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

    // The decoding thread, and what it shares with the main thread under decoderLock.
    std::thread decoding;
    std::mutex decoderLock;
    std::condition_variable wake;
    bool quit = false;
    bool active = false; // a stream exists
    Mp3Decoder decoder;

    // Main thread only.
    bool exists = false;
    bool playing = false;
    int64_t standing = 0; // the position while not playing
    AudioPlayback lastRead;
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

// Decoding thread (or the main thread priming after a seek), decoderLock held.
uint32_t refill(AudioDevice& d, uint32_t most) {
    if (!d.active) return 0;
    return d.feed.refill(
        [&d](int16_t* out, uint32_t frames) {
            const uint32_t got = d.decoder.read(out, frames);
            if (got < frames) d.feed.end.store(static_cast<int64_t>(d.decoder.position));
            return got;
        },
        most);
}

void decodeAhead(AudioDevice& d) {
    std::unique_lock<std::mutex> guard(d.decoderLock);
    while (!d.quit) {
        uint32_t added = 0;
        if (d.feed.ring.capacity - d.feed.ring.available() >= kChunkFrames &&
            d.decoder.position < d.decoder.length)
            added = refill(d, kChunkFrames);
        if (added == 0) {
            d.wake.wait_for(guard, std::chrono::milliseconds(10));
        } else {
            guard.unlock();
            std::this_thread::yield();
            guard.lock();
        }
    }
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
void beginAt(AudioDevice& d, int64_t at, bool play) {
    {
        std::lock_guard<std::mutex> decoding(d.decoderLock);
        d.decoder.seek(static_cast<uint64_t>(at));
        std::lock_guard<std::mutex> guard(d.lock);
        d.feed.begin(static_cast<int64_t>(d.decoder.position), play, audioNowNanoseconds());
        if (play) refill(d, kPrimeFrames);
        restartQueue(d);
    }
    d.wake.notify_one();
    d.playing = play;
    d.standing = at;
}

// Main thread: the sound stops with a short fade made from what the device was about to
// play (the queue is ours to read), so the stop is heard at once and does not click.
void fadeOut(AudioDevice& d) {
    AudioPlayback facts;
    audioReadPlayback(kStreamHandle, facts);
    const int64_t now = audioNowNanoseconds();
    const int64_t at = facts.heardAt(now);
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
    d.playing = false;
    d.standing = at;
}

bool isOurs(AudioStream stream) {
    return device != nullptr && device->exists && stream == kStreamHandle;
}

} // namespace

int64_t audioNowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool audioInit() {
    if (device != nullptr) return true;
    AudioDevice* d = new (std::nothrow) AudioDevice;
    if (d == nullptr) return false;
    if (!d->feed.ring.allocate(kRingFrames)) {
        delete d;
        return false;
    }
    d->feed.framesPerSecond = kRate;
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
    {
        std::lock_guard<std::mutex> guard(d->lock);
        for (uint32_t i = 0; i < kBufferCount; ++i) fillAndQueue(*d, i);
    }
    // A thread that cannot start (no memory, a process out of threads) is a device that did
    // not open, not an exception.
    bool feederStarted = false;
    try {
        d->feeder = std::thread(feed, std::ref(*d));
        feederStarted = true;
        d->decoding = std::thread(decodeAhead, std::ref(*d));
    } catch (const std::system_error&) {
        if (feederStarted) {
            d->stopping.store(true, std::memory_order_relaxed);
            SetEvent(d->bufferDone);
            d->feeder.join();
        }
        waveOutReset(d->wave);
        for (uint32_t i = 0; i < kBufferCount; ++i) {
            waveOutUnprepareHeader(d->wave, &d->headers[i], sizeof(WAVEHDR));
        }
        waveOutClose(d->wave);
        CloseHandle(d->bufferDone);
        delete d;
        return false;
    }
    device = d;
    return true;
}

void audioFree() {
    if (device == nullptr) return;
    AudioDevice* d = device;
    if (d->exists && d->playing) {
        fadeOut(*d);
        Sleep(kFadeWaitMs);
    }
    d->stopping.store(true, std::memory_order_relaxed);
    SetEvent(d->bufferDone);
    d->feeder.join();
    {
        std::lock_guard<std::mutex> guard(d->decoderLock);
        d->quit = true;
    }
    d->wake.notify_one();
    d->decoding.join();
    waveOutReset(d->wave);
    for (uint32_t i = 0; i < kBufferCount; ++i) {
        waveOutUnprepareHeader(d->wave, &d->headers[i], sizeof(WAVEHDR));
    }
    waveOutClose(d->wave);
    CloseHandle(d->bufferDone);
    d->decoder.close();
    delete d;
    device = nullptr;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (device == nullptr || device->exists) return 0;
    AudioDevice& d = *device;
    {
        std::lock_guard<std::mutex> decoding(d.decoderLock);
        // Indexing the packets and opening the ACM stream take well under a millisecond.
        if (!d.decoder.open(data, size)) return 0;
        if (d.decoder.sampleRate != kRate) {
            d.decoder.close();
            return 0;
        }
        d.active = true;
        std::lock_guard<std::mutex> guard(d.lock);
        d.feed.length = static_cast<int64_t>(d.decoder.length);
    }
    d.exists = true;
    beginAt(d, 0, false);
    return kStreamHandle;
}

void audioStreamFree(AudioStream stream) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    if (d.playing) {
        fadeOut(d);
        Sleep(kFadeWaitMs);
    }
    {
        std::lock_guard<std::mutex> decoding(d.decoderLock);
        d.active = false;
        std::lock_guard<std::mutex> guard(d.lock);
        d.feed.begin(0, false, audioNowNanoseconds());
        d.feed.length = 0;
        restartQueue(d);
        d.decoder.close();
    }
    d.exists = false;
    d.playing = false;
}

void audioPlay(AudioStream stream, bool restart) {
    if (!isOurs(stream) || (device->playing && !restart)) return;
    beginAt(*device, restart ? 0 : device->standing, true);
}

void audioPause(AudioStream stream) {
    if (!isOurs(stream) || !device->playing) return;
    fadeOut(*device);
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!isOurs(stream)) return false;
    device->feed.snapshot.read(device->lastRead);
    playback = device->lastRead;
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    const uint64_t end = d.decoder.length;
    beginAt(d, static_cast<int64_t>(frames < end ? frames : end), d.playing);
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    if (!isOurs(stream)) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    if (!isOurs(stream) || !std::isfinite(seconds) || seconds <= 0.0f) return 0;
    const double frames = static_cast<double>(seconds) * kRate;
    // Anything past the end is the end; the cap keeps the conversion defined.
    const double length = static_cast<double>(device->decoder.length);
    return static_cast<uint64_t>(frames < length ? frames : length);
}
