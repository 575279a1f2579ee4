// PlaybackFeed: the output side that the SDL2 and waveOut back ends share (the web back end
// plays through the page's WebAudio nodes instead). The device's thread takes decoded sound
// from the ring, fades it out when the sound stops, plays silence when the ring has run dry
// (an underrun, counted) and publishes what it handed over as AudioPlayback facts for the
// clock, in a snapshot read without a lock. The decoding thread (DecodeAhead) fills the ring
// (refill) under a lock of its own.
//
// Threads. fill runs on the device's thread. begin and fadeOut run on the main thread while
// the back end holds that thread off (SDL's device lock, the waveOut feeder's lock); begin
// also flushes the ring, so the decoding thread must be held off too.
#pragma once

#include <atomic>
#include <cstdint>

#include "media/audio_backend.h"
#include "media/fade.h"
#include "media/sample_ring.h"

// AudioPlayback behind a sequence lock: the writer makes the sequence odd while it writes,
// and a reader retries when it saw a write in progress. Writers must be serialised (the
// back end's lock or the device thread alone). Sequentially consistent throughout: a
// publish per device buffer and a read per frame cost nothing worth a finer ordering.
struct PlaybackSnapshot {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> epoch{0};
    std::atomic<bool> sounding{false};
    std::atomic<int64_t> frames{0};
    std::atomic<int64_t> nanoseconds{0};
    std::atomic<int64_t> latencyFrames{0};
    std::atomic<int64_t> lengthFrames{0};
    std::atomic<uint32_t> framesPerSecond{0};
    std::atomic<uint32_t> underruns{0};

    void publish(const AudioPlayback& facts);
    // False when every attempt met a write in progress (the caller keeps its older facts).
    bool read(AudioPlayback& facts) const;
};

struct PlaybackFeed {
    SampleRing ring;
    PlaybackSnapshot snapshot;

    // Set by the main thread only while the device thread is held off.
    uint32_t epoch = 0;
    bool playing = false;
    uint32_t fadeLeft = 0; // frames of fade-out still to play
    int64_t position = 0;  // stream frame of the next frame the ring gives
    int64_t length = 0;    // frames of the stream
    uint32_t framesPerSecond = 44100;
    int64_t deviceLatencyFrames = 0; // what the device may hold beyond the buffer just filled
    // False where the output is not paced in real time (SDL's dummy and disk drivers): the
    // main thread then publishes a position that runs on the wall clock, and fill publishes
    // nothing.
    bool paced = true;

    // Producer: where the decoder stopped, the length unless the stream is broken; silence
    // from there on is the end, not an underrun.
    std::atomic<int64_t> end{0};
    // Device thread: true while no sound goes out (not playing and no fade left to play).
    std::atomic<bool> silent{true};

    // Device thread: fills `frames` stereo frames of `out` (interleaved) at time `now`
    // (audioNowNanoseconds) and returns the frames of sound among them. `queuedAhead` is the
    // sound of this epoch that the device still plays before this buffer, where the back end
    // knows it (waveOut's queue); -1 where it does not (SDL: the buffer plays next, unless
    // the device asks faster than it plays). Allocates nothing, takes no lock.
    uint32_t fill(int16_t* out, uint32_t frames, int64_t now, int64_t queuedAhead = -1);

    // Main thread, device thread and producer held off: empties the ring and begins a new
    // epoch standing at `at`, playing from there when `play`.
    void begin(int64_t at, bool play, int64_t now);
    // Main thread, device thread held off: begins a new epoch standing at `at` (where the
    // sound is now) while the device plays a short fade of what follows, then silence.
    void fadeOut(int64_t at, int64_t now);

    // Main thread: the latest facts published (those read before, when every attempt meets
    // a write in progress).
    const AudioPlayback& latest() {
        snapshot.read(lastRead);
        return lastRead;
    }

    // Producer: decodes into the ring's free space with `decode(int16_t* out, uint32_t
    // frames)`, which returns the frames it wrote (fewer only at the end of the stream, where
    // it stores `end`), at most `most` frames in all. Returns the frames added.
    template <typename Decode> uint32_t refill(Decode&& decode, uint32_t most) {
        uint32_t added = 0;
        while (added < most) {
            uint32_t room = 0;
            int16_t* span = ring.writeSpan(room);
            if (room == 0) break;
            const uint32_t want = room < most - added ? room : most - added;
            const uint32_t got = decode(span, want);
            ring.commit(got);
            added += got;
            if (got < want) break;
        }
        return added;
    }

  private:
    AudioPlayback last;     // device thread's copy of what it last published
    AudioPlayback lastRead; // main thread's copy of what it last read
    void publishStanding(int64_t at, int64_t now);
};
