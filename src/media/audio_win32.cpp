// The audio back end on Windows, with nothing but the system: waveOut (winmm) plays 44,100 Hz
// 16-bit stereo from a ring of buffers that a feeder thread refills as each one finishes, and
// Mp3Decoder (the Audio Compression Manager) decodes the soundtrack into them as it plays.
// Implements every call of audio_backend.h; one stream at a time, which is all the clock
// needs. The device runs from audioInit to audioFree and plays silence while no stream plays.
//
// Position: the frames of the buffers the device has finished, plus the wall time since the
// last one finished (at most the next buffer's length), so it moves at frame rate and not by
// whole buffers; the value handed out follows the wall clock, slewed towards that estimate
// by at most 5 % of each step, so the feeder thread's wake-up jitter does not show.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <system_error>
#include <thread>

#include "media/audio_backend.h"
#include "media/mp3_decoder_win32.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBufferCount = 6;
constexpr uint32_t kBufferFrames = 1024; // 23 ms; the ring holds 139 ms
constexpr AudioStream kStreamHandle = 1;
// Further apart than this, the estimate is taken as it is (a start, a seek, a stall).
constexpr double kSnapFrames = kRate * 0.05;
constexpr double kSlew = 0.05;

// What one queued buffer carries: `frames` frames of music from `start`, or silence (0).
struct BufferRecord {
    uint64_t start = 0;
    uint32_t frames = 0;
    uint32_t generation = 0;
};

// Everything of the device and its one stream. The feeder thread and the main thread share
// it under `lock`; the main thread's own smoothing state is touched by the main thread only.
struct AudioDevice {
    std::mutex lock;
    HWAVEOUT wave = nullptr;
    HANDLE bufferDone = nullptr; // signalled by waveOut when a buffer finishes
    std::thread feeder;
    std::atomic<bool> stopping{false};
    WAVEHDR headers[kBufferCount]{};
    BufferRecord records[kBufferCount]{};
    int16_t samples[kBufferCount][kBufferFrames * 2]{};
    uint32_t oldest = 0;     // the buffer the device plays now (finishes first)
    uint32_t generation = 0; // bumped when the queue is thrown away, so old records do not count

    // The stream.
    bool exists = false;
    bool playing = false;
    Mp3Decoder decoder;      // decodes ahead of the device by the ring
    uint64_t frozen = 0;     // the position while not playing
    uint64_t heardEnd = 0;   // end of the music the device has finished playing
    uint32_t nextFrames = 0; // music frames of the buffer playing now
    int64_t heardStamp = 0;  // performance counter when heardEnd was reached

    // Main thread only: the last position handed out and when.
    bool smoothed = false;
    double reported = 0.0;
    int64_t reportedStamp = 0;
};

AudioDevice* device = nullptr;

int64_t ticksNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double ticksToFrames(int64_t ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * kRate / static_cast<double>(frequency.QuadPart);
}

// Fills buffer i with the next music (while playing) or silence and queues it. Under lock.
void fillAndQueue(AudioDevice& d, uint32_t i) {
    BufferRecord& record = d.records[i];
    record.generation = d.generation;
    record.start = d.decoder.position;
    record.frames = 0;
    if (d.exists && d.playing) record.frames = d.decoder.read(d.samples[i], kBufferFrames);
    for (uint32_t f = record.frames; f < kBufferFrames; ++f) {
        d.samples[i][2 * f] = d.samples[i][2 * f + 1] = 0;
    }
    d.headers[i].dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(d.wave, &d.headers[i], sizeof(WAVEHDR));
}

// The buffer after the oldest one has started: account the finished one. Under lock.
void noteFinished(AudioDevice& d, uint32_t i, int64_t now) {
    const BufferRecord& record = d.records[i];
    if (record.generation != d.generation || record.frames == 0) return;
    d.heardEnd = record.start + record.frames;
    d.heardStamp = now;
    const BufferRecord& next = d.records[(i + 1) % kBufferCount];
    const bool follows = next.generation == d.generation && next.start == d.heardEnd;
    d.nextFrames = follows ? next.frames : 0;
}

void feed(AudioDevice& d) {
    while (!d.stopping.load(std::memory_order_relaxed)) {
        WaitForSingleObject(d.bufferDone, 100);
        std::lock_guard<std::mutex> guard(d.lock);
        const int64_t now = ticksNow();
        while ((d.headers[d.oldest].dwFlags & WHDR_DONE) != 0 &&
               !d.stopping.load(std::memory_order_relaxed)) {
            noteFinished(d, d.oldest, now);
            fillAndQueue(d, d.oldest);
            d.oldest = (d.oldest + 1) % kBufferCount;
        }
    }
}

// Throws the queue away and queues fresh buffers from the decoder's position, so a play,
// pause or seek is heard at once. Under lock, from the main thread.
void restartQueue(AudioDevice& d) {
    ++d.generation;
    waveOutReset(d.wave); // every buffer comes back marked done
    d.oldest = 0;
    d.heardEnd = d.decoder.position;
    d.heardStamp = ticksNow();
    for (uint32_t i = 0; i < kBufferCount; ++i) fillAndQueue(d, i);
    d.nextFrames = d.records[0].frames;
    d.smoothed = false;
}

// Where the device is now, from the buffers finished and the time since. Under lock.
uint64_t estimatedPosition(const AudioDevice& d) {
    if (!d.playing) return d.frozen;
    const double since = ticksToFrames(ticksNow() - d.heardStamp);
    const double ahead = since < d.nextFrames ? since : d.nextFrames;
    return d.heardEnd + static_cast<uint64_t>(ahead > 0.0 ? ahead : 0.0);
}

bool isOurs(AudioStream stream) {
    return device != nullptr && device->exists && stream == kStreamHandle;
}

} // namespace

bool audioInit() {
    if (device != nullptr) return true;
    AudioDevice* d = new (std::nothrow) AudioDevice;
    if (d == nullptr) return false;
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
    try {
        d->feeder = std::thread(feed, std::ref(*d));
    } catch (const std::system_error&) {
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
    d->stopping.store(true, std::memory_order_relaxed);
    SetEvent(d->bufferDone);
    d->feeder.join();
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
    std::lock_guard<std::mutex> guard(d.lock);
    // Indexing the packets and opening the ACM stream take well under a millisecond.
    if (!d.decoder.open(data, size)) return 0;
    if (d.decoder.sampleRate != kRate) {
        d.decoder.close();
        return 0;
    }
    d.exists = true;
    d.playing = false;
    d.frozen = 0;
    return kStreamHandle;
}

void audioStreamFree(AudioStream stream) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    std::lock_guard<std::mutex> guard(d.lock);
    d.exists = false;
    d.playing = false;
    restartQueue(d);
    d.decoder.close();
}

void audioPlay(AudioStream stream, bool restart) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    std::lock_guard<std::mutex> guard(d.lock);
    if (restart) d.frozen = 0;
    if (d.playing && !restart) return;
    d.decoder.seek(d.frozen);
    d.playing = true;
    restartQueue(d);
}

void audioPause(AudioStream stream) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    std::lock_guard<std::mutex> guard(d.lock);
    if (!d.playing) return;
    d.frozen = estimatedPosition(d);
    d.playing = false;
    restartQueue(d);
}

uint64_t audioGetPosition(AudioStream stream) {
    if (!isOurs(stream)) return 0;
    AudioDevice& d = *device;
    uint64_t estimate;
    bool playing;
    uint64_t length;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        estimate = estimatedPosition(d);
        playing = d.playing;
        length = d.decoder.length;
    }
    if (!playing) {
        d.smoothed = false;
        return estimate;
    }
    const int64_t now = ticksNow();
    const double target = static_cast<double>(estimate);
    double position = target;
    if (d.smoothed) {
        const double step = ticksToFrames(now - d.reportedStamp);
        const double wall = d.reported + step;
        const double gap = target - wall;
        if (std::fabs(gap) < kSnapFrames) {
            const double most = kSlew * step;
            position = wall + (gap > most ? most : gap < -most ? -most : gap);
        }
        if (position < d.reported) position = d.reported; // never backwards while playing
    }
    if (position > static_cast<double>(length)) position = static_cast<double>(length);
    d.smoothed = true;
    d.reported = position;
    d.reportedStamp = now;
    return static_cast<uint64_t>(position);
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (!isOurs(stream)) return;
    AudioDevice& d = *device;
    std::lock_guard<std::mutex> guard(d.lock);
    d.frozen = frames < d.decoder.length ? frames : d.decoder.length;
    if (!d.playing) return;
    d.decoder.seek(d.frozen);
    restartQueue(d);
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
