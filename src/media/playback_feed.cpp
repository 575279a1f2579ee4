// PlaybackFeed: the device thread's half of playback, shared by the audio back ends.
#include "media/playback_feed.h"

#include <cstring>

void PlaybackSnapshot::publish(const AudioPlayback& facts) {
    const uint32_t s = sequence.load();
    sequence.store(s + 1);
    epoch.store(facts.epoch);
    sounding.store(facts.sounding);
    frames.store(facts.frames);
    nanoseconds.store(facts.nanoseconds);
    latencyFrames.store(facts.latencyFrames);
    lengthFrames.store(facts.lengthFrames);
    framesPerSecond.store(facts.framesPerSecond);
    underruns.store(facts.underruns);
    sequence.store(s + 2);
}

bool PlaybackSnapshot::read(AudioPlayback& facts) const {
    for (int attempt = 0; attempt < 64; ++attempt) {
        const uint32_t before = sequence.load();
        if (before & 1u) continue;
        AudioPlayback copy;
        copy.epoch = epoch.load();
        copy.sounding = sounding.load();
        copy.frames = frames.load();
        copy.nanoseconds = nanoseconds.load();
        copy.latencyFrames = latencyFrames.load();
        copy.lengthFrames = lengthFrames.load();
        copy.framesPerSecond = framesPerSecond.load();
        copy.underruns = underruns.load();
        if (sequence.load() == before) {
            facts = copy;
            return true;
        }
    }
    return false;
}

uint32_t PlaybackFeed::fill(int16_t* out, uint32_t frames, int64_t now, int64_t queuedAhead) {
    uint32_t got = 0;
    if (playing) {
        got = ring.take(out, frames);
        const int64_t first = position;
        position += got;
        const bool dry = got < frames && position < end.load();
        if (dry) ++last.underruns;
        if (paced && (got > 0 || dry)) {
            if (got > 0) {
                // The buffer starts to play about now, or, when the device asks for buffers
                // faster than it plays them (two at once), once what it was handed before
                // has played: where that sound has got to is known from the last facts.
                int64_t heard = first;
                if (queuedAhead >= 0) {
                    heard = first - queuedAhead;
                } else if (last.sounding && last.epoch == epoch && last.frames < first) {
                    const int64_t since = now > last.nanoseconds ? now - last.nanoseconds : 0;
                    const auto on =
                        static_cast<int64_t>(static_cast<double>(since) * framesPerSecond * 1e-9);
                    heard = last.frames + on < first ? last.frames + on : first;
                }
                // Nothing plays past this buffer's end but what the device may hold of its
                // own (deviceLatencyFrames), when it asked early.
                last.epoch = epoch;
                last.sounding = true;
                last.frames = heard;
                last.nanoseconds = now;
                last.latencyFrames = first - heard + got + deviceLatencyFrames;
                last.lengthFrames = length;
                last.framesPerSecond = framesPerSecond;
            }
            snapshot.publish(last);
        }
    } else if (fadeLeft > 0) {
        const uint32_t want = frames < fadeLeft ? frames : fadeLeft;
        got = ring.take(out, want);
        applyEndFade(out, got, 0, fadeLeft);
        // A ring that ran dry ends the fade early: there is nothing more to fade.
        fadeLeft = got < want ? 0 : fadeLeft - want;
    }
    std::memset(out + got * 2u, 0, (frames - got) * 4u);
    silent.store(!playing && fadeLeft == 0);
    return got;
}

void PlaybackFeed::publishStanding(int64_t at, int64_t now) {
    last.epoch = epoch;
    last.sounding = false;
    last.frames = at;
    last.nanoseconds = now;
    last.latencyFrames = 0;
    last.lengthFrames = length;
    last.framesPerSecond = framesPerSecond;
    if (playing && !paced) {
        // Nothing tells when the output plays: the wall clock does, from here to the end.
        last.sounding = true;
        last.latencyFrames = length;
    }
    snapshot.publish(last);
}

void PlaybackFeed::begin(int64_t at, bool play, int64_t now) {
    ring.flush();
    ++epoch;
    position = at;
    playing = play;
    fadeLeft = 0;
    end.store(length);
    silent.store(!play);
    publishStanding(at, now);
}

void PlaybackFeed::fadeOut(int64_t at, int64_t now) {
    ++epoch;
    if (playing) fadeLeft = kFadeFrames;
    playing = false;
    publishStanding(at, now);
}
