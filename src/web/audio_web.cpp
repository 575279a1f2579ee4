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
#include "media/stream_transport.h"

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

constexpr uint32_t kRate = 44100; // position frames per second
// How far past the last audio clock reading the position may run: the clock moves in steps of
// whole render callbacks (a few milliseconds to tens of them), and the sound goes on between.
constexpr int64_t kAheadFrames = 4410;

// The one stream: while playing, the source plays from frame `transport.standing` since audio
// clock second `startAudioTime`; stopped, it stands at `transport.standing`.
struct WebAudio {
    bool started = false;
    uint32_t epoch = 0; // counts plays, pauses, seeks and stream changes
    double startAudioTime = 0.0;
    StreamTransport transport;
};
WebAudio webAudio;

// The frame heard at audio clock second `audioTime`: where the stream stands until its
// source begins, then on at the clock's pace, up to the end.
int64_t soundAt(double audioTime) {
    const StreamTransport& t = webAudio.transport;
    if (!t.playing || audioTime <= webAudio.startAudioTime) return t.standing;
    const int64_t heard = t.standing + std::llround((audioTime - webAudio.startAudioTime) * kRate);
    return heard < t.lengthFrames ? heard : t.lengthFrames;
}

// A new epoch standing at, or playing from, frame `at` (starting a source stops the last).
void beginAt(int64_t at, bool play) {
    ++webAudio.epoch;
    if (play) webAudio.startAudioTime = pageAudioStart(static_cast<double>(at) / kRate);
}

// Stops the playing source; returns the frame it had reached.
int64_t stopSource() {
    const int64_t at = soundAt(pageAudioTime());
    pageAudioStop();
    ++webAudio.epoch;
    return at;
}

} // namespace

int64_t audioNowNanoseconds() {
    return static_cast<int64_t>(emscripten_get_now() * 1e6);
}

bool audioInit() {
    if (!pageAudioReady()) return false;
    webAudio.started = true;
    webAudio.transport.framesPerSecond = kRate;
    return true;
}

void audioFree() {
    if (webAudio.started && webAudio.transport.playing) pageAudioStop();
    webAudio.started = false;
    webAudio.transport.close();
    ++webAudio.epoch;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (!webAudio.started || webAudio.transport.handle != 0 || data == nullptr || size == 0)
        return 0;
    const double length = pageAudioLength();
    if (!(length > 0.0)) return 0;
    ++webAudio.epoch;
    return webAudio.transport.open(std::llround(length * kRate));
}

void audioStreamFree(AudioStream stream) {
    if (!webAudio.transport.owns(stream)) return;
    if (webAudio.transport.playing) pageAudioStop();
    webAudio.transport.close();
    ++webAudio.epoch;
}

void audioPlay(AudioStream stream, bool restart) {
    webAudio.transport.play(stream, restart, beginAt);
}

void audioPause(AudioStream stream) {
    webAudio.transport.pause(stream, stopSource);
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!webAudio.transport.owns(stream)) return false;
    const double audioTime = pageAudioTime();
    playback.epoch = webAudio.epoch;
    playback.sounding = webAudio.transport.playing && audioTime >= webAudio.startAudioTime;
    playback.frames = soundAt(audioTime);
    playback.nanoseconds = audioNowNanoseconds();
    playback.latencyFrames = kAheadFrames;
    playback.lengthFrames = webAudio.transport.lengthFrames;
    playback.framesPerSecond = kRate;
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    webAudio.transport.seek(stream, frames, beginAt);
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    return webAudio.transport.seconds(stream, frames);
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    return webAudio.transport.frames(stream, seconds);
}
