// Fakes of the audio back end and the timer for MusicClock's tests: the test sets the time
// and the stream's playback facts, and reads back what the clock asked of the stream.
#pragma once

#include <cstdint>
#include <string>

#include "media/audio_backend.h"

struct FakeAudio {
    bool initResult = true;   // what audioInit answers
    bool createResult = true; // whether audioStreamCreate succeeds
    bool initialised = false;
    uint32_t lastHandle = 0;
    uint32_t live = 0;      // the stream that exists, 0 for none
    int64_t length = 0;     // frames of every stream (0: very long)
    int64_t nowNs = 0;      // what audioNowNanoseconds answers
    AudioPlayback playback; // what audioReadPlayback answers for the live stream
    // Every call that changes a stream, in order: "create:1 play:1:restart pause:1
    // set:1:551250 play:1 free:1". Queries are not logged.
    std::string log;
};

struct FakeTimer {
    uint32_t now = 0;    // milliseconds
    uint32_t period = 3; // what timerBeginFinePeriod answers
    int begun = 0;
    int ended = 0;
    uint32_t endedPeriod = 0;
};

extern FakeAudio fakeAudio;
extern FakeTimer fakeTimer;

// Frames per second of the fake stream.
constexpr uint32_t kFakeRate = 44100;

// Publishers of facts as the real back ends publish them, at fakeAudio.nowNs. Each back end
// begins a new epoch standing at the position on every play, pause and seek (so does the
// fake); these publish within the current epoch.
//
// The stream stands at `frames` in a new epoch, as after a seek (the test's shortcut for
// "the stream has played up to here").
void fakeAudioStandAt(int64_t frames);
// SDL's callback: it has just handed `taken` frames from `first` to a device whose own
// buffer holds `deviceFrames`; the first of them starts to play about now.
void fakeSdlCallback(int64_t first, int64_t taken, int64_t deviceFrames);
// waveOut's feeder: a buffer has finished, the next plays from `playingFrom`, and `queued`
// frames are queued from there.
void fakeWaveOutBufferDone(int64_t playingFrom, int64_t queued);
