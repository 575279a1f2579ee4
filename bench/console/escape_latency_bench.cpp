// How long Escape takes on a slow terminal: the demo plays into a pseudo-terminal that is read
// at a fixed rate (30 and 100 KB/s, as over a slow link), then Escape is typed. Counters, in
// milliseconds (mean and worst of the iterations): from Escape to the program's exit, and from
// the exit to the terminal restored (the last byte of the leave sequence read).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "console/console_screen.h"
#include "demo/demo_content.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPlayMs = 4000; // the demo plays this long before Escape
// The pop of the title stack: the leave sequence's last step, and nowhere else.
constexpr const char* kLeaveEnd = "\x1b[23;0t";

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The demo as the shell plays it, without sound: a frame at most every 10 ms, until Escape.
[[noreturn]] void playUntilEscape() {
    auto content = std::make_unique<DemoContent>();
    ConsoleScreen screen;
    screen.colorMode = ColorMode::TrueColor;
    if (!screen.open("kaveo", 80, 50) || !content->load()) _exit(10);
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    for (;;) {
        InputRecord event{};
        while (screen.pollInput(event)) {
            if (event.eventType == kKeyEvent && event.key.virtualKeyCode == kVkEscape) {
                screen.close();
                _exit(0);
            }
        }
        const Clock::time_point now = Clock::now();
        const float t = static_cast<float>(millisecondsBetween(start, now) / 1000.0);
        const float dt = static_cast<float>(std::max(millisecondsBetween(last, now), 1.0) / 1000);
        last = now;
        content->runScenes(screen, t, dt);
        screen.present();
        std::this_thread::sleep_until(now + std::chrono::milliseconds(10));
    }
}

struct Latency {
    double escapeToExit = 0;
    double exitToRestored = 0;
};

// Plays into a terminal read at `bytesPerSecond`, types Escape after kPlayMs.
Latency playAndEscape(double bytesPerSecond) {
    int master = -1;
    winsize size{50, 160, 0, 0};
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) std::abort();
    if (child == 0) playUntilEscape();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::string output;
    bool answered = false;
    Clock::time_point escape{};
    Clock::time_point exited{};
    bool escapeSent = false;
    bool hasExited = false;
    const Clock::time_point start = Clock::now();
    Clock::time_point tick = start;
    double allowance = 0; // bytes the slow link may carry now; a link does not save up
    char buffer[4096];
    for (;;) {
        const Clock::time_point now = Clock::now();
        allowance = std::min(allowance + bytesPerSecond * millisecondsBetween(tick, now) / 1000,
                             bytesPerSecond * 0.005);
        tick = now;
        if (allowance >= 1) {
            const size_t want = std::min(sizeof buffer, static_cast<size_t>(allowance));
            const ssize_t n = read(master, buffer, want);
            if (n > 0) {
                output.append(buffer, static_cast<size_t>(n));
                allowance -= static_cast<double>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break; // the pty is gone with everything read
            }
        }
        // A terminal answers DA1, and only that here: the round ends at once.
        if (!answered && output.find("\x1b[c") != std::string::npos) {
            answered = write(master, "\x1b[?1;2c", 7) == 7;
        }
        if (!escapeSent && millisecondsBetween(start, now) >= kPlayMs) {
            escapeSent = write(master, "\x1b", 1) == 1;
            escape = Clock::now();
        }
        int status = 0;
        if (!hasExited && waitpid(child, &status, WNOHANG) == child) {
            hasExited = true;
            exited = Clock::now();
        }
        if (hasExited && output.find(kLeaveEnd) != std::string::npos) break;
        if (millisecondsBetween(start, now) > kPlayMs + 20000) break; // stuck: reported as such
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const Clock::time_point restored = Clock::now();
    if (!hasExited) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        exited = restored;
    }
    close(master);
    return Latency{millisecondsBetween(escape, exited), millisecondsBetween(exited, restored)};
}

void escapeLatency(benchmark::State& state) {
    const double bytesPerSecond = static_cast<double>(state.range(0)) * 1000;
    Latency sum;
    Latency worst;
    for (auto _ : state) {
        const Latency l = playAndEscape(bytesPerSecond);
        state.SetIterationTime((l.escapeToExit + l.exitToRestored) / 1000);
        sum.escapeToExit += l.escapeToExit;
        sum.exitToRestored += l.exitToRestored;
        worst.escapeToExit = std::max(worst.escapeToExit, l.escapeToExit);
        worst.exitToRestored = std::max(worst.exitToRestored, l.exitToRestored);
    }
    const double count = static_cast<double>(state.iterations());
    state.counters["escape_to_exit_ms"] = sum.escapeToExit / count;
    state.counters["escape_to_exit_worst_ms"] = worst.escapeToExit;
    state.counters["exit_to_restored_ms"] = sum.exitToRestored / count;
    state.counters["exit_to_restored_worst_ms"] = worst.exitToRestored;
}

// The argument is the terminal's reading rate in KB/s.
BENCHMARK(escapeLatency)
    ->Arg(30)
    ->Arg(100)
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
