// The POSIX back end driven through a pseudo-terminal: a child process runs the console as
// the demo would while the test plays the terminal (libvterm) and the user (typed bytes,
// resizes, signals), and checks that the terminal is always put back.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "console/console_screen.h"
#include "emulated_terminal.h"

namespace {

// One message from the child: 'R' ready (picture presented), 'P' its pid, 'E' an event.
struct Report {
    char tag;
    int32_t pid;
    InputRecord event;
};

void send(int fd, char tag, const InputRecord& event = InputRecord{}) {
    Report report{tag, static_cast<int32_t>(getpid()), event};
    if (write(fd, &report, sizeof report) != sizeof report) _exit(20);
}

Cell patternCell(int x, int y) {
    return Cell{static_cast<uint16_t>(0xB0 + (x + y) % 3),
                static_cast<uint16_t>((x * 7 + y) & 0xFF)};
}

CellImage pattern() {
    CellImage image;
    image.width = 80;
    image.height = 50;
    image.cells = std::make_unique<Cell[]>(4000);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            image.cells[static_cast<size_t>(y * 80 + x)] = patternCell(x, y);
    return image;
}

// How the child runs the console; a test sets it before the fork and puts it back after.
struct ChildSettings {
    DisplayLayout layout = DisplayLayout::Cells;
    ColorMode colorMode = ColorMode::TrueColor;
    bool ignoresHangup = false;      // as under nohup
    int runMs = 5000;                // the run ends by itself after this
    const char* colorterm = nullptr; // COLORTERM, unset when null; TERM is xterm-256color
};
ChildSettings gChild;

// Puts gChild back to its defaults when a test ends.
struct ChildSettingsRestore {
    ~ChildSettingsRestore() { gChild = ChildSettings{}; }
};

// The demo's side: open, show the pattern, then take input and present every few
// milliseconds until Escape, the quit flag or gChild.runMs. Exit 0 on Escape, 3 on the flag.
[[noreturn]] void runConsole(int reportFd) {
    if (gChild.ignoresHangup) signal(SIGHUP, SIG_IGN);
    setenv("TERM", "xterm-256color", 1);
    if (gChild.colorterm) {
        setenv("COLORTERM", gChild.colorterm, 1);
    } else {
        unsetenv("COLORTERM");
    }
    unsetenv("TMUX");
    ConsoleScreen screen;
    screen.colorMode = gChild.colorMode;
    screen.layout = gChild.layout;
    if (!screen.open("kaveo test", 80, 50)) _exit(10);
    screen.setMouseInput(true);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            screen.cells[static_cast<size_t>(y * 80 + x)] = patternCell(x, y);
    screen.present();
    send(reportFd, 'R');
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(gChild.runMs);
    bool escape = false;
    while (!escape && !QuitFlag.load() && std::chrono::steady_clock::now() < deadline) {
        InputRecord event{};
        while (!escape && screen.pollInput(event)) {
            send(reportFd, 'E', event);
            escape = event.eventType == kKeyEvent && event.key.virtualKeyCode == kVkEscape;
        }
        screen.present();
        usleep(3000);
    }
    screen.close();
    screen.close(); // twice is harmless
    _exit(QuitFlag.load() ? 3 : escape ? 0 : 4);
}

// How the test's terminal answers the start-up questions, each answer written as its
// question is seen ("" answers nothing).
struct Answers {
    const char* synchronized; // DECRQM 2026
    const char* version;      // XTVERSION
    const char* palette;      // OSC 4
    const char* type;         // DA2
    const char* attributes;   // DA1
};
constexpr const char* kQuestions[] = {
    "\x1b[?2026$p", "\x1b[>q",
    "\x1b]4;0;?;1;?;2;?;3;?;4;?;5;?;6;?;7;?;8;?;9;?;10;?;11;?;12;?;13;?;14;?;15;?\x1b\\", "\x1b[>c",
    "\x1b[c"};
// A terminal that knows none of the questions but DA1, as every terminal answers that.
constexpr Answers kPlainTerminal{"", "", "", "", "\x1b[?1;2c"};
constexpr Answers kSilentTerminal{"", "", "", "", ""};
// Confirms synchronized output.
constexpr Answers kSynchronizingTerminal{"\x1b[?2026;2$y", "\x1bP>|kitty(0.26.5)\x1b\\",
                                         "\x1b]4;1;rgb:cccc/0000/0000\x1b\\", "\x1b[>1;4000;29c",
                                         "\x1b[?62;c"};

// The state the last CSI ? 2026 h/l in `bytes` left: 'h', 'l', or 0 for neither seen.
char lastSynchronizedMode(const std::string& bytes) {
    const size_t at = bytes.rfind("\x1b[?2026");
    if (at == std::string::npos || at + 7 >= bytes.size()) return 0;
    return bytes[at + 7] == '$' ? 0 : bytes[at + 7];
}

size_t occurrences(const std::string& bytes, const char* what) {
    size_t count = 0;
    for (size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1))
        ++count;
    return count;
}

// The terminal's side: a pty whose output feeds libvterm.
struct Session {
    pid_t child = -1;   // the forkpty child
    pid_t console = -1; // the process running the console (the child, or its job)
    int master = -1;
    int slave = -1; // kept open here to read the terminal's modes after the child is gone
    int reports = -1;
    EmulatedTerminal terminal{80, 50};
    std::vector<InputRecord> events;
    std::string output;       // every byte the console wrote
    size_t questionsSeen = 0; // where output has been searched for questions
    Answers answers = kPlainTerminal;
    bool ready = false;
    int status = 0;
    bool exited = false;

    // With `asJob`, the console runs in a process group of its own in the foreground, as a
    // shell would start it, so that a stop signal really stops it.
    void start(bool asJob = false) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        winsize size{50, 80, 0, 0};
        child = forkpty(&master, nullptr, nullptr, &size);
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            if (!asJob) runConsole(pipeFds[1]);
            signal(SIGTTOU, SIG_IGN);
            const pid_t job = fork();
            if (job == 0) {
                setpgid(0, 0);
                tcsetpgrp(STDIN_FILENO, getpid());
                signal(SIGTTOU, SIG_DFL);
                send(pipeFds[1], 'P');
                runConsole(pipeFds[1]);
            }
            int jobStatus = 0;
            while (waitpid(job, &jobStatus, 0) < 0 && errno == EINTR) {
            }
            _exit(WIFEXITED(jobStatus) ? WEXITSTATUS(jobStatus) : 30);
        }
        ::close(pipeFds[1]);
        reports = pipeFds[0];
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        console = child;
    }

    ~Session() {
        if (!exited && child > 0) {
            kill(child, SIGKILL);
            if (console != child) kill(console, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        for (int fd : {master, slave, reports})
            if (fd >= 0) ::close(fd);
    }

    // Moves terminal output into libvterm and reports into `events` until `done` holds or
    // `ms` pass; true when `done` held.
    bool pump(int ms, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            pollfd fds[2] = {{master, POLLIN, 0}, {reports, POLLIN, 0}};
            poll(fds, 2, 10);
            char buffer[65536];
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0) {
                    terminal.write(buffer, static_cast<size_t>(n));
                    output.append(buffer, static_cast<size_t>(n));
                    answer();
                }
            }
            if (fds[1].revents & POLLIN) {
                Report report{};
                if (read(reports, &report, sizeof report) == sizeof report) {
                    if (report.tag == 'R') ready = true;
                    if (report.tag == 'P') console = report.pid;
                    if (report.tag == 'E') events.push_back(report.event);
                }
            }
        }
    }

    // Answers the questions that came since the last call, in the order they came.
    void answer() {
        const char* const replies[] = {answers.synchronized, answers.version, answers.palette,
                                       answers.type, answers.attributes};
        for (;;) {
            size_t first = std::string::npos;
            size_t which = 0;
            for (size_t q = 0; q < std::size(kQuestions); ++q) {
                const size_t at = output.find(kQuestions[q], questionsSeen);
                if (at < first) first = at, which = q;
            }
            if (first == std::string::npos) return;
            questionsSeen = first + std::strlen(kQuestions[which]);
            const size_t length = std::strlen(replies[which]);
            if (length > 0) {
                ASSERT_EQ(write(master, replies[which], length), ssize_t(length));
            }
        }
    }

    // Lets output settle: pumps until nothing arrived for a while.
    void settle() {
        for (int i = 0; i < 100; ++i) {
            pollfd fd{master, POLLIN, 0};
            if (poll(&fd, 1, 60) <= 0) return;
            pump(0, [] { return false; });
            pump(5, [] { return false; });
        }
    }

    void type(const char* bytes) {
        ASSERT_EQ(write(master, bytes, std::strlen(bytes)),
                  static_cast<ssize_t>(std::strlen(bytes)));
    }

    bool waitExit(int ms) {
        return pump(ms,
                    [&] {
                        if (!exited && waitpid(child, &status, WNOHANG) == child) exited = true;
                        return exited;
                    }) ||
               exited;
    }

    termios modes() const {
        termios t{};
        tcgetattr(slave, &t);
        return t;
    }
};

bool cooked(const termios& t) {
    return (t.c_lflag & ECHO) && (t.c_lflag & ICANON) && (t.c_lflag & ISIG) && (t.c_iflag & ICRNL);
}

// The state letter of /proc/<pid>/stat: 'T' for a stopped process.
char processState(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* file = std::fopen(path, "r");
    if (!file) return '?';
    char state = '?';
    if (std::fscanf(file, "%*d (%*[^)]) %c", &state) != 1) state = '?';
    std::fclose(file);
    return state;
}

// Whether every palette entry is the terminal's own again.
bool paletteRestored(const EmulatedTerminal& terminal) {
    for (const int entry : terminal.palette)
        if (entry >= 0) return false;
    return true;
}

bool raw(const termios& t) {
    return !(t.c_lflag & (ECHO | ICANON | ISIG));
}

} // namespace

// [open] Without a terminal open fails, and close still tears down whatever was made.
TEST(ConsoleScreenPosix, open_fails_without_a_terminal_and_close_is_safe) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        ConsoleScreen screen;
        const bool opened = screen.open("x", 80, 50);
        screen.close();
        screen.close();
        _exit(!opened && !screen.cells && screen.width == 0 && !screen.platform ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// [session] The picture, the modes, raw input, mouse and Escape; restored at the end.
TEST(ConsoleScreenPosix, session_shows_the_picture_reads_keys_and_restores) {
    Session s;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
    s.settle();
    const CellImage image = pattern();
    EXPECT_EQ(s.terminal.mismatch(image, 0, 0, 80, 50, ColorMode::TrueColor), "");
    EXPECT_TRUE(s.terminal.altScreen);
    EXPECT_FALSE(s.terminal.cursorVisible);
    EXPECT_EQ(s.terminal.title, "kaveo test");
    EXPECT_EQ(s.terminal.mouseMode, VTERM_PROP_MOUSE_MOVE);
    EXPECT_TRUE(raw(s.modes()));

    s.type("\x03\x1b[5~m\x1b[<0;11;6M");
    ASSERT_TRUE(s.pump(2000, [&] { return s.events.size() >= 7; }));
    s.type("\x1b"); // a lone Escape, recognised by its timeout
    ASSERT_TRUE(s.waitExit(3000));
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0); // Ctrl+C did not end it; Escape did

    ASSERT_GE(s.events.size(), 8u);
    EXPECT_EQ(s.events[0].key.virtualKeyCode, 'C');
    EXPECT_EQ(s.events[0].key.asciiChar, 3);
    EXPECT_EQ(s.events[2].key.virtualKeyCode, kVkPrior);
    EXPECT_EQ(s.events[4].key.virtualKeyCode, kVkM);
    EXPECT_EQ(s.events[6].eventType, kMouseEvent);
    EXPECT_EQ(s.events[6].mouse.column, 10);
    EXPECT_EQ(s.events[6].mouse.row, 5);
    EXPECT_EQ(s.events[7].key.virtualKeyCode, kVkEscape);

    s.settle();
    EXPECT_FALSE(s.terminal.altScreen);
    EXPECT_TRUE(s.terminal.cursorVisible);
    EXPECT_EQ(s.terminal.mouseMode, VTERM_PROP_MOUSE_NONE);
    EXPECT_TRUE(cooked(s.modes()));
}

TEST(ConsoleScreenPosix, resize_repaints_centred_and_mouse_follows) {
    Session s;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
    s.settle();
    winsize bigger{60, 100, 0, 0};
    s.terminal.resize(100, 60);
    ASSERT_EQ(ioctl(s.master, TIOCSWINSZ, &bigger), 0); // the child gets SIGWINCH
    s.settle();
    const CellImage image = pattern();
    EXPECT_EQ(s.terminal.mismatch(image, 10, 5, 80, 50, ColorMode::TrueColor), "");
    EXPECT_EQ(s.terminal.character(5, 30), 0x20u);
    s.type("\x1b[<0;11;6M\x1b[<0;11;6m");
    ASSERT_TRUE(s.pump(2000, [&] { return s.events.size() >= 2; }));
    EXPECT_EQ(s.events[0].mouse.column, 0); // the picture's top-left cell
    EXPECT_EQ(s.events[0].mouse.row, 0);
    s.type("\x1b");
    EXPECT_TRUE(s.waitExit(3000));
}

// [signals] Hang-up, termination and interruption from outside end the run normally.
TEST(ConsoleScreenPosix, quit_signals_set_the_flag_and_the_run_ends_normally) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Session s;
        s.start();
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
        kill(s.child, signal);
        ASSERT_TRUE(s.waitExit(3000)) << strsignal(signal);
        ASSERT_TRUE(WIFEXITED(s.status)) << strsignal(signal);
        EXPECT_EQ(WEXITSTATUS(s.status), 3) << strsignal(signal);
        EXPECT_TRUE(cooked(s.modes())) << strsignal(signal);
    }
}

TEST(ConsoleScreenPosix, fatal_signal_restores_then_dies_by_it) {
    // Caught to put the terminal back: the faults, and every signal whose default ends us.
    for (int signal : {SIGABRT, SIGILL, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXCPU,
                       SIGXFSZ, SIGVTALRM, SIGPROF, SIGPWR, SIGSTKFLT, SIGIO, SIGRTMIN + 1}) {
        Session s;
        s.start();
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
        s.settle();
        kill(s.child, signal);
        ASSERT_TRUE(s.waitExit(3000)) << strsignal(signal);
        ASSERT_TRUE(WIFSIGNALED(s.status)) << strsignal(signal);
        EXPECT_EQ(WTERMSIG(s.status), signal);
        s.settle();
        EXPECT_TRUE(cooked(s.modes())) << strsignal(signal);
        EXPECT_FALSE(s.terminal.altScreen) << strsignal(signal);
        EXPECT_TRUE(s.terminal.cursorVisible) << strsignal(signal);
    }
}

TEST(ConsoleScreenPosix, stop_restores_and_continue_reenters_and_repaints) {
    Session s;
    s.start(true);
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready && s.console != s.child; }));
    s.settle();
    kill(s.console, SIGTSTP);
    s.settle();
    EXPECT_EQ(processState(s.console), 'T');
    EXPECT_FALSE(s.terminal.altScreen);
    EXPECT_TRUE(s.terminal.cursorVisible);
    EXPECT_TRUE(cooked(s.modes()));

    kill(s.console, SIGCONT);
    s.settle();
    EXPECT_TRUE(s.terminal.altScreen);
    EXPECT_FALSE(s.terminal.cursorVisible);
    EXPECT_TRUE(raw(s.modes()));
    EXPECT_EQ(s.terminal.mismatch(pattern(), 0, 0, 80, 50, ColorMode::TrueColor), "");
    s.type("\x1b");
    ASSERT_TRUE(s.waitExit(3000));
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0);
}

// [layouts] Auto shows half in a terminal too small for wide, wide once it is resized to fit,
// and the pointer follows: a column pair is one cell, margins clamp to the picture's edge.
TEST(ConsoleScreenPosix, auto_layout_is_chosen_again_on_resize_and_the_mouse_follows) {
    ChildSettingsRestore restore;
    gChild.layout = DisplayLayout::Auto;
    Session s;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
    s.settle();
    const CellImage image = pattern();
    // 25 rows of half blocks, centred in 50: from row 12.
    EXPECT_EQ(s.terminal.mismatch(image, 0, 12, 80, 25, ColorMode::TrueColor, DisplayLayout::Half),
              "");
    s.type("\x1b[<0;5;14M\x1b[<0;5;14m\x1b[<0;5;2M\x1b[<0;5;2m");
    ASSERT_TRUE(s.pump(2000, [&] { return s.events.size() >= 4; }));
    EXPECT_EQ(s.events[0].mouse.column, 4);
    EXPECT_EQ(s.events[0].mouse.row, 2); // terminal row 13 is picture rows 2 and 3
    EXPECT_EQ(s.events[2].mouse.row, 0); // above the picture: its top row

    winsize wide{50, 160, 0, 0};
    s.terminal.resize(160, 50);
    ASSERT_EQ(ioctl(s.master, TIOCSWINSZ, &wide), 0);
    s.settle();
    EXPECT_EQ(s.terminal.mismatch(image, 0, 0, 160, 50, ColorMode::TrueColor, DisplayLayout::Wide),
              "");
    s.type("\x1b[<0;4;7M\x1b[<0;4;7m");
    ASSERT_TRUE(s.pump(2000, [&] { return s.events.size() >= 6; }));
    EXPECT_EQ(s.events[4].mouse.column, 1); // terminal columns 2 and 3 are cell 1
    EXPECT_EQ(s.events[4].mouse.row, 6);
    s.type("\x1b");
    EXPECT_TRUE(s.waitExit(3000));
}

// Stops that skip our handler leave our modes to the shell, which puts its own back; on
// continue the console must enter again, or reads wait for whole lines and keys echo.
TEST(ConsoleScreenPosix, continue_after_an_uncaught_stop_reenters_and_repaints) {
    for (int signal : {SIGSTOP, SIGTTIN, SIGTTOU}) {
        Session s;
        s.start(true);
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready && s.console != s.child; }));
        s.settle();
        kill(s.console, signal);
        ASSERT_TRUE(s.pump(3000, [&] { return processState(s.console) == 'T'; }))
            << strsignal(signal);
        termios shell = s.modes(); // the shell takes the terminal back as it likes it
        shell.c_lflag |= ECHO | ICANON | ISIG;
        shell.c_iflag |= ICRNL;
        ASSERT_EQ(tcsetattr(s.slave, TCSANOW, &shell), 0);
        const char* shellOutput = "\x1b[H\x1b[2J[1]+  Stopped\r\n$ fg\r\n";
        s.terminal.write(shellOutput, std::strlen(shellOutput));

        kill(s.console, SIGCONT);
        s.settle();
        EXPECT_TRUE(raw(s.modes())) << strsignal(signal);
        EXPECT_TRUE(s.terminal.altScreen) << strsignal(signal);
        EXPECT_FALSE(s.terminal.cursorVisible) << strsignal(signal);
        EXPECT_EQ(s.terminal.mismatch(pattern(), 0, 0, 80, 50, ColorMode::TrueColor), "")
            << strsignal(signal);
        s.type("\x1b");
        ASSERT_TRUE(s.waitExit(3000)) << strsignal(signal);
        ASSERT_TRUE(WIFEXITED(s.status));
        EXPECT_EQ(WEXITSTATUS(s.status), 0) << strsignal(signal);
        s.settle();
        EXPECT_FALSE(s.terminal.altScreen) << strsignal(signal);
        EXPECT_TRUE(cooked(s.modes())) << strsignal(signal);
    }
}

// A terminal that reads nothing (a stalled ssh session, a frozen emulator) fills up; a quit
// signal must still end the run, and the modes still come back.
TEST(ConsoleScreenPosix, quit_signal_ends_the_run_while_the_terminal_reads_nothing) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Session s;
        s.start();
        // Reports only: the first full frame alone is more than the pty holds.
        const int master = s.master;
        s.master = -1;
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready; })) << strsignal(signal);
        kill(s.child, signal);
        ASSERT_TRUE(s.waitExit(5000)) << strsignal(signal);
        s.master = master;
        ASSERT_TRUE(WIFEXITED(s.status)) << strsignal(signal);
        EXPECT_EQ(WEXITSTATUS(s.status), 3) << strsignal(signal);
        EXPECT_TRUE(cooked(s.modes())) << strsignal(signal);
    }
}

// The terminal goes away (its emulator closed): the run ends as on the quit flag, also when
// SIGHUP is ignored and never comes; a SIGHUP that was ignored at start stays ignored.
TEST(ConsoleScreenPosix, hang_up_ends_the_run_and_an_ignored_sighup_stays_ignored) {
    ChildSettingsRestore restore;
    for (bool ignored : {false, true}) {
        gChild.ignoresHangup = ignored;
        Session s;
        s.start();
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
        ::close(s.master);
        s.master = -1;
        ASSERT_TRUE(s.waitExit(3000)) << "SIGHUP ignored: " << ignored;
        ASSERT_TRUE(WIFEXITED(s.status));
        EXPECT_EQ(WEXITSTATUS(s.status), 3) << "SIGHUP ignored: " << ignored;
    }

    gChild.ignoresHangup = true;
    Session s;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
    kill(s.child, SIGHUP);
    s.type("\x1b");
    ASSERT_TRUE(s.waitExit(3000));
    ASSERT_TRUE(WIFEXITED(s.status));
    EXPECT_EQ(WEXITSTATUS(s.status), 0); // Escape ended it, not the quit flag
}

// [answers] What the terminal answers decides synchronized output, whether the title is cleared
// on leaving (no title stack known), the colours and the mouse (none in GNU screen). The
// questions go out once, and neither the answers nor their order costs a key.
TEST(ConsoleScreenPosix, answers_decide_synchronized_output_title_colours_and_mouse) {
    struct Case {
        const char* name;
        Answers answers;
        bool wrapped;      // frames between CSI ? 2026 h and l
        bool titleCleared; // an empty title before the pop on leaving
        ColorMode shown;   // with COLORTERM=truecolor
        bool mouse;
    };
    const Case cases[] = {
        {"kitty", kSynchronizingTerminal, true, false, ColorMode::Palette, true},
        {"foot",
         {"\x1b[?2026;1$y", "\x1bP>|foot(1.16.2)\x1b\\", "", "", "\x1b[?62;4;22c"},
         true,
         false,
         ColorMode::TrueColor,
         true},
        {"xterm",
         {"\x1b[?2026;0$y", "\x1bP>|XTerm(379)\x1b\\", "\x1b]4;1;rgb:cdcd/0000/0000\x1b\\",
          "\x1b[>41;379;0c", "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"},
         false,
         false,
         ColorMode::Palette,
         true},
        {"VTE",
         {"\x1b[?2026;4$y", "", "\x1b]4;1;rgb:cccc/0000/0000\x1b\\", "\x1b[>65;7006;1c",
          "\x1b[?65;1;9c"},
         false,
         false,
         ColorMode::Palette,
         true},
        {"urxvt",
         {"\x1b[?2026;0$y", "", "\x1b]4;1;rgb:cdcd/0000/0000\x1b", "\x1b[>85;95;0c", "\x1b[?1;2c"},
         false,
         true,
         ColorMode::Palette,
         true},
        {"GNU screen",
         {"", "", "", "\x1b[>83;40900;0c", "\x1b[?1;2c"},
         false,
         true,
         ColorMode::Colors256,
         false},
        {"silent", kSilentTerminal, false, true, ColorMode::TrueColor, true},
    };
    ChildSettingsRestore restore;
    gChild.colorMode = ColorMode::Auto;
    gChild.colorterm = "truecolor";
    for (const Case& c : cases) {
        Session s;
        s.answers = c.answers;
        s.start();
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready; })) << c.name;
        s.settle();
        EXPECT_EQ(occurrences(s.output, "\x1b[c"), 1u) << c.name;
        EXPECT_TRUE(s.events.empty()) << c.name; // the answers became no keys
        EXPECT_EQ(s.terminal.mismatch(pattern(), 0, 0, 80, 50, c.shown), "") << c.name;
        EXPECT_EQ(occurrences(s.output, "\x1b[?2026h") > 0, c.wrapped) << c.name;
        EXPECT_EQ(s.output.find("\x1b[?1003h") != std::string::npos, c.mouse) << c.name;
        s.type("\x1b");
        ASSERT_TRUE(s.waitExit(3000)) << c.name;
        s.settle();
        EXPECT_EQ(lastSynchronizedMode(s.output), c.wrapped ? 'l' : 0) << c.name;
        EXPECT_EQ(s.output.find("\x1b]2;\a\x1b[23;0t") != std::string::npos, c.titleCleared)
            << c.name;
        EXPECT_EQ(s.terminal.character(0, 0), 0x20u) << c.name; // cleared before leaving
        EXPECT_EQ(s.output.find("\x1b]104") != std::string::npos, c.shown == ColorMode::Palette)
            << c.name;
        EXPECT_TRUE(paletteRestored(s.terminal)) << c.name;
        EXPECT_TRUE(cooked(s.modes())) << c.name;
    }
}

// A terminal without OSC 104 (urxvt) gets back the colours it told, one by one, and the
// entries half may use as xterm has them.
TEST(ConsoleScreenPosix, palette_comes_back_where_the_terminal_cannot_reset_it) {
    ChildSettingsRestore restore;
    gChild.colorMode = ColorMode::Palette;
    gChild.layout = DisplayLayout::Half;
    Session s;
    s.answers = kPlainTerminal;
    s.answers.palette = "\x1b]4;1;rgb:cdcd/0000/0000\x1b\\\x1b]4;12;rgb:5c5c/5c5c/ffff\x1b\\";
    s.terminal.ignoresPaletteReset = true;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready; }));
    s.settle();
    EXPECT_EQ(s.terminal.palette[1], 0x800000); // the classic dark red while playing
    s.type("\x1b");
    ASSERT_TRUE(s.waitExit(3000));
    s.settle();
    // Worked out from xterm's cube: 16 + 36 r + 6 g + b, levels 0, 95, 135, 175, 215, 255.
    const std::pair<int, int> expected[] = {{1, 0xCD0000},  {12, 0x5C5CFF}, {16, 0x000000},
                                            {21, 0x0000FF}, {52, 0x5F0000}, {99, 0x875FFF}};
    for (const auto& [entry, rgb] : expected) EXPECT_EQ(s.terminal.palette[entry], rgb) << entry;
}

// Keys typed while the answers come are not lost.
TEST(ConsoleScreenPosix, keys_typed_among_the_answers_come_through) {
    Answers answers = kSynchronizingTerminal;
    answers.version = "m\x1bP>|kitty(0.26.5)\x1b\\"; // m typed before XTVERSION's answer
    answers.attributes = "n\x1b[?62;c";              // n just before DA1's
    Session s;
    s.answers = answers;
    s.start();
    ASSERT_TRUE(s.pump(3000, [&] { return s.ready && s.events.size() >= 4; }));
    EXPECT_EQ(s.events[0].key.virtualKeyCode, kVkM);
    EXPECT_EQ(s.events[2].key.virtualKeyCode, kVkN);
    s.type("\x1b");
    ASSERT_TRUE(s.waitExit(3000));
}

// [synchronized, palette] Every way out leaves synchronized output ended (the last CSI ? 2026
// is l) and the terminal's own palette back, also when it cuts a frame short: the terminal
// read nothing until after the signal. A continue sets the palette again.
TEST(ConsoleScreenPosix, synchronized_output_and_palette_end_on_every_way_out) {
    enum class Exit { Escape, End, Terminate, Fatal, Stop };
    struct Case {
        const char* name;
        Exit exit;
        bool stalled; // the terminal reads nothing from the first frame until 300 ms after
    };
    const Case cases[] = {
        {"Escape", Exit::Escape, false},
        {"the end", Exit::End, false},
        {"SIGTERM", Exit::Terminate, false},
        {"SIGSEGV", Exit::Fatal, false},
        {"SIGTSTP, SIGCONT, Escape", Exit::Stop, false},
        {"SIGTERM in a cut frame", Exit::Terminate, true},
        {"SIGSEGV in a cut frame", Exit::Fatal, true},
        {"SIGTSTP in a cut frame", Exit::Stop, true},
    };
    ChildSettingsRestore restore;
    // Half's mixes take entries 16-255 too; kitty draws the blocks itself: either half block.
    gChild.colorMode = ColorMode::Palette;
    gChild.layout = DisplayLayout::Half;
    for (const Case& c : cases) {
        const char* name = c.name;
        gChild.runMs = c.exit == Exit::End ? 600 : 5000;
        Session s;
        s.answers = kSynchronizingTerminal;
        s.start(c.exit == Exit::Stop);
        const int master = s.master;
        if (c.stalled) {
            // Only the questions are read and answered: the first frame fills the pty.
            ASSERT_TRUE(s.pump(3000, [&] { return s.output.find("\x1b[c") != std::string::npos; }));
            s.master = -1;
        }
        const bool job = c.exit == Exit::Stop;
        ASSERT_TRUE(s.pump(3000, [&] { return s.ready && (!job || s.console != s.child); }))
            << name;
        if (!c.stalled) {
            s.settle();
            EXPECT_EQ(s.terminal.mismatch(pattern(), 0, 12, 80, 25, ColorMode::Palette,
                                          DisplayLayout::Half, true),
                      "")
                << name;
        }
        switch (c.exit) {
        case Exit::Escape:
            s.type("\x1b");
            break;
        case Exit::End:
            break;
        case Exit::Terminate:
            kill(s.console, SIGTERM);
            break;
        case Exit::Fatal:
            kill(s.console, SIGSEGV);
            break;
        case Exit::Stop:
            kill(s.console, SIGTSTP);
            break;
        }
        if (c.stalled) {
            s.pump(300, [] { return false; }); // the terminal wakes before the restore gives up
            s.master = master;
        }
        if (c.exit == Exit::Stop) {
            ASSERT_TRUE(s.pump(3000, [&] { return processState(s.console) == 'T'; })) << name;
            s.settle();
            EXPECT_EQ(lastSynchronizedMode(s.output), 'l') << name << ", while stopped";
            EXPECT_TRUE(paletteRestored(s.terminal)) << name << ", while stopped";
            kill(s.console, SIGCONT);
            s.settle();
            // libvterm keeps the first bytes of a character the cut split and shows them in the
            // repaint (a terminal that ends them at the CAN starting the leave sequence shows
            // them before its clear): the repaint is checked in the rows without a cut.
            if (!c.stalled) {
                EXPECT_EQ(s.terminal.mismatch(pattern(), 0, 12, 80, 25, ColorMode::Palette,
                                              DisplayLayout::Half, true),
                          "")
                    << name;
            }
            s.type("\x1b");
        }
        ASSERT_TRUE(s.waitExit(5000)) << name;
        s.settle();
        EXPECT_GT(occurrences(s.output, "\x1b[?2026h"), 0u) << name;
        EXPECT_EQ(lastSynchronizedMode(s.output), 'l') << name;
        EXPECT_TRUE(paletteRestored(s.terminal)) << name;
        EXPECT_EQ(occurrences(s.output, "\x1b[c"), 1u) << name; // not asked again on resuming
        EXPECT_TRUE(cooked(s.modes())) << name;
    }
}
