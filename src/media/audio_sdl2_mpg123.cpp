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
// copies from the ring. The decoding thread (DecodeAhead) fills the ring holding its own
// lock. The main thread takes that lock and then the device lock only around a play, a
// pause, a seek or a stream change, never per frame, and reads the facts from the snapshot.
#include <cassert>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <type_traits>

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include "media/audio_backend.h"
#include "media/decode_ahead.h"
#include "media/mp3_stream_mpg123.h"
#include "media/playback_feed.h"
#include "media/stream_transport.h"

namespace {

constexpr int kRate = 44100; // frames per second, of the output and of every stream
// The device's buffer: measured on a loaded 2-core machine through PulseAudio, the smallest
// that played a whole run without a gap (bench/media/stalls.sh).
constexpr Uint16 kDeviceFrames = 2048;
// After a play or a seek the ring is primed at once with four device buffers (186 ms), so
// the device never waits for the decoding thread to wake.
constexpr uint32_t kPrimeFrames = 4 * kDeviceFrames;
// How long a stop waits for its fade to reach the device.
constexpr int kFadeWaitLimitMs = 250;

// [SECTION] SDL, opened when the sound starts

// SDL is opened here rather than linked: Debian's SDL brings some fifty libraries (X11,
// Wayland, PulseAudio, codecs) whose loading at exec would hold back the first frame by about
// 20 ms, and a silent run needs none of them. Once open it stays open: SDL leaves threads
// and handlers behind that an unload would pull from under them.
struct SdlAudio {
    bool loaded = false;
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
    decltype(&SDL_GetCurrentAudioDriver) GetCurrentAudioDriver = nullptr;

    bool load() {
        if (loaded) return true;
        void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return false;
        bool all = true;
        auto find = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function != nullptr;
        };
        find(SetHint, "SDL_SetHint");
        find(InitSubSystem, "SDL_InitSubSystem");
        find(QuitSubSystem, "SDL_QuitSubSystem");
        find(OpenAudioDevice, "SDL_OpenAudioDevice");
        find(CloseAudioDevice, "SDL_CloseAudioDevice");
        find(PauseAudioDevice, "SDL_PauseAudioDevice");
        find(LockAudioDevice, "SDL_LockAudioDevice");
        find(UnlockAudioDevice, "SDL_UnlockAudioDevice");
        find(GetCurrentAudioDriver, "SDL_GetCurrentAudioDriver");
        loaded = all;
        return loaded;
    }
};
SdlAudio sdl;

// SDL's device lock as a lockable, for the decoding side's guards.
struct DeviceLock {
    SDL_AudioDeviceID id = 0;
    void lock() { sdl.LockAudioDevice(id); }
    void unlock() { sdl.UnlockAudioDevice(id); }
};

struct AudioBackend {
    bool started = false;
    DeviceLock device;
    uint32_t deviceFrames = 0; // what SDL gave
    PlaybackFeed feed;
    DecodeAhead<Mp3Stream> decoding;
    StreamTransport transport; // main thread only
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

// [SECTION] The device and epochs

// Audio thread, device lock held: SDL asks for the next buffer.
void SDLCALL fillOutput(void* userdata, Uint8* out, int bytes) {
    AudioBackend& audio = *static_cast<AudioBackend*>(userdata);
    const uint32_t frames = bytes > 0 ? static_cast<uint32_t>(bytes) / 4u : 0u;
    audio.feed.fill(reinterpret_cast<int16_t*>(out), frames, audioNowNanoseconds());
}

// Main thread: the stream stands at, or plays from, `at`.
void beginAt(int64_t at, bool play) {
    backend.decoding.begin(at, play, kPrimeFrames, backend.device, [] {});
}

// Main thread: the playing sound fades out; returns where the fade begins. With `wait`,
// returns once the fade has reached the device (or after a bound).
int64_t fadeOut(bool wait) {
    AudioBackend& audio = backend;
    const int64_t now = audioNowNanoseconds();
    const int64_t at = audio.feed.latest().heardAt(now);
    {
        std::lock_guard<DeviceLock> held(audio.device);
        audio.feed.fadeOut(at, now);
    }
    for (int ms = 0; wait && ms < kFadeWaitLimitMs && !audio.feed.silent.load(); ++ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return at;
}

} // namespace

// [SECTION] The back-end operations

bool audioInit() {
    AudioBackend& audio = backend;
    assert(!audio.started && "audioInit called twice without audioFree");
    if (audio.started) return true;
    if (!sdl.load()) return false;
    // Otherwise SDL installs handlers for SIGINT and SIGTERM and swallows them.
    sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const int savedError = silenceStandardError();
    bool opened = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
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
        audio.device.id = sdl.OpenAudioDevice(nullptr, 0, &want, &have, 0);
        opened = audio.device.id != 0;
        // The device stays paused until the decoding thread runs: it takes from the ring.
        if (opened && !audio.decoding.start(audio.feed)) {
            sdl.CloseAudioDevice(audio.device.id);
            audio.device.id = 0;
            opened = false;
        }
        if (!opened) sdl.QuitSubSystem(SDL_INIT_AUDIO);
    }
    restoreStandardError(savedError);
    if (!opened) return false;
    audio.deviceFrames = have.samples;
    // The dummy and disk drivers do not pace their callbacks in real time, so their
    // buffers say nothing about time: the position then runs on the wall clock alone.
    const char* driver = sdl.GetCurrentAudioDriver();
    audio.feed.paced = driver == nullptr ||
                       (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0);
    audio.feed.deviceLatencyFrames = have.samples;
    audio.feed.framesPerSecond = kRate;
    audio.transport.framesPerSecond = kRate;
    audio.started = true;
    // The device runs from now to audioFree; a paused stream is paused in the feed.
    sdl.PauseAudioDevice(audio.device.id, 0);
    return true;
}

void audioFree() {
    AudioBackend& audio = backend;
    if (!audio.started) return;
    if (audio.transport.playing) {
        fadeOut(true);
        // What the device still holds is heard before it closes: the fade is its end.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(2 * audio.deviceFrames * 1000 / kRate));
    }
    const int savedError = silenceStandardError();
    // Closing joins the audio thread, so the feed can go without the lock afterwards.
    sdl.CloseAudioDevice(audio.device.id);
    sdl.QuitSubSystem(SDL_INIT_AUDIO);
    restoreStandardError(savedError);
    audio.decoding.stop();
    audio.feed.playing = false;
    audio.feed.fadeLeft = 0;
    audio.transport.close();
    audio.device.id = 0;
    audio.started = false;
    // The feed's epoch goes on counting, so facts left from this run never match the next.
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    AudioBackend& audio = backend;
    if (!audio.started || audio.transport.handle != 0 || data == nullptr || size == 0) return 0;
    if (!audio.decoding.open(data, size, audio.device)) return 0;
    const AudioStream handle = audio.transport.open(audio.feed.length);
    beginAt(0, false);
    return handle;
}

void audioStreamFree(AudioStream handle) {
    AudioBackend& audio = backend;
    if (!audio.transport.owns(handle)) return;
    if (audio.transport.playing) fadeOut(true);
    audio.decoding.close(audio.device, [] {});
    audio.transport.close();
}

void audioPlay(AudioStream handle, bool restart) {
    backend.transport.play(handle, restart, beginAt);
}

void audioPause(AudioStream handle) {
    backend.transport.pause(handle, [] { return fadeOut(false); });
}

bool audioReadPlayback(AudioStream handle, AudioPlayback& playback) {
    if (!backend.transport.owns(handle)) return false;
    playback = backend.feed.latest();
    return true;
}

void audioSetPosition(AudioStream handle, uint64_t frames) {
    backend.transport.seek(handle, frames, beginAt);
}

float audioPositionToSeconds(AudioStream handle, uint64_t frames) {
    return backend.transport.seconds(handle, frames);
}

uint64_t audioSecondsToPosition(AudioStream handle, float seconds) {
    return backend.transport.frames(handle, seconds);
}
