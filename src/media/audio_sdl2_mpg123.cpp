// Audio back end on SDL2 (output) and libmpg123 (MP3 decoding from memory, Mp3Stream).
// Implements: [X] one stream at a time, decoded ahead of the device by a thread of its own
//                 into a lock-free ring (PlaybackFeed), so a busy machine does not starve it
//             [X] 44,100 Hz stereo 16-bit through the callback model
//             [X] sample-exact positions and seeks (gapless: the encoder delay is trimmed)
//             [X] raw playback facts for the clock, published without a lock
//             [X] a short fade-out on every stop (pause, free, shutdown) instead of a click
// Leaves out: choosing a device (the default output), several streams, other rates (a
//             stream is decoded to 44,100 Hz whatever its own rate).
//
// Threads. SDL calls fillOutput on its audio thread with the device lock held; it only
// copies from the ring. The decoding thread fills the ring holding decoderLock, a chunk at a
// time. The main thread takes decoderLock and then the device lock only around a play, a
// pause, a seek or a stream change, never per frame, and reads the facts from the snapshot.
#include <cassert>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include "media/audio_backend.h"
#include "media/mp3_stream_mpg123.h"
#include "media/playback_feed.h"

namespace {

constexpr int kRate = 44100; // frames per second, of the output and of every stream
// The device's buffer: measured on a loaded 2-core machine through PulseAudio, the smallest
// that played a whole run without a gap (bench/media/stalls.sh).
constexpr Uint16 kDeviceFrames = 2048;
// Decoded sound held ahead of the device: about 0.74 s, so the decoding thread may be kept
// from the processor for that long before anything is heard.
constexpr uint32_t kRingFrames = 32768;
// The decoding thread decodes at most this much per hold of its lock, and waits for at
// least this much room, so a seek waits for one chunk at most.
constexpr uint32_t kChunkFrames = 2048;
// After a play or a seek the ring is primed at once, so the device never waits for the
// decoding thread's first chunk.
constexpr uint32_t kPrimeFrames = 2 * kDeviceFrames;
// How long a stop waits for its fade to reach the device.
constexpr int kFadeWaitLimitMs = 250;

struct AudioBackend {
    bool started = false;
    SDL_AudioDeviceID device = 0;
    uint32_t deviceFrames = 0; // what SDL gave
    PlaybackFeed feed;

    // The decoding thread, and what it shares with the main thread under decoderLock.
    std::thread decoding;
    std::mutex decoderLock;
    std::condition_variable wake;
    bool quit = false;
    bool active = false; // a stream exists
    Mp3Stream mp3;

    // Main thread only.
    AudioStream handle = 0; // the stream that exists, 0 for none
    AudioStream lastHandle = 0;
    bool playing = false;
    int64_t standing = 0;   // the position while not playing
    AudioPlayback lastRead; // facts kept for a read that meets a write in progress
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

// [SECTION] The threads

// Audio thread, device lock held: SDL asks for the next buffer.
void SDLCALL fillOutput(void* userdata, Uint8* out, int bytes) {
    AudioBackend& audio = *static_cast<AudioBackend*>(userdata);
    const uint32_t frames = bytes > 0 ? static_cast<uint32_t>(bytes) / 4u : 0u;
    audio.feed.fill(reinterpret_cast<int16_t*>(out), frames, audioNowNanoseconds());
}

// Decoding thread (or the main thread priming after a seek), decoderLock held.
uint32_t refill(AudioBackend& audio, uint32_t most) {
    if (!audio.active || audio.mp3.ended) return 0;
    return audio.feed.refill(
        [&audio](int16_t* out, uint32_t frames) {
            const uint32_t got = audio.mp3.read(out, frames);
            if (got < frames) audio.feed.end.store(audio.mp3.position);
            return got;
        },
        most);
}

void decodeAhead(AudioBackend& audio) {
    std::unique_lock<std::mutex> lock(audio.decoderLock);
    while (!audio.quit) {
        uint32_t added = 0;
        if (audio.feed.ring.capacity - audio.feed.ring.available() >= kChunkFrames)
            added = refill(audio, kChunkFrames);
        if (added == 0) {
            // Full, ended or without a stream: the device takes a chunk in about 46 ms.
            audio.wake.wait_for(lock, std::chrono::milliseconds(10));
        } else {
            // Between chunks the main thread may come in for a seek.
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
        }
    }
}

// [SECTION] Epochs

// Main thread: the stream stands at, or plays from, `at`. The ring is flushed and primed
// while both other threads are held off, so the first buffer after it is the new sound.
void beginAt(int64_t at, bool play) {
    AudioBackend& audio = backend;
    {
        std::lock_guard<std::mutex> guard(audio.decoderLock);
        audio.mp3.seek(at);
        SDL_LockAudioDevice(audio.device);
        audio.feed.begin(audio.mp3.position, play, audioNowNanoseconds());
        if (play) refill(audio, kPrimeFrames);
        SDL_UnlockAudioDevice(audio.device);
    }
    audio.wake.notify_one();
    audio.playing = play;
    audio.standing = at;
}

// Main thread: the playing sound fades out; the position stays where the fade begins.
// With `wait`, returns once the fade has reached the device (or after a bound).
void fadeOut(bool wait) {
    AudioBackend& audio = backend;
    AudioPlayback facts;
    audioReadPlayback(audio.handle, facts);
    const int64_t now = audioNowNanoseconds();
    const int64_t at = audio.playing ? facts.heardAt(now) : audio.standing;
    SDL_LockAudioDevice(audio.device);
    audio.feed.fadeOut(at, now);
    SDL_UnlockAudioDevice(audio.device);
    audio.playing = false;
    audio.standing = at;
    for (int ms = 0; wait && ms < kFadeWaitLimitMs && !audio.feed.silent.load(); ++ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool isOurs(AudioStream handle) {
    return handle != 0 && handle == backend.handle;
}

} // namespace

// [SECTION] The back-end operations

int64_t audioNowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool audioInit() {
    AudioBackend& audio = backend;
    assert(!audio.started && "audioInit called twice without audioFree");
    if (audio.started) return true;
    if (!audio.feed.ring.allocate(kRingFrames)) return false;
    // Otherwise SDL installs handlers for SIGINT and SIGTERM and swallows them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const int savedError = silenceStandardError();
    bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_AudioSpec have{};
    if (opened) {
        SDL_AudioSpec want{};
        want.freq = kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kDeviceFrames;
        want.callback = fillOutput;
        want.userdata = &audio;
        // No changes allowed: SDL converts to whatever the device wants.
        audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (audio.device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            opened = false;
        }
    }
    restoreStandardError(savedError);
    if (!opened) {
        audio.feed.ring.release();
        return false;
    }
    audio.deviceFrames = have.samples;
    // The dummy and disk drivers do not pace their callbacks in real time, so their
    // buffers say nothing about time: the position then runs on the wall clock alone.
    const char* driver = SDL_GetCurrentAudioDriver();
    audio.feed.paced = driver == nullptr ||
                       (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0);
    audio.feed.deviceLatencyFrames = have.samples;
    audio.feed.framesPerSecond = kRate;
    audio.quit = false;
    audio.decoding = std::thread(decodeAhead, std::ref(audio));
    audio.started = true;
    // The device runs from now to audioFree; a paused stream is paused in the feed.
    SDL_PauseAudioDevice(audio.device, 0);
    return true;
}

void audioFree() {
    AudioBackend& audio = backend;
    if (!audio.started) return;
    if (audio.playing) {
        fadeOut(true);
        // What the device still holds is heard before it closes: the fade is its end.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(2 * audio.deviceFrames * 1000 / kRate));
    }
    const int savedError = silenceStandardError();
    // Closing joins the audio thread, so the feed can go without the lock afterwards.
    SDL_CloseAudioDevice(audio.device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    restoreStandardError(savedError);
    {
        std::lock_guard<std::mutex> guard(audio.decoderLock);
        audio.quit = true;
    }
    audio.wake.notify_one();
    audio.decoding.join();
    audio.mp3.close();
    audio.active = false;
    audio.feed.ring.release();
    audio.feed.playing = false;
    audio.feed.fadeLeft = 0;
    audio.handle = 0;
    audio.playing = false;
    audio.device = 0;
    audio.started = false;
    // The feed's epoch goes on counting, so facts left from this run never match the next.
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    AudioBackend& audio = backend;
    if (!audio.started || audio.handle != 0 || data == nullptr || size == 0) return 0;
    {
        std::lock_guard<std::mutex> guard(audio.decoderLock);
        if (!audio.mp3.open(data, size)) return 0;
        audio.active = true;
        SDL_LockAudioDevice(audio.device);
        audio.feed.length = audio.mp3.length;
        SDL_UnlockAudioDevice(audio.device);
    }
    AudioStream handle = audio.lastHandle + 1;
    if (handle == 0) handle = 1;
    audio.lastHandle = handle;
    audio.handle = handle;
    beginAt(0, false);
    return handle;
}

void audioStreamFree(AudioStream handle) {
    AudioBackend& audio = backend;
    if (!isOurs(handle)) return;
    if (audio.playing) fadeOut(true);
    {
        std::lock_guard<std::mutex> guard(audio.decoderLock);
        audio.active = false;
        SDL_LockAudioDevice(audio.device);
        audio.feed.begin(0, false, audioNowNanoseconds());
        audio.feed.length = 0;
        SDL_UnlockAudioDevice(audio.device);
        audio.mp3.close();
    }
    audio.handle = 0;
    audio.playing = false;
}

void audioPlay(AudioStream handle, bool restart) {
    if (!isOurs(handle) || (backend.playing && !restart)) return;
    beginAt(restart ? 0 : backend.standing, true);
}

void audioPause(AudioStream handle) {
    if (!isOurs(handle) || !backend.playing) return;
    fadeOut(false);
}

bool audioReadPlayback(AudioStream handle, AudioPlayback& playback) {
    AudioBackend& audio = backend;
    if (!isOurs(handle)) return false;
    if (audio.feed.snapshot.read(audio.lastRead))
        playback = audio.lastRead;
    else
        playback = audio.lastRead;
    return true;
}

void audioSetPosition(AudioStream handle, uint64_t frames) {
    AudioBackend& audio = backend;
    if (!isOurs(handle)) return;
    const auto end = static_cast<uint64_t>(audio.mp3.length);
    beginAt(static_cast<int64_t>(frames < end ? frames : end), audio.playing);
}

float audioPositionToSeconds(AudioStream handle, uint64_t frames) {
    if (!isOurs(handle)) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream handle, float seconds) {
    if (!isOurs(handle) || !std::isfinite(seconds) || seconds <= 0.0f) return 0;
    const double frames = std::floor(static_cast<double>(seconds) * kRate);
    const auto end = static_cast<double>(backend.mp3.length);
    return static_cast<uint64_t>(frames < end ? frames : end);
}
