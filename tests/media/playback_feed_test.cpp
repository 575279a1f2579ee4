// The sound ring and the device's feed: wrap-around, underruns that play silence and are
// counted, flushes on a seek, the fade-out on a stop, the facts published for bursty
// requests; and one producer and one consumer thread at once (run under ThreadSanitizer).
#include <cstdint>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "media/playback_feed.h"
#include "media/sample_ring.h"

namespace {

// Frame i of a test signal: both channels carry i (mod 2^15), so order and loss show.
int16_t signal(uint64_t i) {
    return static_cast<int16_t>(i % 32768u);
}

// Producer side: commits `frames` frames of the signal from `from`; returns the next.
uint64_t produce(SampleRing& ring, uint64_t from, uint32_t frames) {
    while (frames > 0) {
        uint32_t room = 0;
        int16_t* span = ring.writeSpan(room);
        if (room == 0) break;
        const uint32_t n = room < frames ? room : frames;
        for (uint32_t i = 0; i < n; ++i) span[2 * i] = span[2 * i + 1] = signal(from + i);
        ring.commit(n);
        from += n;
        frames -= n;
    }
    return from;
}

TEST(SampleRing, WrapsAroundAndRefusesToOverfill) {
    SampleRing ring;
    ASSERT_TRUE(ring.allocate(100)); // rounded up to 128
    EXPECT_EQ(ring.capacity, 128u);
    std::vector<int16_t> out(2 * 128);
    uint64_t next = 0;
    uint64_t expected = 0;
    // Steps of 50 in and out cross the end of the storage many times.
    for (int round = 0; round < 20; ++round) {
        next = produce(ring, next, 90);
        ASSERT_LE(ring.available(), 128u);
        const uint32_t got = ring.take(out.data(), 50);
        ASSERT_EQ(got, 50u);
        for (uint32_t i = 0; i < got; ++i) {
            ASSERT_EQ(out[2 * i], signal(expected + i)) << "round " << round;
            ASSERT_EQ(out[2 * i + 1], signal(expected + i));
        }
        expected += got;
    }
    EXPECT_EQ(ring.available(), next - expected);
    uint32_t room = 0;
    ring.writeSpan(room);
    EXPECT_EQ(room + ring.available() <= 128u, true);
    ring.flush();
    EXPECT_EQ(ring.available(), 0u);
    EXPECT_EQ(ring.take(out.data(), 10), 0u);
}

struct FeedTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(feed.ring.allocate(4096));
        feed.length = 100000;
        feed.deviceLatencyFrames = 512;
        feed.begin(1000, true, 0);
    }
    AudioPlayback facts() {
        AudioPlayback p;
        EXPECT_TRUE(feed.snapshot.read(p));
        return p;
    }
    PlaybackFeed feed;
    std::vector<int16_t> out = std::vector<int16_t>(2 * 1024, 77);
};

TEST_F(FeedTest, UnderrunPlaysSilenceCountsAndHoldsThePosition) {
    produce(feed.ring, 0, 300);
    feed.fill(out.data(), 512, 1'000'000);
    EXPECT_EQ(out[2 * 299], signal(299));
    EXPECT_EQ(out[2 * 300], 0);
    EXPECT_EQ(out[2 * 511 + 1], 0);
    AudioPlayback p = facts();
    EXPECT_EQ(p.underruns, 1u);
    EXPECT_TRUE(p.sounding);
    EXPECT_EQ(p.frames, 1000); // the buffer's first frame
    EXPECT_EQ(p.latencyFrames, 300 + 512);
    // Dry altogether: silence, one more underrun, and the position stays at 1300.
    feed.fill(out.data(), 512, 12'000'000);
    p = facts();
    EXPECT_EQ(p.underruns, 2u);
    EXPECT_EQ(p.frames + p.latencyFrames - 512, 1300);
    EXPECT_EQ(out[0], 0);
    // At the end of the stream silence is no underrun.
    feed.end.store(1300);
    feed.fill(out.data(), 512, 24'000'000);
    EXPECT_EQ(facts().underruns, 2u);
}

TEST_F(FeedTest, SeekFlushesTheRingAndStandsAtTheNewPosition) {
    produce(feed.ring, 0, 2000);
    feed.fill(out.data(), 256, 1'000'000);
    const uint32_t before = facts().epoch;
    feed.begin(50000, true, 2'000'000);
    AudioPlayback p = facts();
    EXPECT_EQ(feed.ring.available(), 0u);
    EXPECT_EQ(p.epoch, before + 1);
    EXPECT_FALSE(p.sounding);
    EXPECT_EQ(p.frames, 50000);
    produce(feed.ring, 7000, 256); // the new sound
    feed.fill(out.data(), 256, 3'000'000);
    EXPECT_EQ(out[0], signal(7000));
    p = facts();
    EXPECT_TRUE(p.sounding);
    EXPECT_EQ(p.frames, 50000);
}

TEST_F(FeedTest, StopFadesOutOverTwentyMillisecondsThenSilence) {
    // A loud constant signal, so the fade's shape shows.
    uint32_t room = 0;
    int16_t* span = feed.ring.writeSpan(room);
    for (uint32_t i = 0; i < 2000; ++i) span[2 * i] = span[2 * i + 1] = 20000;
    feed.ring.commit(2000);
    feed.fill(out.data(), 100, 1'000'000);
    feed.fadeOut(1100, 2'000'000);
    EXPECT_FALSE(feed.silent.load());
    feed.fill(out.data(), 1024, 3'000'000);
    // 882 frames (20 ms at 44.1 kHz) falling from full to zero, never rising, then silence.
    EXPECT_GT(out[0], 19900);
    EXPECT_NEAR(out[2 * 441], 10000, 50);
    for (uint32_t i = 1; i < 1024; ++i) ASSERT_LE(out[2 * i], out[2 * (i - 1)]) << i;
    EXPECT_EQ(out[2 * 881], 0);
    EXPECT_EQ(out[2 * 1023], 0);
    EXPECT_TRUE(feed.silent.load());
    const AudioPlayback p = facts();
    EXPECT_FALSE(p.sounding);
    EXPECT_EQ(p.frames, 1100);
}

TEST_F(FeedTest, TwoBuffersAskedAtOnceAreHeardOneAfterTheOther) {
    produce(feed.ring, 0, 4000);
    feed.fill(out.data(), 1024, 1'000'000'000);
    feed.fill(out.data(), 1024, 1'000'000'000); // the same instant: it plays after the first
    AudioPlayback p = facts();
    EXPECT_EQ(p.frames, 1000);              // still the first buffer's start
    EXPECT_EQ(p.latencyFrames, 2048 + 512); // both buffers, and the device's own
    // 10 ms later (441 frames): a buffer asked early still starts where the sound is.
    feed.fill(out.data(), 1024, 1'010'000'000);
    p = facts();
    EXPECT_EQ(p.frames, 1441);
    EXPECT_EQ(p.latencyFrames, 3072 - 441 + 512);
}

// waveOut: a buffer filled behind five queued ones starts once they have played.
TEST_F(FeedTest, SoundQueuedAheadPutsTheBufferLater) {
    produce(feed.ring, 0, 4000);
    feed.fill(out.data(), 1024, 5'000'000, 5 * 1024);
    const AudioPlayback p = facts();
    EXPECT_EQ(p.frames, 1000 - 5 * 1024);
    EXPECT_EQ(p.latencyFrames, 5 * 1024 + 1024 + 512);
}

// One decoding thread and one device thread at full speed: every frame arrives once, in
// order. Under ThreadSanitizer this also checks that the ring's ordering is enough.
TEST(SampleRing, ProducerAndConsumerThreadsAgree) {
    SampleRing ring;
    ASSERT_TRUE(ring.allocate(1024));
    constexpr uint64_t kTotal = 400000;
    std::thread producer([&ring] {
        uint64_t next = 0;
        while (next < kTotal) {
            const uint64_t before = next;
            next =
                produce(ring, next, static_cast<uint32_t>(std::min<uint64_t>(300, kTotal - next)));
            if (next == before) std::this_thread::yield();
        }
    });
    std::vector<int16_t> out(2 * 256);
    uint64_t expected = 0;
    bool inOrder = true;
    while (expected < kTotal) {
        const uint32_t got = ring.take(out.data(), 256);
        for (uint32_t i = 0; i < got; ++i) {
            if (out[2 * i] != signal(expected + i) || out[2 * i + 1] != signal(expected + i))
                inOrder = false;
        }
        expected += got;
        if (got == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.available(), 0u);
}

} // namespace
