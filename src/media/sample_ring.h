// SampleRing: decoded sound on its way from the decoding thread (the one producer) to the
// sound output (the one consumer), without a lock: each side advances only its own counter
// and reads the other's. Units: stereo 16-bit sample frames (two int16_t values each).
#pragma once

#include <atomic>
#include <cstdint>

struct SampleRing {
    int16_t* samples = nullptr; // capacity frames, interleaved left and right; owned
    uint32_t capacity = 0;      // frames, a power of two
    // Frames ever committed by the producer and ever taken by the consumer. 64 bits never
    // wrap, so written - taken is always the fill level.
    std::atomic<uint64_t> written{0};
    std::atomic<uint64_t> taken{0};

    SampleRing() = default;
    SampleRing(const SampleRing&) = delete;
    SampleRing& operator=(const SampleRing&) = delete;
    ~SampleRing() { release(); }

    // Room for at least `frames` frames (rounded up to a power of two), empty. False when the
    // memory cannot be had; the ring is then released. Not while either side runs.
    bool allocate(uint32_t frames);
    void release();

    // Producer: the free frames that lie in one piece from the write position (at most up to
    // the end of the storage), to be filled and then committed; `frames` gets their number,
    // 0 when the ring is full.
    int16_t* writeSpan(uint32_t& frames);
    void commit(uint32_t frames);

    // Consumer: frames waiting to be taken, and taking up to `frames` of them into `out`;
    // returns how many were taken (fewer when the ring runs dry).
    uint32_t available() const;
    uint32_t take(int16_t* out, uint32_t frames);

    // Empties the ring. Only while neither side runs (both are held off by the caller's
    // locks), as for a seek.
    void flush();
};
