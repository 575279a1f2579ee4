// The smoothed playing position of the web audio back end.
#include "web/sound_clock.h"

#include <cmath>

namespace {

constexpr double kSlewLimit = 0.05;  // the clock runs at most 5 % fast or slow to catch up
constexpr double kSlewSeconds = 0.2; // and closes its gap to the sound over about this long
// Further than this from the sound, the output has stalled or skipped: jump to it.
constexpr double kSnapSeconds = 0.25;
// The audio clock moves by whole render callbacks (a few milliseconds to a few tens); the
// position may run this far ahead of its last step before it waits for the next one (a
// suspended or starved context stops the audio clock).
constexpr double kAheadSeconds = 0.1;

double clampToStream(double seconds, double length) {
    return seconds < 0.0 ? 0.0 : seconds > length ? length : seconds;
}

} // namespace

void SoundClock::play(double offset, double audioTime, double wallMs) {
    playing = true;
    startOffset = offset;
    startAudioTime = audioTime;
    position = clampToStream(offset, length);
    positionWallMs = wallMs;
    waitingForSound = true;
    waitStartWallMs = wallMs;
    audioStalled = false;
}

void SoundClock::stop(double offset, double wallMs) {
    playing = false;
    startOffset = offset;
    position = clampToStream(offset, length);
    positionWallMs = wallMs;
    waitingForSound = false;
    audioStalled = false;
}

double SoundClock::soundAt(double audioTime) const {
    if (!playing) return clampToStream(startOffset, length);
    return clampToStream(startOffset + (audioTime - startAudioTime), length);
}

double SoundClock::update(double audioTime, double wallMs) {
    if (!playing) return position;
    const double elapsed = (wallMs - positionWallMs) * 0.001;
    if (!(elapsed > 0.0)) return position; // the same instant again, or a clock step back
    positionWallMs = wallMs;
    const double sound = soundAt(audioTime);
    if (waitingForSound) {
        // Held until the first sample of the new sound is heard.
        if (audioTime > startAudioTime) {
            waitingForSound = false;
            position = sound;
            return position;
        }
        if (wallMs - waitStartWallMs < kHoldLimitMs) return position;
        waitingForSound = false;
        audioStalled = true;
        return position;
    }
    if (audioStalled) {
        // The audio clock has not run since the play: the picture goes on by the wall clock,
        // and joins the sound as soon as it is heard.
        audioStalled = audioTime <= startAudioTime;
        position = clampToStream(audioStalled ? position + elapsed : sound, length);
        return position;
    }
    double next = position + elapsed;
    const double error = sound - next;
    if (std::fabs(error) > kSnapSeconds) {
        next = sound;
    } else {
        // Close a share of the gap per update, so the callbacks' steps are averaged away.
        const double share = elapsed / kSlewSeconds;
        double step = error * (share < 1.0 ? share : 1.0);
        const double limit = kSlewLimit * elapsed;
        step = step < -limit ? -limit : step > limit ? limit : step;
        next += step;
        if (next > sound + kAheadSeconds) next = sound + kAheadSeconds;
    }
    position = clampToStream(next, length);
    return position;
}
