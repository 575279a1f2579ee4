// SoundClock: the web audio back end's playing position, made smooth. The browser's audio
// clock (AudioContext.currentTime less the output latency) moves in steps of whole render
// callbacks, so it cannot be the demo's clock as it is: the position runs on the page's wall
// clock and is pulled towards the audio clock gently, as the terminal program's back end
// pulls its clock towards its sound. Pure arithmetic, so the tests drive both clocks.
#pragma once

struct SoundClock {
    // The sound: while playing, the source plays stream second `startOffset` at audio clock
    // second `startAudioTime`.
    bool playing = false;
    double startOffset = 0.0;    // stream seconds
    double startAudioTime = 0.0; // audio clock seconds
    double length = 0.0;         // stream seconds; the position stops there

    // The smoothed position last reported, and when (wall clock milliseconds).
    double position = 0.0; // stream seconds
    double positionWallMs = 0.0;
    // Played or sought and not heard yet: the position holds until the sound starts, but
    // no longer than kHoldLimitMs from waitStartWallMs, in case the audio clock never runs.
    bool waitingForSound = false;
    double waitStartWallMs = 0.0;
    static constexpr double kHoldLimitMs = 2500.0;
    // Held too long: the position runs on the wall clock alone until the audio clock moves.
    bool audioStalled = false;

    // Starts the sound at stream second `offset`, heard from audio clock second
    // `audioTime` on; the position holds there until the audio clock reaches it.
    void play(double offset, double audioTime, double wallMs);
    // Stops the sound; the position stays at `offset` (where it was heard to stop).
    void stop(double offset, double wallMs);
    // The sound's own position at audio clock second `audioTime` (the offset when stopped).
    double soundAt(double audioTime) const;
    // The smoothed position at wall clock `wallMs`, given the audio clock then. Never past
    // the end, never below 0; the same arguments twice give the same result.
    double update(double audioTime, double wallMs);
};
