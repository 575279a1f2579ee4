// The audio back end: the few calls MusicClock makes to play the soundtrack. One back end
// per platform (audio_sdl2_mpg123.cpp, audio_win32.cpp, and for the web page
// src/web/audio_web.cpp), chosen when linking; the clock's tests link a fake.
//
// Glossary. A sample frame is one instant of sound, one sample per channel (4 bytes of
// 16-bit stereo); positions are counts of sample frames from the first frame of the music,
// after any encoder delay. A stream is one MP3 decoded from memory while it plays, named by
// a non-zero handle; 0 means none. An epoch is one stretch of uninterrupted playing or
// standing still: every play, pause, seek and stream change begins a new one.
//
// Threads: every call is made from the main thread. The back end decodes and plays on
// threads of its own; what they played reaches the caller as AudioPlayback, published
// without a lock.
#pragma once

#include <cstdint>

using AudioStream = uint32_t;

// What the device has played, as raw facts: no smoothing (MusicClock does that, once for
// every platform). Valid for the epoch it names.
struct AudioPlayback {
    uint32_t epoch = 0;
    // False until the device has been handed the first sound of this epoch (after a play or
    // a seek, and while paused): the position then stands at `frames`.
    bool sounding = false;
    int64_t frames = 0;           // the frame being heard at `nanoseconds`
    int64_t nanoseconds = 0;      // audioNowNanoseconds() when that was true
    int64_t latencyFrames = 0;    // sound the device held beyond `frames` then: it plays no further
    int64_t lengthFrames = 0;     // of the stream
    uint32_t framesPerSecond = 0; // of the stream
    uint32_t underruns = 0;       // device buffers that found no decoded sound ready, ever

    // Where the sound is at `now` by these facts alone: on from `frames` at the stream's
    // rate, but never past what the device holds nor past the end.
    int64_t heardAt(int64_t now) const {
        if (!sounding || framesPerSecond == 0) return frames;
        const int64_t since = now > nanoseconds ? now - nanoseconds : 0;
        const auto on = static_cast<int64_t>(static_cast<double>(since) * framesPerSecond * 1e-9);
        int64_t heard = frames + (on < latencyFrames ? on : latencyFrames);
        return heard < lengthFrames ? heard : lengthFrames;
    }
};

// The clock the facts are stamped on: nanoseconds from an arbitrary origin, monotonic.
int64_t audioNowNanoseconds();

// Opens the default sound output and keeps it running. False when no output opens; then
// nothing is left open. Output is 44,100 frames per second.
bool audioInit();
// Fades any sound out (about 20 ms, played before the output closes), closes the output and
// frees every stream. Harmless when audioInit failed or never ran.
void audioFree();

// Creates a stream from the MP3 file in `data` (`size` bytes), which must stay valid and
// unchanged until the stream is freed (nothing is copied). The stream starts paused at
// position 0. Returns 0 when the output is not open, the bytes are not an MP3 the decoder
// can read, or a stream already exists (the back end holds one at a time).
AudioStream audioStreamCreate(const uint8_t* data, uint32_t size);
// Fades out and frees a stream. Harmless for 0, for an unknown handle and after audioFree.
void audioStreamFree(AudioStream stream);

// Plays from position 0 (`restart`) or from the current position.
void audioPlay(AudioStream stream, bool restart);
// Fades out over about 20 ms and stops; the position stays where the fade began.
void audioPause(AudioStream stream);

// The latest facts of `stream`. False for an unknown handle (then `playback` is untouched).
bool audioReadPlayback(AudioStream stream, AudioPlayback& playback);
// Moves the stream to `frames`, past the end to the end. A playing stream goes on from there.
void audioSetPosition(AudioStream stream, uint64_t frames);

// Converts between positions and seconds (to the nearest frame, past the end to the end,
// so a position comes back from its seconds). A negative or non-finite time gives 0; the
// stream's own rate is used, and an unknown handle gives 0.
float audioPositionToSeconds(AudioStream stream, uint64_t frames);
uint64_t audioSecondsToPosition(AudioStream stream, float seconds);
