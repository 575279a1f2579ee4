// A fake audio back end: one stream at a time, a position the test sets, and a log of the
// calls that change the stream.
#include <cmath>

#include "fake_media.h"
#include "media/audio_backend.h"

FakeAudio fakeAudio;

namespace {

void note(const std::string& entry) {
    if (!fakeAudio.log.empty()) fakeAudio.log += ' ';
    fakeAudio.log += entry;
}

bool known(AudioStream stream) {
    return stream != 0 && stream == fakeAudio.live;
}

} // namespace

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
    fakeAudio.position = 0;
    note("create:" + std::to_string(fakeAudio.live));
    return fakeAudio.live;
}

void audioStreamFree(AudioStream stream) {
    note("free:" + std::to_string(stream));
    if (known(stream)) fakeAudio.live = 0;
}

void audioPlay(AudioStream stream, bool restart) {
    note("play:" + std::to_string(stream) + (restart ? ":restart" : ""));
    if (known(stream) && restart) fakeAudio.position = 0;
}

void audioPause(AudioStream stream) {
    note("pause:" + std::to_string(stream));
}

uint64_t audioGetPosition(AudioStream stream) {
    return known(stream) ? fakeAudio.position : 0;
}

void audioSetPosition(AudioStream stream, uint64_t frames) {
    note("set:" + std::to_string(stream) + ":" + std::to_string(frames));
    if (known(stream)) fakeAudio.position = frames;
}

float audioPositionToSeconds(AudioStream stream, uint64_t frames) {
    return known(stream) ? static_cast<float>(static_cast<double>(frames) / kFakeRate) : 0.0f;
}

uint64_t audioSecondsToPosition(AudioStream stream, float seconds) {
    if (!known(stream) || !std::isfinite(seconds) || seconds <= 0.0f) return 0;
    return static_cast<uint64_t>(static_cast<double>(seconds) * kFakeRate);
}
