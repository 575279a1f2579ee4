// A fake audio back end: one stream at a time, playback facts the test publishes (as the
// SDL and waveOut back ends do), and a log of the calls that change the stream.
#include "fake_media.h"
#include "media/stream_transport.h"

FakeAudio fakeAudio;

namespace {

void note(const std::string& entry) {
    if (!fakeAudio.log.empty()) fakeAudio.log += ' ';
    fakeAudio.log += entry;
}

bool known(AudioStream stream) {
    return stream != 0 && stream == fakeAudio.live;
}

void publish(bool sounding, int64_t frames, int64_t latency) {
    AudioPlayback& p = fakeAudio.playback;
    p.sounding = sounding;
    p.frames = frames;
    p.nanoseconds = fakeAudio.nowNs;
    p.latencyFrames = latency;
    p.lengthFrames = fakeAudio.length > 0 ? fakeAudio.length : INT64_C(1) << 40;
    p.framesPerSecond = kFakeRate;
}

// A play, pause or seek: a new epoch standing at `frames`.
void stand(int64_t frames) {
    ++fakeAudio.playback.epoch;
    publish(false, frames, 0);
}

} // namespace

void fakeAudioStandAt(int64_t frames) {
    stand(frames);
}

void fakeSdlCallback(int64_t first, int64_t taken, int64_t deviceFrames) {
    publish(true, first, taken + deviceFrames);
}

void fakeWaveOutBufferDone(int64_t playingFrom, int64_t queued) {
    publish(true, playingFrom, queued);
}

int64_t audioNowNanoseconds() {
    return fakeAudio.nowNs;
}

bool audioInit() {
    fakeAudio.initialised = fakeAudio.initResult;
    return fakeAudio.initResult;
}

void audioFree() {
    fakeAudio.initialised = false;
    fakeAudio.live = 0;
}

AudioStream audioStreamCreate(const uint8_t* data, uint32_t size) {
    if (!fakeAudio.initialised || fakeAudio.live != 0 || data == nullptr || size == 0 ||
        !fakeAudio.createResult) {
        note("create:failed");
        return 0;
    }
    fakeAudio.live = ++fakeAudio.lastHandle;
    stand(0);
    note("create:" + std::to_string(fakeAudio.live));
    return fakeAudio.live;
}

void audioStreamFree(AudioStream stream) {
    note("free:" + std::to_string(stream));
    if (known(stream)) fakeAudio.live = 0;
}

void audioPlay(AudioStream stream, bool restart) {
    note("play:" + std::to_string(stream) + (restart ? ":restart" : ""));
    if (known(stream)) stand(restart ? 0 : fakeAudio.playback.frames);
}

void audioPause(AudioStream stream) {
    note("pause:" + std::to_string(stream));
    if (known(stream)) stand(fakeAudio.playback.heardAt(fakeAudio.nowNs));
}

bool audioReadPlayback(AudioStream stream, AudioPlayback& playback) {
    if (!known(stream)) return false;
    playback = fakeAudio.playback;
    return true;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    note("set:" + std::to_string(stream) + ":" + std::to_string(frames));
    if (known(stream)) stand(static_cast<int64_t>(frames));
}

// The real back ends' conversions, so the clock is tested with their rounding.
float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    return known(stream) ? secondsOfFrames(frames, kFakeRate) : 0.0f;
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    return known(stream) ? framesOfSeconds(seconds, kFakeRate, fakeAudio.playback.lengthFrames) : 0;
}
