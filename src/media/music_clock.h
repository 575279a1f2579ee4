// MusicClock: the soundtrack is the demo's clock. Once per frame it derives the frame delta
// from the millisecond timer and the demo time from the stream's playback position; it also
// pauses, seeks and mutes for the controls. It reaches the sound only through the audio
// back end (audio_backend.h) and the time only through timer.h, so tests fake both.
#pragma once

#include <cstdint>

struct AudioPlayback;
struct ResourceBlob;

// Starts the audio output. False when no output opens; then nothing is started and
// stopAudio is harmless. (The fine timer period is the caller's: the silent demo needs it
// too.)
bool startAudio();
// Fades the sound out and shuts the audio output down, freeing any stream.
void stopAudio();

// The smooth playback position, once for every back end: it runs on the wall clock and is
// pulled gently towards where the back end's raw facts say the sound is, so the jitter of
// the device's buffers does not show; it never runs backwards within an epoch, never ahead
// of what the device holds, and is exact at the start of an epoch (a play, a seek).
struct PositionSmoother {
    bool known = false;      // has followed an epoch
    uint32_t epoch = 0;      // the epoch followed
    bool holding = false;    // standing at the epoch's start until its first sound
    double frames = 0.0;     // the position last given
    int64_t nanoseconds = 0; // when
    int64_t holdStarted = 0; // when the hold began

    // The position at `now` (the facts' clock), in frames.
    double next(const AudioPlayback& facts, int64_t now);
};

// All operations run on the main thread. The stream plays exactly when it exists and
// neither paused nor muted is set. Without a stream (startSilent, or after release) the
// demo time always runs on the timer, and the flags only freeze it (paused) or not.
struct MusicClock {
    uint32_t stream = 0;          // the back end's AudioStream handle, 0 for none
    bool paused = false;          // demo time frozen, stream paused
    bool muted = false;           // stream paused, demo time runs on the timer
    uint32_t lastUpdateStamp = 0; // timer milliseconds of the last update
    uint32_t timerOrigin = 0;     // timer milliseconds at which the demo time would be 0
    float frameDelta = 0.001f;    // seconds between the last two updates, never below 0.001
    float demoTime = 0.0f;        // seconds
    PositionSmoother smoother;    // the stream's position, smoothed

    // Creates the stream from the MP3 in `blob` (the blob's memory, not copied) and plays it
    // from the start unless paused or muted. Frees the previous stream first. False when
    // the stream cannot be created (then stream is 0).
    bool start(const ResourceBlob& blob);
    // Starts without sound: the demo time runs on the timer as if muted from the start.
    // Needs no startAudio; unmuting later keeps the timer, since there is no stream.
    void startSilent();
    // Once at the top of every frame: new frame delta, then the demo time (left alone while
    // paused, from the timer while muted, else from the stream position).
    void update();
    void setPaused(bool p);
    void setMuted(bool m);
    // Moves the demo time to `seconds` (any value: a negative time is passed on, and a
    // non-finite one counts as 0 for the timer); the stream follows when it plays.
    void seek(float seconds);
    // Frees the stream; harmless after stopAudio and when there is none.
    void release();
};
