// SampleRing: acquire on the other side's counter, release on one's own, so the frames
// written before a commit are visible to the consumer that sees the commit, and a span is
// reused only after the consumer has copied it out.
#include "media/sample_ring.h"

#include <cstring>
#include <new>

bool SampleRing::allocate(uint32_t frames) {
    release();
    uint32_t size = 1;
    while (size < frames && size < (1u << 30)) size <<= 1;
    samples = new (std::nothrow) int16_t[size * 2u]();
    if (samples == nullptr) return false;
    capacity = size;
    return true;
}

void SampleRing::release() {
    delete[] samples;
    samples = nullptr;
    capacity = 0;
    flush();
}

int16_t* SampleRing::writeSpan(uint32_t& frames) {
    const uint64_t w = written.load(std::memory_order_relaxed);
    const uint64_t t = taken.load(std::memory_order_acquire);
    const auto free = static_cast<uint32_t>(capacity - (w - t));
    const uint32_t at = static_cast<uint32_t>(w) & (capacity - 1u);
    const uint32_t toEnd = capacity - at;
    frames = free < toEnd ? free : toEnd;
    return samples == nullptr ? nullptr : samples + at * 2u;
}

void SampleRing::commit(uint32_t frames) {
    written.store(written.load(std::memory_order_relaxed) + frames, std::memory_order_release);
}

uint32_t SampleRing::available() const {
    return static_cast<uint32_t>(written.load(std::memory_order_acquire) -
                                 taken.load(std::memory_order_relaxed));
}

uint32_t SampleRing::take(int16_t* out, uint32_t frames) {
    const uint64_t t = taken.load(std::memory_order_relaxed);
    const auto ready = static_cast<uint32_t>(written.load(std::memory_order_acquire) - t);
    const uint32_t count = frames < ready ? frames : ready;
    if (count == 0) return 0;
    const uint32_t at = static_cast<uint32_t>(t) & (capacity - 1u);
    const uint32_t first = count < capacity - at ? count : capacity - at;
    std::memcpy(out, samples + at * 2u, first * 4u);
    std::memcpy(out + first * 2u, samples, (count - first) * 4u);
    taken.store(t + count, std::memory_order_release);
    return count;
}

void SampleRing::flush() {
    written.store(0, std::memory_order_relaxed);
    taken.store(0, std::memory_order_relaxed);
}
