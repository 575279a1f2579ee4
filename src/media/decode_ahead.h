// DecodeAhead: the decoding thread of the back ends that decode the MP3 themselves (SDL2 with
// libmpg123's Mp3Stream, waveOut with the ACM's Mp3Decoder), written once over the decoder.
// It keeps the feed's ring filled ahead of the device, so a busy machine may keep it from the
// processor for as long as the ring lasts (about 0.74 s) before anything is heard.
//
// Threads. The thread decodes holding `lock`, a chunk at a time, and lets go between chunks,
// so a seek waits for one chunk at most. The main thread takes `lock` and then the device's
// own lock (`device`, any lockable: SDL's device lock, the waveOut feeder's mutex) to open,
// close or move the stream, never per frame.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#include "media/playback_feed.h"

template <typename Decoder> struct DecodeAhead {
    // Decoded sound held ahead of the device: about 0.74 s.
    static constexpr uint32_t kRingFrames = 32768;
    // The thread decodes at most this much per hold of its lock, and waits for this much room.
    static constexpr uint32_t kChunkFrames = 2048;

    PlaybackFeed* feed = nullptr; // whose ring is filled, from start to stop
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    // Under `lock`.
    bool quit = false;
    bool active = false;  // a stream is open
    bool drained = false; // the decoder has given all it has since the stream last moved
    Decoder decoder;

    // Allocates the ring of `target` and starts the thread. False when the memory or the
    // thread cannot be had (a process out of either): then nothing is left started.
    bool start(PlaybackFeed& target) {
        if (!target.ring.allocate(kRingFrames)) return false;
        feed = &target;
        quit = false;
        try {
            thread = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            target.ring.release();
            feed = nullptr;
            return false;
        }
        return true;
    }

    // Joins the thread, closes the decoder and releases the ring, once the device no longer
    // takes from it. Harmless when not started.
    void stop() {
        if (thread.joinable()) {
            {
                std::lock_guard<std::mutex> held(lock);
                quit = true;
            }
            wake.notify_one();
            thread.join();
        }
        decoder.close();
        active = false;
        if (feed != nullptr) feed->ring.release();
        feed = nullptr;
    }

    // Main thread: opens the MP3 in `data` (`size` bytes, kept, not copied) and gives the
    // feed its length. False, with nothing open, when the decoder cannot read it.
    template <typename DeviceLock>
    bool open(const uint8_t* data, uint32_t size, DeviceLock& device) {
        std::lock_guard<std::mutex> held(lock);
        if (!decoder.open(data, size)) return false;
        active = true;
        drained = false;
        std::lock_guard<DeviceLock> deviceHeld(device);
        feed->length = static_cast<int64_t>(decoder.length);
        return true;
    }

    // Main thread: the stream stands at, or plays from, frame `at`. The ring is flushed and,
    // when playing, primed with `prime` frames while both other threads are held off, so the
    // first buffer after it is the new sound (priming costs 1 to 2 ms). `withDevice` runs
    // last with the device still held off.
    template <typename DeviceLock, typename WithDevice>
    void begin(int64_t at, bool play, uint32_t prime, DeviceLock& device, WithDevice&& withDevice) {
        {
            std::lock_guard<std::mutex> held(lock);
            decoder.seek(static_cast<decltype(decoder.position)>(at));
            drained = false;
            std::lock_guard<DeviceLock> deviceHeld(device);
            feed->begin(static_cast<int64_t>(decoder.position), play, audioNowNanoseconds());
            if (play) refill(prime);
            withDevice();
        }
        wake.notify_one();
    }

    // Main thread: no stream any more; the feed stands at 0 with nothing to play.
    // `withDevice` runs last with the device still held off.
    template <typename DeviceLock, typename WithDevice>
    void close(DeviceLock& device, WithDevice&& withDevice) {
        std::lock_guard<std::mutex> held(lock);
        active = false;
        {
            std::lock_guard<DeviceLock> deviceHeld(device);
            feed->begin(0, false, audioNowNanoseconds());
            feed->length = 0;
            withDevice();
        }
        decoder.close();
    }

  private:
    // `lock` held: decodes up to `most` frames into the ring's free space; returns how many.
    uint32_t refill(uint32_t most) {
        if (!active || drained) return 0;
        return feed->refill(
            [this](int16_t* out, uint32_t frames) {
                const uint32_t got = decoder.read(out, frames);
                if (got < frames) {
                    // The end, or bytes that stop decoding: silence from here is not an underrun.
                    drained = true;
                    feed->end.store(static_cast<int64_t>(decoder.position));
                }
                return got;
            },
            most);
    }

    void run() {
        std::unique_lock<std::mutex> held(lock);
        while (!quit) {
            uint32_t added = 0;
            if (feed->ring.capacity - feed->ring.available() >= kChunkFrames)
                added = refill(kChunkFrames);
            if (added == 0) {
                // Full, drained or without a stream: the device takes a chunk in about 46 ms.
                wake.wait_for(held, std::chrono::milliseconds(10));
            } else {
                // Between chunks the main thread may come in for a seek.
                held.unlock();
                std::this_thread::yield();
                held.lock();
            }
        }
    }
};
