// MusicClock and the audio module operations, written once against the audio back-end
// seam (audio_backend.h) and the timer (timer.h); no platform header here.
#include "media/music_clock.h"

#include <cmath>

#include "gfx/resource_blob.h"
#include "media/audio_backend.h"
#include "media/timer.h"

namespace {

// The smoother closes a share of its gap to the sound that grows with the time since the
// last call (kSlewSeconds to close it all) but moves at most kSlewLimit of that time faster
// or slower than the wall clock: the callbacks' jitter is averaged away, not passed on.
constexpr double kSlewLimit = 0.05;
constexpr double kSlewSeconds = 0.2;
// Further than this ahead, the sound has skipped (a stall of the clock's caller, a jump of
// the output): jump to it. Further behind, the output has stalled: wait for it.
constexpr double kSnapSeconds = 0.25;
// After a play or a seek the position waits for the first buffer of the new sound, but no
// longer than this, in case the output never asks. Starting can be slow: PulseAudio's null
// sink has taken up to 2 s to ask for its second buffer.
constexpr int64_t kHoldLimitNs = 2'500'000'000;

// Seconds to whole milliseconds, truncated toward zero, as a timer offset modulo 2^32 (a
// negative time wraps to an offset ahead of the counter). Non-finite input gives 0, and
// out-of-range input saturates first, since converting it would be undefined.
uint32_t timerOffsetOf(double seconds) {
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms)) return 0;
    constexpr double kLimit = 9.0e18;
    const int64_t whole = static_cast<int64_t>(ms < -kLimit ? -kLimit : ms > kLimit ? kLimit : ms);
    return static_cast<uint32_t>(whole);
}

// Timer differences are unsigned 32-bit, so a wrap of the counter is harmless.
double secondsSince(uint32_t now, uint32_t then) {
    return static_cast<double>(static_cast<uint32_t>(now - then)) * 0.001;
}

// Pauses the stream, or resumes it exactly at the demo time, which seeks may have moved.
void stopOrResume(AudioStream stream, bool stop, float demoTime) {
    if (stop) {
        audioPause(stream);
        return;
    }
    audioSetPosition(stream, audioSecondsToPosition(stream, demoTime));
    audioPlay(stream, false);
}

} // namespace

bool startAudio() {
    return audioInit();
}

void stopAudio() {
    audioFree();
}

double PositionSmoother::next(const AudioPlayback& facts, int64_t now) {
    const double rate = facts.framesPerSecond;
    if (!known || facts.epoch != epoch) {
        // A new epoch starts exactly where the back end says.
        known = true;
        epoch = facts.epoch;
        holding = !facts.sounding;
        holdStarted = now;
        frames = static_cast<double>(facts.heardAt(now));
        nanoseconds = now;
        return frames;
    }
    const double elapsed =
        now > nanoseconds ? static_cast<double>(now - nanoseconds) * rate * 1e-9 : 0.0;
    double position = frames + elapsed;
    if (!facts.sounding) {
        if (holding && now - holdStarted < kHoldLimitNs) position = frames;
    } else {
        const double sound = static_cast<double>(facts.heardAt(now));
        const double ceiling = static_cast<double>(facts.frames + facts.latencyFrames);
        const double error = sound - position;
        if (holding) {
            position = sound;
        } else if (error > kSnapSeconds * rate) {
            position = sound;
        } else if (error < -kSnapSeconds * rate) {
            position = frames;
        } else {
            const double share = elapsed / (kSlewSeconds * rate);
            const double limit = kSlewLimit * elapsed;
            double step = error * (share < 1.0 ? share : 1.0);
            step = step < -limit ? -limit : step > limit ? limit : step;
            position += step;
        }
        holding = false;
        position = position < ceiling ? position : ceiling;
        position = position > frames ? position : frames;
    }
    const auto length = static_cast<double>(facts.lengthFrames);
    position = position < length ? position : length;
    frames = position;
    nanoseconds = now;
    return position;
}

bool MusicClock::start(const ResourceBlob& blob) {
    if (stream != 0) audioStreamFree(stream);
    stream = 0;
    frameDelta = 0.001f;
    demoTime = 0.0f;
    stream = audioStreamCreate(blob.data, blob.size);
    if (stream == 0) return false;
    if (!paused && !muted) audioPlay(stream, true);
    const uint32_t now = timerMilliseconds();
    timerOrigin = now;
    lastUpdateStamp = now;
    return true;
}

void MusicClock::startSilent() {
    if (stream != 0) audioStreamFree(stream);
    stream = 0;
    muted = true;
    frameDelta = 0.001f;
    demoTime = 0.0f;
    const uint32_t now = timerMilliseconds();
    timerOrigin = now;
    lastUpdateStamp = now;
}

void MusicClock::update() {
    const uint32_t now = timerMilliseconds();
    const double delta = secondsSince(now, lastUpdateStamp);
    frameDelta = delta < 0.001 ? 0.001f : static_cast<float>(delta);
    lastUpdateStamp = now;
    if (paused) return;
    if (muted || stream == 0) {
        demoTime = static_cast<float>(secondsSince(now, timerOrigin));
    } else {
        AudioPlayback facts;
        if (audioReadPlayback(stream, facts)) {
            const double frames = smoother.next(facts, audioNowNanoseconds());
            demoTime = audioPositionToSeconds(stream, static_cast<uint64_t>(frames));
        }
    }
}

void MusicClock::setPaused(bool p) {
    if (!p && paused) timerOrigin = timerMilliseconds() - timerOffsetOf(demoTime);
    if (p != paused && !muted && stream != 0) stopOrResume(stream, p, demoTime);
    paused = p;
}

void MusicClock::setMuted(bool m) {
    if (m != muted && !paused && stream != 0) stopOrResume(stream, m, demoTime);
    // The timer origin stays: it still matches the stream if the stream played on since.
    muted = m;
}

void MusicClock::seek(float seconds) {
    demoTime = seconds;
    timerOrigin = timerMilliseconds() - timerOffsetOf(seconds);
    if (!paused && !muted && stream != 0) {
        audioSetPosition(stream, audioSecondsToPosition(stream, seconds));
    }
}

void MusicClock::release() {
    if (stream != 0) audioStreamFree(stream);
    stream = 0;
    frameDelta = 0.001f;
    demoTime = 0.0f;
}
