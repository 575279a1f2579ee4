// Audio back end for the web player, over the page's WebAudio code (Module.audio in
// player.js): an AudioContext, the soundtrack decoded once by decodeAudioData, and one
// AudioBufferSourceNode per play, started at an offset.
// Implements: [X] one stream, the page's decoded soundtrack (the MP3 bytes passed in are the
//                 ones the page decoded before start-up: decoding in a browser is
//                 asynchronous, so it cannot happen inside audioStreamCreate)
//             [X] positions on the audio clock (currentTime less the output latency),
//                 smoothed against the wall clock (SoundClock)
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

struct WebAudio {
    bool started = false;
    AudioStream stream = 0;
    AudioStream lastHandle = 0;
    SoundClock clock;
};
WebAudio webAudio;

bool known(AudioStream stream) {
    return webAudio.started && stream != 0 && stream == webAudio.stream;
}

double wallMs() {
    return emscripten_get_now();
}

void startAt(double seconds) {
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
    const double now = wallMs();
    const double at = webAudio.clock.update(pageAudioTime(), now);
    pageAudioStop();
    webAudio.clock.stop(at, now);
}

uint64_t audioGetPosition(AudioStream stream) {
    if (!known(stream)) return 0;
    const double seconds = webAudio.clock.update(pageAudioTime(), wallMs());
    return static_cast<uint64_t>(std::llround(seconds * kRate));
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return;
    double seconds = static_cast<double>(frames) / kRate;
    if (seconds > webAudio.clock.length) seconds = webAudio.clock.length;
    if (webAudio.clock.playing)
        startAt(seconds);
    else
        webAudio.clock.stop(seconds, wallMs());
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    if (!known(stream)) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / kRate);
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    if (!known(stream) || !std::isfinite(seconds) || seconds < 0.0f) return 0;
    return static_cast<uint64_t>(std::llround(static_cast<double>(seconds) * kRate));
}
