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

// The one stream: while playing, the source plays stream second `startOffset` at audio clock
// second `startAudioTime`; stopped, it stands at `startOffset`.
struct WebAudio {
    bool started = false;
    AudioStream stream = 0;
    AudioStream lastHandle = 0;
    uint32_t epoch = 0; // counts plays, pauses, seeks and stream changes
    bool playing = false;
    double startOffset = 0.0;    // stream seconds
    double startAudioTime = 0.0; // audio clock seconds
    double length = 0.0;         // stream seconds
};
WebAudio webAudio;

bool known(AudioStream stream) {
    return webAudio.started && stream != 0 && stream == webAudio.stream;
}

double clampToStream(double seconds) {
    return seconds < 0.0 ? 0.0 : seconds > webAudio.length ? webAudio.length : seconds;
}

// Stream seconds heard at audio clock second `audioTime`.
double soundAt(double audioTime) {
    if (!webAudio.playing) return clampToStream(webAudio.startOffset);
    return clampToStream(webAudio.startOffset + (audioTime - webAudio.startAudioTime));
}

void startAt(double seconds) {
    ++webAudio.epoch;
    webAudio.startAudioTime = pageAudioStart(seconds);
    webAudio.startOffset = seconds;
    webAudio.playing = true;
}

void standAt(double seconds) {
    ++webAudio.epoch;
    webAudio.startOffset = clampToStream(seconds);
    webAudio.playing = false;
}

} // namespace

int64_t audioNowNanoseconds() {
    return static_cast<int64_t>(emscripten_get_now() * 1e6);
}

bool audioInit() {
    if (!pageAudioReady()) return false;
    webAudio.started = true;
    return true;
}

void audioFree() {
    if (webAudio.started && webAudio.playing) pageAudioStop();
    const uint32_t epoch = webAudio.epoch;
    const AudioStream lastHandle = webAudio.lastHandle;
    webAudio = WebAudio{};
    webAudio.epoch = epoch + 1;
    webAudio.lastHandle = lastHandle;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (!webAudio.started || webAudio.stream != 0 || data == nullptr || size == 0) return 0;
    const double length = pageAudioLength();
    if (!(length > 0.0)) return 0;
    AudioStream handle = webAudio.lastHandle + 1;
    if (handle == 0) handle = 1;
    webAudio.lastHandle = handle;
    webAudio.stream = handle;
    webAudio.length = length;
    standAt(0.0);
    return handle;
}

void audioStreamFree(AudioStream stream) {
    if (!known(stream)) return;
    if (webAudio.playing) pageAudioStop();
    webAudio.stream = 0;
    standAt(0.0);
}

void audioPlay(AudioStream stream, bool restart) {
    if (!known(stream) || (webAudio.playing && !restart)) return;
    startAt(restart ? 0.0 : webAudio.startOffset);
}

void audioPause(AudioStream stream) {
    if (!known(stream) || !webAudio.playing) return;
    const double at = soundAt(pageAudioTime());
    pageAudioStop();
    standAt(at);
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!known(stream)) return false;
    const double audioTime = pageAudioTime();
    playback.epoch = webAudio.epoch;
    playback.sounding = webAudio.playing && audioTime >= webAudio.startAudioTime;
    // Until the new sound is heard the position stands where it was started or left.
    const double seconds =
        playback.sounding ? soundAt(audioTime) : clampToStream(webAudio.startOffset);
    playback.frames = std::llround(seconds * kRate);
    playback.nanoseconds = audioNowNanoseconds();
    playback.latencyFrames = kAheadFrames;
    playback.lengthFrames = std::llround(webAudio.length * kRate);
    playback.framesPerSecond = static_cast<uint32_t>(kRate);
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return;
    const double seconds = clampToStream(static_cast<double>(frames) / kRate);
    if (webAudio.playing)
        startAt(seconds);
    else
        standAt(seconds);
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    if (!known(stream) || !std::isfinite(seconds) || seconds < 0.0f) return 0;
    return static_cast<uint64_t>(std::llround(static_cast<double>(seconds) * kRate));
}
