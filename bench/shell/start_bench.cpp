// How soon the demo is on the screen: the time from exec to the first frame's bytes on a
// pseudo-terminal that answers the start-up questions at once, as a terminal does, and the
// time `kaveo --version` takes from exec to exit. Beside them the same measures of a program
// that does nothing (printf writing the same markers): the cost of exec itself here.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every frame that repaints starts by clearing the screen; the first one is the first frame.
constexpr const char* kFrameStart = "\x1b[2J";
constexpr const char* kAskDa1 = "\x1b[c";

[[noreturn]] void execute(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    setenv("TERM", "xterm-256color", 1);
    execv(argv[0], argv.data());
    _exit(127);
}

// Seconds from fork to the first frame's start on the terminal; DA1 is answered as it comes.
double untilFirstFrame(const std::vector<std::string>& arguments) {
    int master = -1;
    winsize size{50, 160, 0, 0};
    const Clock::time_point start = Clock::now();
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) std::abort();
    if (child == 0) execute(arguments);
    std::string output;
    bool answered = false;
    double seconds = -1;
    char buffer[65536];
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 2000) <= 0) break;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<size_t>(n));
        if (!answered && output.find(kAskDa1) != std::string::npos)
            answered = write(master, "\x1b[?62;22c", 9) == 9;
        if (output.find(kFrameStart) != std::string::npos) {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
    }
    kill(child, SIGTERM);
    // Drained until the program is gone, so its leaving never blocks on a full terminal.
    while (read(master, buffer, sizeof buffer) > 0) {
    }
    waitpid(child, nullptr, 0);
    close(master);
    return seconds;
}

double untilExit(const std::vector<std::string>& arguments) {
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) std::abort();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execute(arguments);
    }
    waitpid(child, nullptr, 0);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void firstFrame(benchmark::State& state, std::vector<std::string> arguments) {
    for (auto _ : state) {
        const double seconds = untilFirstFrame(arguments);
        if (seconds < 0) {
            state.SkipWithError("no frame came");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void exitTime(benchmark::State& state, std::vector<std::string> arguments) {
    for (auto _ : state) state.SetIterationTime(untilExit(arguments));
}

#define KAVEO_START_BENCH(function, name, ...)                                                     \
    BENCHMARK_CAPTURE(function, name, std::vector<std::string>{__VA_ARGS__})                       \
        ->UseManualTime()                                                                          \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(10)                                                                           \
        ->Repetitions(3)

KAVEO_START_BENCH(firstFrame, kaveo_silent, KAVEO_PROGRAM, "--silent");
KAVEO_START_BENCH(firstFrame, kaveo_with_sound, KAVEO_PROGRAM);
KAVEO_START_BENCH(firstFrame, exec_alone, "/usr/bin/printf", "\x1b[c\x1b[2J");
KAVEO_START_BENCH(exitTime, kaveo_version, KAVEO_PROGRAM, "--version");
KAVEO_START_BENCH(exitTime, exec_alone, "/bin/true");

} // namespace
