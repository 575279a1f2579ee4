// Fakes of the audio back end and the timer for MusicClock's tests: the test sets the
// time and the stream's position, and reads back what the clock asked of the stream.
#pragma once

#include <cstdint>
#include <string>

struct FakeAudio {
    bool initResult = true;   // what audioInit answers
    bool createResult = true; // whether audioStreamCreate succeeds
    bool initialised = false;
    uint32_t lastHandle = 0;
    uint32_t live = 0;     // the stream that exists, 0 for none
    uint64_t position = 0; // frames; the test moves it as if the sound played
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
constexpr double kFakeRate = 44100.0;
