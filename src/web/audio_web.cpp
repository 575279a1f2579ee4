// Audio back end for the web player, over the page's WebAudio code (Module.audio in
// player.js): an AudioContext, the soundtrack decoded once by decodeAudioData, and one
// AudioBufferSourceNode per play, started at an offset.
// Implements: [X] one stream, the page's decoded soundtrack (the MP3 bytes passed in are the
//                 ones the page decoded before start-up: decoding in a browser is
//                 asynchronous, so it cannot happen inside audioStreamCreate)
//             [X] positions on the audio clock (currentTime less the output latency),
//                 published as raw facts for MusicClock, which smooths them as on every
//                 platform
// Leaves out: several streams; positions are counted at 44,100 frames per second whatever
//             rate the context plays at.
#include <cmath>

#include <emscripten.h>

#include "media/audio_backend.h"
#include "web/sound_clock.h"

// clang-format off
EM_JS(int, pageAudioReady, (), {
    return Module.audio && Module.audio.ready() ? 1 : 0;
});
EM_JS(double, pageAudioLength, (), { return Module.audio.length(); });
EM_JS(double, pageAudioTime, (), { return Module.audio.time(); });
EM_JS(double, pageAudioStart, (double offset), { return Module.audio.start(offset); });
EM_JS(void, pageAudioStop, (), { Module.audio.stop(); });
// clang-format on

namespace {

constexpr double kRate = 44100.0; // position frames per second
// How far past the last audio clock reading the position may run: the clock moves in steps of
// whole render callbacks (a few milliseconds to tens of them), and the sound goes on between.
constexpr int64_t kAheadFrames = 4410;

struct WebAudio {
    bool started = false;
    AudioStream stream = 0;
    AudioStream lastHandle = 0;
    uint32_t epoch = 0; // counts plays, pauses, seeks and stream changes
    SoundClock clock;   // where the source starts and stands; its own smoothing is not used
};
WebAudio webAudio;

bool known(AudioStream stream) {
    return webAudio.started && stream != 0 && stream == webAudio.stream;
}

double wallMs() {
    return emscripten_get_now();
}

void startAt(double seconds) {
    ++webAudio.epoch;
    const double audioTime = pageAudioStart(seconds);
    webAudio.clock.play(seconds, audioTime, wallMs());
}

} // namespace

bool audioInit() {
    if (!pageAudioReady()) return false;
    webAudio.started = true;
    return true;
}

void audioFree() {
    if (webAudio.started && webAudio.clock.playing) pageAudioStop();
    webAudio.started = false;
    webAudio.stream = 0;
    webAudio.clock = SoundClock{};
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (!webAudio.started || webAudio.stream != 0 || data == nullptr || size == 0) return 0;
    const double length = pageAudioLength();
    if (!(length > 0.0)) return 0;
    AudioStream handle = webAudio.lastHandle + 1;
    if (handle == 0) handle = 1;
    webAudio.lastHandle = handle;
    webAudio.stream = handle;
    ++webAudio.epoch;
    webAudio.clock = SoundClock{};
    webAudio.clock.length = length;
    return handle;
}

void audioStreamFree(AudioStream stream) {
    if (!known(stream)) return;
    if (webAudio.clock.playing) pageAudioStop();
    webAudio.stream = 0;
    webAudio.clock = SoundClock{};
}

void audioPlay(AudioStream stream, bool restart) {
    if (!known(stream) || (webAudio.clock.playing && !restart)) return;
    startAt(restart ? 0.0 : webAudio.clock.position);
}

void audioPause(AudioStream stream) {
    if (!known(stream) || !webAudio.clock.playing) return;
    const double at = webAudio.clock.soundAt(pageAudioTime());
    pageAudioStop();
    ++webAudio.epoch;
    webAudio.clock.stop(at, wallMs());
}

int64_t audioNowNanoseconds() {
    return static_cast<int64_t>(wallMs() * 1e6);
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!known(stream)) return false;
    const SoundClock& clock = webAudio.clock;
    const double audioTime = pageAudioTime();
    playback.epoch = webAudio.epoch;
    playback.sounding = clock.playing && audioTime >= clock.startAudioTime;
    // Until the new sound is heard the position stands where it was started or left.
    double seconds = playback.sounding ? clock.soundAt(audioTime) : clock.startOffset;
    if (seconds > clock.length) seconds = clock.length;
    if (seconds < 0.0) seconds = 0.0;
    playback.frames = std::llround(seconds * kRate);
    playback.nanoseconds = audioNowNanoseconds();
    playback.latencyFrames = kAheadFrames;
    playback.lengthFrames = std::llround(clock.length * kRate);
    playback.framesPerSecond = static_cast<uint32_t>(kRate);
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return;
    double seconds = static_cast<double>(frames) / kRate;
    if (seconds > webAudio.clock.length) seconds = webAudio.clock.length;
    if (webAudio.clock.playing) {
        startAt(seconds);
    } else {
        ++webAudio.epoch;
        webAudio.clock.stop(seconds, wallMs());
    }
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    if (!known(stream) || !std::isfinite(seconds) || seconds < 0.0f) return 0;
    return static_cast<uint64_t>(std::llround(static_cast<double>(seconds) * kRate));
}
