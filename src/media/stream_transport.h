// StreamTransport: the one stream of an audio back end as the main thread sees it (its
// handle, whether it plays, where it stands) and the rules of play, pause, seek and the
// seconds <-> frames conversions, written once for every back end. Each back end keeps one
// and hands it what must happen to its sound: `begin(at, play)` starts a new epoch standing
// at, or playing from, frame `at`; `stop()` fades the playing sound out and returns the
// frame where it stopped.
#pragma once

#include <cstdint>

#include "media/audio_backend.h"

struct StreamTransport {
    AudioStream handle = 0;     // the stream that exists, 0 for none
    AudioStream lastHandle = 0; // the last one handed out, so a freed handle names nothing
    bool playing = false;
    int64_t standing = 0; // frames: where the stream stands, or where it began to play
    int64_t lengthFrames = 0;
    uint32_t framesPerSecond = 44100;

    bool owns(AudioStream stream) const { return stream != 0 && stream == handle; }
    // A stream of `length` frames, standing at 0: returns its handle, never 0 and never the
    // one before.
    AudioStream open(int64_t length);
    // No stream any more (nothing is stopped here: the back end has done that).
    void close();

    // audioPlay: from the start (`restart`) or from where the stream stands; nothing for an
    // unknown stream or a stream that plays on without a restart.
    template <typename Begin> void play(AudioStream stream, bool restart, Begin&& begin) {
        if (!owns(stream) || (playing && !restart)) return;
        if (restart) standing = 0;
        playing = true;
        begin(standing, true);
    }
    // audioPause: the sound stops where it is heard; nothing unless it plays.
    template <typename Stop> void pause(AudioStream stream, Stop&& stop) {
        if (!owns(stream) || !playing) return;
        standing = stop();
        playing = false;
    }
    // audioSetPosition: the stream moves to `frames`, past the end to the end, and plays on
    // from there if it played.
    template <typename Begin> void seek(AudioStream stream, uint64_t frames, Begin&& begin) {
        if (!owns(stream)) return;
        const auto end = static_cast<uint64_t>(lengthFrames);
        standing = static_cast<int64_t>(frames < end ? frames : end);
        begin(standing, playing);
    }

    // audioPositionToSeconds and audioSecondsToPosition; 0 for an unknown stream.
    float seconds(AudioStream stream, uint64_t frames) const;
    uint64_t frames(AudioStream stream, float seconds) const;
};

// The frame nearest to `seconds` (so that seconds converted from a frame come back to that
// very frame), clamped to [0, lengthFrames]: a negative or non-finite time gives 0.
uint64_t framesOfSeconds(float seconds, uint32_t framesPerSecond, int64_t lengthFrames);
float secondsOfFrames(uint64_t frames, uint32_t framesPerSecond);
