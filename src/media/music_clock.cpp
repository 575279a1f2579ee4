// MusicClock and the audio module operations, written once against the audio back-end
// seam (audio_backend.h) and the timer (timer.h); no platform header here.
#include "media/music_clock.h"

#include <cmath>

#include "gfx/resource_blob.h"
#include "media/audio_backend.h"
#include "media/timer.h"

namespace {

// The period handed to timerBeginFinePeriod, so stopAudio can hand the same one back.
// Module state of the audio operations; the fine period is only ended if it was begun.
struct AudioModule {
    uint32_t timerPeriod = 1;
    bool fineTimerActive = false;
};
AudioModule audioModule;

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

} // namespace

bool startAudio() {
    if (!audioInit()) return false;
    audioModule.timerPeriod = timerBeginFinePeriod();
    audioModule.fineTimerActive = true;
    return true;
}

void stopAudio() {
    audioFree();
    if (audioModule.fineTimerActive) timerEndFinePeriod(audioModule.timerPeriod);
    audioModule.fineTimerActive = false;
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
        demoTime = audioPositionToSeconds(stream, audioGetPosition(stream));
    }
}

void MusicClock::setPaused(bool p) {
    if (!p && paused) timerOrigin = timerMilliseconds() - timerOffsetOf(demoTime);
    if (p != paused && !muted && stream != 0) {
        if (p) {
            audioPause(stream);
        } else {
            // The stream resumes exactly at the demo time, which seeks may have moved.
            audioSetPosition(stream, audioSecondsToPosition(stream, demoTime));
            audioPlay(stream, false);
        }
    }
    paused = p;
}

void MusicClock::setMuted(bool m) {
    if (m != muted && !paused && stream != 0) {
        if (m) {
            audioPause(stream);
        } else {
            audioSetPosition(stream, audioSecondsToPosition(stream, demoTime));
            audioPlay(stream, false);
        }
    }
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
