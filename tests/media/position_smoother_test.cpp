// MusicClock's smoothing of the playback facts, against simulated outputs that publish them
// as the SDL callback and the waveOut feeder do: regular, jittery and bursty buffers, a
// stall, a shrinking queue, a seek and a pause. Playing, the demo time must step smoothly,
// never run backwards, be exact after a seek and stay within a frame (10 ms) of the sound.
#include <cmath>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

#include "fake_media.h"
#include "gfx/resource_blob.h"
#include "media/music_clock.h"

namespace {

constexpr int64_t kBuffer = 1024;           // frames per device buffer
constexpr double kFramesPerTick = 4.41;     // the sound's progress in one 0.1 ms tick
constexpr double kOneFrame = 0.010 * 44100; // a picture frame at 100 per second, in sound frames

// A sound output that plays the truth in real time and publishes facts as a back end does.
struct SimulatedOutput {
    bool waveOut = false;                   // false: SDL-like callbacks
    int64_t queued = 6 * kBuffer;           // waveOut: frames queued past the playing buffer
    std::function<int(int64_t)> delayTicks; // how late the publisher of buffer k runs
    bool bursts = false;                    // SDL: buffers requested two at a time

    double truth = 0.0; // the frame being heard
    int64_t base = 0;   // where the epoch's sound began
    int64_t next = 0;   // the next buffer (from base) to start playing
    bool running = false;
    int startTicks = 0; // ticks before the device plays the epoch's sound
    int stallTicks = 0; // ticks the device stands still, unannounced
    struct Event {
        int64_t due;
        int64_t buffer;
    };
    std::deque<Event> events;
    int64_t tick = 0;

    void restart(int64_t at, int delay) {
        truth = static_cast<double>(at);
        base = at;
        next = 0;
        running = true;
        startTicks = delay;
        events.clear();
    }
    void stop() {
        running = false;
        events.clear();
    }
    void publish(int64_t buffer) {
        const int64_t first = base + buffer * kBuffer;
        if (waveOut)
            fakeWaveOutBufferDone(first, queued);
        else
            fakeSdlCallback(first, kBuffer, kBuffer);
    }
    void step() {
        ++tick;
        fakeAudio.nowNs += 100000;
        if (fakeAudio.nowNs % 1000000 == 0) ++fakeTimer.now;
        if (running) {
            if (startTicks > 0)
                --startTicks;
            else if (stallTicks > 0)
                --stallTicks;
            else
                truth += kFramesPerTick;
            while (startTicks == 0 && truth >= static_cast<double>(base + next * kBuffer)) {
                const int64_t delay = delayTicks ? delayTicks(next) : 0;
                if (!bursts || next % 2 == 0) events.push_back({tick + delay, next});
                if (bursts && next % 2 == 0) events.push_back({tick + delay, next + 1});
                ++next;
            }
        }
        while (!events.empty() && events.front().due <= tick) {
            publish(events.front().buffer);
            events.pop_front();
        }
    }
};

// What the frames of a run looked like.
struct Record {
    double worstOff = 0.0;       // frames between demo time and the sound, after settling
    double worstStepError = 0.0; // ms between a demo-time step and the wall-clock step
    bool backwards = false;
    int frames = 0;
};

class SmootherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeAudio = FakeAudio{};
        fakeTimer = FakeTimer{};
        fakeTimer.now = 5000;
        output = SimulatedOutput{};
        clock = MusicClock{};
        ASSERT_TRUE(startAudio());
        ASSERT_TRUE(clock.start(blob));
        output.restart(0, 300); // the device starts 30 ms after the play
    }
    void TearDown() override { stopAudio(); }

    // Runs `ms` milliseconds of 10 ms frames; frames less than `settleMs` into the run only
    // have to keep the demo time from running backwards.
    Record run(int ms, int settleMs = 100) {
        Record r;
        float last = clock.demoTime;
        for (int frame = 0; frame < ms / 10; ++frame) {
            for (int t = 0; t < 100; ++t) output.step();
            clock.update();
            const double position = clock.demoTime * 44100.0;
            // A resume re-reads the time from a whole sample frame: less than one frame back.
            if (clock.demoTime < last - 1.0f / 44100.0f) r.backwards = true;
            if ((frame + 1) * 10 >= settleMs) {
                r.worstOff = std::fmax(r.worstOff, std::fabs(position - output.truth));
                const double stepError = std::fabs((clock.demoTime - last) * 1000.0 - 10.0);
                r.worstStepError = std::fmax(r.worstStepError, stepError);
                ++r.frames;
            }
            last = clock.demoTime;
        }
        return r;
    }

    const uint8_t bytes[4] = {0xFF, 0xFB, 0x90, 0x00};
    ResourceBlob blob{bytes, sizeof bytes};
    MusicClock clock;
    SimulatedOutput output;
};

TEST_F(SmootherTest, SteadyOutputsGiveSmoothTimeWithinAFrame) {
    struct Case {
        const char* name;
        bool waveOut;
        std::function<int(int64_t)> delay;
        bool bursts;
    } cases[] = {
        {"SDL, on time", false, nullptr, false},
        {"SDL, 0 to 3 ms late", false, [](int64_t k) { return static_cast<int>(k * 7 % 31); },
         false},
        {"waveOut, on time", true, nullptr, false},
        {"waveOut, 0 to 5 ms late", true, [](int64_t k) { return static_cast<int>(k * 13 % 51); },
         false},
    };
    for (const Case& c : cases) {
        SetUp();
        output.waveOut = c.waveOut;
        output.delayTicks = c.delay;
        output.bursts = c.bursts;
        const Record r = run(3000, 300);
        EXPECT_FALSE(r.backwards) << c.name;
        EXPECT_LE(r.worstOff, kOneFrame) << c.name;
        EXPECT_LE(r.worstStepError, 1.0) << c.name;
        EXPECT_GT(clock.demoTime, 2.9f) << c.name; // it did play
        TearDown();
    }
}

TEST_F(SmootherTest, HoldsAtTheStartUntilTheFirstSound) {
    output.restart(0, 500); // the first buffer plays 50 ms after the play
    const Record r = run(40, 0);
    EXPECT_EQ(clock.demoTime, 0.0f);
    EXPECT_FALSE(r.backwards);
    EXPECT_LE(run(500, 30).worstOff, kOneFrame);
}

// SDL's device starves: nothing plays and nothing is published for 80 ms.
TEST_F(SmootherTest, StallStopsTheTimeNearTheSoundAndCatchesUpWithoutGoingBack) {
    run(1000);
    const float before = clock.demoTime;
    output.stallTicks = 800;
    const Record during = run(100, 0);
    EXPECT_FALSE(during.backwards);
    // No further than what the device was last said to hold: a buffer and its own.
    EXPECT_LE(clock.demoTime * 44100.0 - output.truth, 2.0 * kBuffer + kOneFrame);
    EXPECT_LT(clock.demoTime - before, 0.07f);
    const Record after = run(1500, 1000);
    EXPECT_FALSE(after.backwards);
    EXPECT_LE(after.worstOff, kOneFrame);
}

// waveOut's feeder is kept from the processor for 80 ms while the device plays its queue.
TEST_F(SmootherTest, LateFeederLeavesTheTimeRunning) {
    output.waveOut = true;
    output.delayTicks = [](int64_t k) {
        return k >= 60 && k < 64 ? static_cast<int>(800 - (k - 60) * 232) : 0;
    };
    const Record r = run(3000, 300);
    EXPECT_FALSE(r.backwards);
    EXPECT_LE(r.worstOff, kOneFrame);
    EXPECT_LE(r.worstStepError, 1.0);
}

TEST_F(SmootherTest, ShrinkingQueueKeepsTheTimeWithinWhatIsQueued) {
    output.waveOut = true;
    run(1000);
    output.queued = kBuffer; // the feeder fell behind: one buffer left past the playing one
    const Record r = run(1000, 0);
    EXPECT_FALSE(r.backwards);
    EXPECT_LE(r.worstOff, kOneFrame);
    output.queued = 6 * kBuffer;
    EXPECT_LE(run(1000, 0).worstOff, kOneFrame);
}

TEST_F(SmootherTest, SeekIsExactThenFollowsTheNewSound) {
    run(1000);
    clock.seek(5.0f);
    output.restart(220500, 250); // the new sound is heard 25 ms later
    for (int t = 0; t < 100; ++t) output.step();
    clock.update();
    EXPECT_EQ(clock.demoTime, 5.0f); // not a frame early
    const Record r = run(2000);
    EXPECT_FALSE(r.backwards);
    EXPECT_LE(r.worstOff, kOneFrame);
    // Backwards too: a seek is the one time the demo time may go back.
    clock.seek(1.0f);
    output.restart(44100, 250);
    clock.update();
    EXPECT_EQ(clock.demoTime, 1.0f);
    EXPECT_LE(run(1000).worstOff, kOneFrame);
}

TEST_F(SmootherTest, PauseFreezesAndResumeGoesOnFromThere) {
    run(1500);
    clock.setPaused(true);
    output.stop();
    const float frozen = clock.demoTime;
    run(500, 0);
    EXPECT_EQ(clock.demoTime, frozen);
    clock.setPaused(false);
    output.restart(static_cast<int64_t>(static_cast<double>(frozen) * 44100.0), 300);
    const Record r = run(1500);
    EXPECT_FALSE(r.backwards);
    EXPECT_LE(r.worstOff, kOneFrame);
    // The sound came back 30 ms after the resume, and the time waited for it.
    EXPECT_NEAR(clock.demoTime, frozen + 1.47f, 0.011f);
}

} // namespace
