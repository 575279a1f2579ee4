// The music clock with its real audio back end: the cost of one update while playing, and
// how smoothly the demo time runs at 100 frames per second. Needs a sound output that plays
// in real time; bench/media/smoothness.sh provides one (a PulseAudio null sink).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <benchmark/benchmark.h>

#include "gfx/resource_blob.h"
#include "media/music_clock.h"
#include "media/timer.h"
#include "test_tone_mp3.h"

namespace {

// The built soundtrack when there is one, else a 20-second tone made here.
std::vector<uint8_t> soundtrack() {
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(KAVEO_SOUNDTRACK_PATH, "rb")) {
        uint8_t block[65536];
        size_t got = 0;
        while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
            bytes.insert(bytes.end(), block, block + got);
        }
        std::fclose(file);
    }
    if (bytes.empty()) bytes = encodeMp3(makeToneWithClick(20 * kTestRate, 10 * kTestRate));
    return bytes;
}

// startAudio, the soundtrack and a started clock; stopAudio at the end.
struct PlayingClock {
    std::vector<uint8_t> mp3 = soundtrack();
    ResourceBlob blob{mp3.data(), static_cast<uint32_t>(mp3.size())};
    MusicClock clock;
    bool audio = startAudio();
    bool ok = audio && clock.start(blob);
    ~PlayingClock() {
        if (audio) stopAudio();
        clock.release();
    }
};

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void BM_MusicClockUpdate(benchmark::State& state) {
    PlayingClock playing;
    if (!playing.ok) {
        state.SkipWithError("no audio output or no stream");
        return;
    }
    for (auto _ : state) {
        playing.clock.update();
        benchmark::DoNotOptimize(playing.clock.demoTime);
    }
}
BENCHMARK(BM_MusicClockUpdate);

// Per frame: the demo-time step minus the wall-clock step, in milliseconds.
struct StepErrors {
    double sum = 0.0;
    double sumOfSquares = 0.0;
    double largest = 0.0;
    int count = 0;
    void add(double error) {
        sum += error;
        sumOfSquares += error * error;
        largest = std::fabs(error) > largest ? std::fabs(error) : largest;
        ++count;
    }
    double deviation() const {
        const double mean = sum / count;
        return std::sqrt(sumOfSquares / count - mean * mean);
    }
};

// Runs frames for `ms` milliseconds, paced as the demo's main loop paces them. Frames less
// than 100 ms after the phase begins (a start, a seek, a resume) are left out of `errors`;
// `hold` gets the longest time the demo time stood still after the phase began.
void runFrames(MusicClock& clock, uint32_t ms, StepErrors* errors, double& hold) {
    const double begin = wallSeconds();
    const float firstTime = clock.demoTime;
    bool moved = false;
    double lastWall = 0.0;
    float lastTime = 0.0f;
    bool counted = false;
    uint32_t frameEnd = timerMilliseconds();
    while (wallSeconds() - begin < ms * 0.001) {
        const double wall = wallSeconds();
        clock.update();
        if (!moved && clock.demoTime != firstTime) {
            moved = true;
            hold = wall - begin > hold ? wall - begin : hold;
        }
        if (errors != nullptr && wall - begin >= 0.1) {
            if (counted) {
                errors->add(((clock.demoTime - lastTime) - (wall - lastWall)) * 1000.0);
            }
            counted = true;
        }
        lastWall = wall;
        lastTime = clock.demoTime;
        uint32_t wait = frameEnd + 10 - timerMilliseconds();
        if (wait > 10) wait = 0;
        sleepMilliseconds(wait);
        frameEnd = timerMilliseconds();
    }
}

// Warms the output up for 3 s (a starting output may stall; PulseAudio's null sink has
// for up to 2 s), then: seek to 5 s and play 3 s, pause for 0.5 s, resume and play 3 s,
// seek back to 1 s and play 3 s. Steps within 100 ms of each seek or resume are left out.
void BM_DemoTimeSmoothness(benchmark::State& state) {
    PlayingClock playing;
    if (!playing.ok) {
        state.SkipWithError("no audio output or no stream");
        return;
    }
    MusicClock& clock = playing.clock;
    StepErrors errors;
    double startHold = 0.0;
    double hold = 0.0;
    for (auto _ : state) {
        clock.update();
        runFrames(clock, 3000, nullptr, startHold);
        clock.seek(5.0f);
        runFrames(clock, 3000, &errors, hold);
        clock.setPaused(true);
        double ignored = 0.0;
        runFrames(clock, 500, nullptr, ignored);
        clock.setPaused(false);
        runFrames(clock, 3000, &errors, hold);
        clock.seek(1.0f);
        runFrames(clock, 3000, &errors, hold);
    }
    state.counters["frames"] = errors.count;
    state.counters["step_sigma_ms"] = errors.deviation();
    state.counters["step_max_ms"] = errors.largest;
    state.counters["hold_max_ms"] = hold * 1000.0;
    state.counters["start_hold_ms"] = startHold * 1000.0;
}
BENCHMARK(BM_DemoTimeSmoothness)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
