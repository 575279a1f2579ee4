// ConsoleScreen on POSIX terminals (xterm and its relatives, the Linux console, tmux, GNU
// screen, kitty).
// Implements: open (alternate screen, hidden cursor, raw input with no signals from keys,
// the title with the previous one saved on xterm's title stack, an 80 x 50 size request, then
// one round of questions to the terminal), present (only the changed cells, one write per
// frame, 16/256/24-bit colour, shown whole where the terminal confirms synchronized output),
// pollInput
// (keys, SGR mouse in button and any-motion tracking, synthesised key releases unless the
// kitty keyboard protocol reports real ones), setMouseInput, setTitle, close and the quit flag
// (SIGHUP, SIGTERM, SIGINT, and a terminal that hung up). The terminal is restored on close, at
// exit, on every signal that would end the process and on SIGTSTP; on SIGCONT it is entered
// again and repainted, whatever stopped us; resizes (SIGWINCH) choose an Auto layout again and
// repaint everything; cycleLayout steps through the layouts. Output never blocks for long: a
// terminal that stops reading costs frames, not the program.
// What the terminal answers decides: synchronized output (DECRPM 2026), whether the title we
// set is cleared on leaving (where no title stack is known from XTVERSION or DA2: the pop then
// restores the title where a stack exists after all, and leaves an empty title where none
// does, never our statistics), and GNU screen (DA2, or TERM without TMUX): no 24-bit colour
// and no mouse tracking there; and the half layout's glyphs (▀ and ▄ mixed only where the
// terminal draws block elements itself, else ▄). On leaving, the screen is cleared in the
// default colours, which only shows where the terminal has no alternate screen (GNU screen by
// default).
// Leaves out: terminals without ANSI sequences, non-UTF-8 terminals, the mouse wheel.
// A terminal smaller than the layout's grid shows its top-left part; a larger one shows it
// centred. At start a terminal too small for the requested layout is asked to grow to fit it
// (wide's 160 x 50 for Auto).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include "console/classic_colors.h"
#include "console/console_screen.h"
#include "console/input_decoder.h"
#include "console/terminal_output.h"

std::atomic<bool> QuitFlag{false};

// Everything of the back end that no signal handler needs.
struct ConsolePlatform {
    TerminalOutput output;
    size_t sent = 0; // bytes of output's last frame the terminal took; the rest goes out first
    InputDecoder decoder;
    char title[TerminalOutput::kMaxTitle + 1] = {}; // current title, code page 437
    bool titlePending = true;                       // the title goes out with the next frame
    bool mouseOn = false;
    bool mousePending = false; // the mouse mode goes out with the next frame
    // GNU screen holds a lone ESC back while it tracks the mouse, until the next byte comes (to
    // see whether a mouse report starts), so Escape would come only with the next key; its
    // version 4 reports only in the X10 form, which is dropped anyway. No mouse there.
    bool mouseUsable = true;
    bool synchronizedOutput = false; // frames go out between CSI ? 2026 h and l
    // open() asked the terminal to grow: frames shown before it answers with a resize (or
    // kGrowWaitMs passes) are not counted as cropped.
    bool growPending = false;
    uint32_t openedMs = 0;
};

namespace {

// [SECTION] Signal-reachable state
// The only terminal state outside ConsoleScreen: what the signal handlers and the exit hook
// need to put the terminal back. Written by open() before any handler is installed, read by
// the handlers; the flags are set by handlers and cleared by the main thread.
struct TerminalSignalState {
    int inputFd = STDIN_FILENO;
    int outputFd = STDOUT_FILENO; // our own non-blocking descriptor when the tty has a name
    termios saved{};              // the terminal's modes before open: put back on every way out
    termios raw{};                // ours: applied by open and again on continue
    volatile sig_atomic_t entered = 0; // the terminal is in our modes; restoring has work
    volatile sig_atomic_t resized = 0; // SIGWINCH: the main thread re-reads the size
    volatile sig_atomic_t resumed = 0; // SIGCONT: the main thread re-enters and repaints
    char enterBytes[512] = {};         // sequences that set the terminal up
    size_t enterLength = 0;
    char leaveBytes[2560] = {}; // their mirror, precomputed so a handler only writes
    size_t leaveLength = 0;
    bool handlersInstalled = false;
    bool exitHookRegistered = false;
};
TerminalSignalState gTerminal;

constexpr int kQuitSignals[] = {SIGHUP, SIGTERM, SIGINT};
// Every other signal whose default action ends the process: restore, then die by it.
constexpr int kFatalSignals[] = {
    SIGSEGV,   SIGABRT, SIGBUS,  SIGFPE,  SIGILL,  SIGQUIT,   SIGTRAP, SIGSYS, SIGUSR1,
    SIGUSR2,   SIGALRM, SIGPIPE, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};
// The dispositions open() replaced, by signal number, put back by close(); main thread only.
struct sigaction gPreviousActions[NSIG];
bool gReplaced[NSIG] = {};

// How long a frame may wait for a terminal that is slow to read before the loop goes on (the
// rest of the frame goes out first next time), and how long the restore may wait at exit.
// While input waits to be decoded (a lone ESC, say) a frame waits less, so that Escape is
// recognised on time.
constexpr uint32_t kFrameWaitMilliseconds = 100;
constexpr uint32_t kFrameWaitWithInputMilliseconds = 10;
constexpr uint32_t kRestoreWaitMilliseconds = 1000;
constexpr int kPollSliceMilliseconds = 20;

uint32_t monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

enum class WriteResult { Done, Stalled, Failed };

// Writes data[done..count), advancing `done`, across short writes and interruptions. Waits at
// most `waitMs` in all for the terminal to take more; with `quitEnds` the quit flag ends the
// wait at once (a signal wakes poll), and input to read on `wakeFd` (when not -1) ends it too.
// Failed: the terminal refused the bytes (EIO once it hung up). Async-signal-safe.
WriteResult writeBounded(int fd, const char* data, size_t count, size_t& done, uint32_t waitMs,
                         bool quitEnds, int wakeFd = -1) {
    const uint32_t start = monotonicMilliseconds();
    while (done < count) {
        const ssize_t written = write(fd, data + done, count - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        const int error = written < 0 ? errno : 0;
        if (error != 0 && error != EINTR && error != EAGAIN && error != EWOULDBLOCK)
            return WriteResult::Failed; // errno still tells why
        if (quitEnds && QuitFlag.load(std::memory_order_relaxed)) return WriteResult::Stalled;
        const uint32_t spent = monotonicMilliseconds() - start;
        if (spent >= waitMs) return WriteResult::Stalled;
        if (error == EINTR) continue;
        const uint32_t left = waitMs - spent;
        pollfd wait[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        poll(wait, wakeFd >= 0 ? 2 : 1,
             left < kPollSliceMilliseconds ? static_cast<int>(left) : kPollSliceMilliseconds);
        if (wakeFd >= 0 && (wait[1].revents & POLLIN)) return WriteResult::Stalled;
    }
    return WriteResult::Done;
}

// A hung-up terminal (its emulator or ssh session is gone) ends the run as the quit flag does,
// also when SIGHUP is ignored (nohup) and never arrives.
bool hungUp(int error) {
    return error == EIO || error == ENXIO;
}

// Puts the terminal back as open() found it; safe to call any number of times, from a signal
// handler too (write, tcsetattr and tcflush are async-signal-safe).
void leaveTerminal(uint32_t waitMs = kRestoreWaitMilliseconds) {
    if (!gTerminal.entered) return;
    gTerminal.entered = 0;
    size_t done = 0;
    writeBounded(gTerminal.outputFd, gTerminal.leaveBytes, gTerminal.leaveLength, done, waitMs,
                 false);
    tcflush(gTerminal.inputFd, TCIFLUSH); // mouse reports still in flight are not the shell's
    tcsetattr(gTerminal.inputFd, TCSANOW, &gTerminal.saved);
}

// Mirror of leaveTerminal. False when the terminal refused our modes.
bool enterTerminal() {
    gTerminal.entered = 1; // first, so a signal arriving halfway still restores
    if (tcsetattr(gTerminal.inputFd, TCSANOW, &gTerminal.raw) != 0) return false;
    size_t done = 0;
    return writeBounded(gTerminal.outputFd, gTerminal.enterBytes, gTerminal.enterLength, done,
                        kRestoreWaitMilliseconds, false) == WriteResult::Done;
}

void atExit() {
    leaveTerminal();
}

void onQuitSignal(int) {
    QuitFlag.store(true, std::memory_order_relaxed);
}

void onResize(int) {
    gTerminal.resized = 1;
}

void onContinue(int) {
    gTerminal.resumed = 1;
}

void installAction(int signal, void (*handler)(int), int flags);

// Restore, then stop the way the default action would; on continue, carry on from here.
void onStop(int) {
    const int savedErrno = errno;
    leaveTerminal();
    installAction(SIGTSTP, SIG_DFL, 0);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(SIGTSTP); // stops here until SIGCONT
    installAction(SIGTSTP, onStop, SA_RESTART);
    gTerminal.resumed = 1;
    errno = savedErrno;
}

// Installed with SA_RESETHAND | SA_NODEFER: the handler is already the default, so raising
// the signal again ends the process by it, with the terminal restored.
void onFatalSignal(int signal) {
    leaveTerminal();
    raise(signal);
}

void installAction(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(signal, &action, nullptr);
}

// Installs `handler` unless the signal was ignored when we started (nohup, trap '' HUP, a
// background job's SIGINT): what the user chose to ignore stays ignored.
void replaceAction(int signal, void (*handler)(int), int flags) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) != 0) return;
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) return;
    gPreviousActions[signal] = previous;
    gReplaced[signal] = true;
    installAction(signal, handler, flags);
}

void installHandlers() {
    for (int s : kQuitSignals) replaceAction(s, onQuitSignal, SA_RESTART);
    for (int s : kFatalSignals) replaceAction(s, onFatalSignal, SA_RESETHAND | SA_NODEFER);
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) {
        struct sigaction previous {};
        // Only where nothing else (a library's timer) has claimed the signal.
        if (sigaction(s, nullptr, &previous) == 0 && !(previous.sa_flags & SA_SIGINFO) &&
            previous.sa_handler == SIG_DFL)
            replaceAction(s, onFatalSignal, SA_RESETHAND | SA_NODEFER);
    }
    replaceAction(SIGWINCH, onResize, SA_RESTART);
    replaceAction(SIGTSTP, onStop, SA_RESTART);
    replaceAction(SIGCONT, onContinue, SA_RESTART);
    gTerminal.handlersInstalled = true;
}

void uninstallHandlers() {
    if (!gTerminal.handlersInstalled) return;
    for (int s = 1; s < NSIG; ++s) {
        if (!gReplaced[s]) continue;
        sigaction(s, &gPreviousActions[s], nullptr);
        gReplaced[s] = false;
    }
    gTerminal.handlersInstalled = false;
}

// Appends text to a fixed buffer; the buffers are sized for the longest sequences below.
struct ByteList {
    char* data;
    size_t capacity;
    size_t& length;

    void add(const char* text) {
        const size_t n = std::strlen(text);
        assert(length + n <= capacity && "terminal sequence buffer too small");
        std::memcpy(data + length, text, n);
        length += n;
    }
    void addNumber(int value) {
        char digits[12];
        const int n = std::snprintf(digits, sizeof digits, "%d", value);
        if (n > 0) add(digits);
    }
};

constexpr uint32_t kGrowWaitMs = 1000;

// A descriptor of our own for the terminal, non-blocking, so that a terminal that stops reading
// cannot hold a frame or the restore for ever. It is a new open file description: the flag
// never reaches the shell's standard output, even if we are killed. Without a name for the
// terminal we write to standard output, blocking.
int openOutput() {
    char name[256];
    if (ttyname_r(STDOUT_FILENO, name, sizeof name) != 0) return STDOUT_FILENO;
    const int fd = ::open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return STDOUT_FILENO;
    if (!isatty(fd)) {
        ::close(fd);
        return STDOUT_FILENO;
    }
    return fd;
}

void closeOutput() {
    if (gTerminal.outputFd != STDOUT_FILENO) ::close(gTerminal.outputFd);
    gTerminal.outputFd = STDOUT_FILENO;
}

constexpr const char* kSynchronizedBegin = "\x1b[?2026h";
constexpr const char* kSynchronizedEnd = "\x1b[?2026l";

// One round of questions, ended by DA1, which every terminal answers: answers come in order,
// so what is unanswered when DA1's answer comes is unsupported. The kitty flags query went out
// just before, on entering.
constexpr const char* kQueries = "\x1b[?2026$p" // synchronized output (DECRQM 2026)
                                 "\x1b[>q"      // name and version (XTVERSION)
                                 // The palette's first 16 colours (OSC 4), to put back where
                                 // the terminal has no reset (OSC 104: urxvt)
                                 "\x1b]4;0;?;1;?;2;?;3;?;4;?;5;?;6;?;7;?;8;?;9;?;10;?;11;?;12;?;"
                                 "13;?;14;?;15;?\x1b\\"
                                 "\x1b[>c" // the terminal's type (DA2): VTE, GNU screen
                                 "\x1b[c"; // DA1
// For terminals that answer nothing at all, not even DA1.
constexpr uint32_t kAnswerWaitMs = 100;

constexpr const char* kMouseOn = "\x1b[?1002h\x1b[?1003h\x1b[?1006h";
// Pixel reports (SGR form, mode 1016) where the terminal knows its cell size in pixels, and
// the question whether it took them: the answer tells the decoder how to read reports.
constexpr const char* kPixelMouseOn = "\x1b[?1016h\x1b[?1016$p";
constexpr const char* kMouseOff = "\x1b[?1016l\x1b[?1006l\x1b[?1003l\x1b[?1002l";

// What leaving must undo beyond what entering did, known once the terminal has answered.
struct LeaveChoices {
    bool synchronizedOutput = false; // frames are wrapped: a cut one is ended
    bool clearTitle = true;          // no title stack known: the title we set goes
    // The palette is ours: set on entering, put back on leaving, entries 0-15 as the terminal
    // told them (null: not ours).
    const TerminalAnswers* palette = nullptr;
};

// Enter and leave, step by step as mirror images. `requestRows`/`requestColumns` > 0 ask the
// terminal to grow; the original size is then asked back on leave. Signal handlers read the
// leave bytes: they are blocked while the bytes change.
void buildSequences(int requestColumns, int requestRows, int originalColumns, int originalRows,
                    LeaveChoices choices) {
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    gTerminal.enterLength = 0;
    gTerminal.leaveLength = 0;
    ByteList enter{gTerminal.enterBytes, sizeof gTerminal.enterBytes, gTerminal.enterLength};
    ByteList leave{gTerminal.leaveBytes, sizeof gTerminal.leaveBytes, gTerminal.leaveLength};

    enter.add("\x1b[22;0t");  // push the window title (xterm's title stack)
    enter.add("\x1b[?1049h"); // alternate screen, saving the cursor
    enter.add("\x1b[?25l");   // hide the cursor
    enter.add("\x1b[?7l");    // no autowrap: writing the last column never scrolls
    // Kitty keyboard protocol: unambiguous Escape, press/repeat/release, all keys as
    // sequences; then ask which flags took (the decoder reads the reply). Others ignore both.
    enter.add("\x1b[>11u\x1b[?u");
    if (requestColumns > 0) {
        enter.add("\x1b[8;");
        enter.addNumber(requestRows);
        enter.add(";");
        enter.addNumber(requestColumns);
        enter.add("t");
    }
    if (choices.palette) enter.add(classicPaletteSequence());

    leave.add("\x18"); // CAN: ends any sequence a frame cut short left the terminal inside
    if (choices.synchronizedOutput) leave.add(kSynchronizedEnd); // ... and a frame so cut
    if (choices.palette) {
        // A terminal without OSC 104 (urxvt) gets its colours set back one by one: 0-15 as it
        // told them, the entries half may use as the xterm palette has them. OSC 104 then puts
        // back the terminal's own configured colours where it can.
        char text[64];
        leave.add("\x1b]4");
        for (uint32_t entry = 0; entry < TerminalOutput::kPaletteEntriesEnd; ++entry) {
            const bool told = entry < 16 && choices.palette->paletteKnown[entry];
            if (entry < 16 && !told) continue;
            leave.add(";");
            paletteEntryText(text, entry,
                             told ? choices.palette->paletteColor[entry]
                                  : packedColor(xterm256Color(static_cast<uint8_t>(entry))));
            leave.add(text);
        }
        leave.add("\x1b\\");
        leave.add(kResetPalette);
    }
    leave.add(kMouseOff);
    leave.add("\x1b[0m");
    // Cleared in the default colours: invisible on the alternate screen, which is left next;
    // where there is none, the last frame does not stay behind.
    leave.add("\x1b[H\x1b[2J");
    if (requestColumns > 0) {
        leave.add("\x1b[8;");
        leave.addNumber(originalRows);
        leave.add(";");
        leave.addNumber(originalColumns);
        leave.add("t");
    }
    leave.add("\x1b[<u");
    leave.add("\x1b[?7h");
    leave.add("\x1b[?25h");
    leave.add("\x1b[?1049l");
    if (choices.clearTitle) leave.add("\x1b]2;\a");
    leave.add("\x1b[23;0t"); // pop the title: the one before ours, where there is a stack
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// The terminal's size in cells, and of one cell in pixels (0 x 0 when it does not say); false
// when the terminal does not tell its size.
bool terminalSize(int& columns, int& rows, int* cellPixelWidth = nullptr,
                  int* cellPixelHeight = nullptr) {
    winsize size{};
    if (ioctl(gTerminal.outputFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return false;
    columns = size.ws_col;
    rows = size.ws_row;
    if (cellPixelWidth && cellPixelHeight) {
        *cellPixelWidth = size.ws_xpixel / size.ws_col;
        *cellPixelHeight = size.ws_ypixel / size.ws_row;
    }
    return true;
}

// Mouse reports follow the picture wherever the layout put it.
void followLayout(ConsolePlatform& p) {
    const PointerMap& old = p.decoder.pointer;
    PointerMap map = p.output.pointerMap();
    map.cellPixelWidth = old.cellPixelWidth;
    map.cellPixelHeight = old.cellPixelHeight;
    p.decoder.pointer = map;
}

// The mouse modes as the next frame sends them.
void appendMouseMode(ConsolePlatform& p) {
    if (!p.mouseUsable) return;
    const char* mode = p.mouseOn ? kMouseOn : kMouseOff;
    p.output.appendBytes(mode, std::strlen(mode));
    if (p.mouseOn && p.decoder.pointer.cellPixelWidth > 0 && p.decoder.pointer.cellPixelHeight > 0)
        p.output.appendBytes(kPixelMouseOn, std::strlen(kPixelMouseOn));
}

// Reads what the terminal sent into the decoder; false when it hung up (the quit flag is
// then set). Reads only what has arrived: should the terminal be in the shell's line mode for
// a moment (we were stopped), a read would wait for a whole line.
bool receive(InputDecoder& decoder, int waitMs) {
    if (decoder.freeSpace() == 0) return true;
    pollfd ready{gTerminal.inputFd, POLLIN, 0};
    if (poll(&ready, 1, waitMs) <= 0) return true;
    const ssize_t received =
        read(gTerminal.inputFd, decoder.buffer + decoder.length, decoder.freeSpace());
    if (received > 0) {
        decoder.commit(static_cast<size_t>(received), monotonicMilliseconds());
        return true;
    }
    if (received == 0 || hungUp(errno) || (ready.revents & (POLLHUP | POLLERR))) {
        // End of file on a terminal: it hung up.
        QuitFlag.store(true, std::memory_order_relaxed);
        return false;
    }
    return true;
}

// Asks the questions and waits for DA1's answer (kAnswerWaitMs at most); the answers land in
// the decoder, and keys typed meanwhile wait in its queue for pollInput.
void askTerminal(InputDecoder& decoder) {
    size_t done = 0;
    if (writeBounded(gTerminal.outputFd, kQueries, std::strlen(kQueries), done, kAnswerWaitMs,
                     true) != WriteResult::Done)
        return;
    const uint32_t start = monotonicMilliseconds();
    for (;;) {
        decoder.decodeAhead(monotonicMilliseconds());
        const uint32_t spent = monotonicMilliseconds() - start;
        if (decoder.answers.primaryAttributes || spent >= kAnswerWaitMs ||
            QuitFlag.load(std::memory_order_relaxed) || decoder.freeSpace() == 0)
            return;
        if (!receive(decoder, static_cast<int>(kAnswerWaitMs - spent))) return;
    }
}

// Acts on what the handlers flagged: re-enter after a continue, re-layout after a resize.
void handleSignalFlags(ConsoleScreen& screen) {
    ConsolePlatform& p = *screen.platform;
    if (gTerminal.resumed) {
        gTerminal.resumed = 0;
        // Whatever stopped us (SIGSTOP, SIGTTIN and SIGTTOU skip our handler), the shell may
        // have put its own modes back: leave what is left of ours, then enter afresh. The rest
        // of a cut frame is dropped; the leave sequence ends whatever sequence it cut.
        p.sent = p.output.length;
        p.output.invalidate();
        leaveTerminal();
        enterTerminal();
        p.decoder.reset();
        p.titlePending = true;
        p.mousePending = p.mouseOn;
        gTerminal.resized = 1; // the size may have changed while stopped
    }
    if (gTerminal.resized) {
        gTerminal.resized = 0;
        p.growPending = false;
        int columns = screen.width;
        int rows = screen.height;
        int pixelWidth = 0;
        int pixelHeight = 0;
        terminalSize(columns, rows, &pixelWidth, &pixelHeight);
        p.output.setTerminalSize(columns, rows);
        p.decoder.pointer.cellPixelWidth = pixelWidth;
        p.decoder.pointer.cellPixelHeight = pixelHeight;
        followLayout(p);
    }
}

// Sends what the terminal has not yet taken of the last frame, waiting a little at most.
bool sendFrame(ConsolePlatform& p) {
    TerminalOutput& out = p.output;
    // Keys typed meanwhile end the wait: the loop reads them, and the rest goes out next time.
    const uint32_t waitMs =
        p.decoder.length > 0 ? kFrameWaitWithInputMilliseconds : kFrameWaitMilliseconds;
    switch (writeBounded(gTerminal.outputFd, out.bytes.get(), out.length, p.sent, waitMs, true,
                         gTerminal.inputFd)) {
    case WriteResult::Done:
        return true;
    case WriteResult::Stalled:
        return false;
    case WriteResult::Failed:
        break;
    }
    if (hungUp(errno)) QuitFlag.store(true, std::memory_order_relaxed);
    // Part of the frame may be on screen: assume nothing about it next time.
    p.sent = out.length;
    out.invalidate();
    p.titlePending = true;
    p.mousePending = p.mouseOn;
    return false;
}

} // namespace

bool ConsoleScreen::open(const char* title, int32_t newWidth, int32_t newHeight) {
    assert(!platform && "ConsoleScreen::open called twice");
    if (!create(newWidth, newHeight)) return false;
    platform = new (std::nothrow) ConsolePlatform;
    if (!platform || !platform->output.create(newWidth, newHeight)) return false;
    setTitle(title);
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
    if (tcgetattr(STDIN_FILENO, &gTerminal.saved) != 0) return false;
    gTerminal.outputFd = openOutput();

    termios raw = gTerminal.saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON); // bytes as typed
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST); // "\n" moves down only; we send "\r" ourselves
    raw.c_cflag |= CS8;
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG); // Ctrl+C is a key
    raw.c_cc[VMIN] = 0; // reads return at once with what has arrived: input never blocks
    raw.c_cc[VTIME] = 0;
    gTerminal.raw = raw;

    int columns = newWidth;
    int rows = newHeight;
    const bool sizeKnown = terminalSize(columns, rows);
    // Room for the requested layout, Auto's best being wide; a larger side is kept.
    int wantColumns = 0;
    int wantRows = 0;
    displayGridSize(layout == DisplayLayout::Auto ? DisplayLayout::Wide : layout, newWidth,
                    newHeight, wantColumns, wantRows);
    const bool grow = sizeKnown && (columns < wantColumns || rows < wantRows);
    const int growColumns = grow ? (columns > wantColumns ? columns : wantColumns) : 0;
    const int growRows = grow ? (rows > wantRows ? rows : wantRows) : 0;
    buildSequences(growColumns, growRows, columns, rows, LeaveChoices{});

    installHandlers();
    if (!gTerminal.exitHookRegistered) {
        gTerminal.exitHookRegistered = std::atexit(atExit) == 0;
    }
    if (!enterTerminal()) return false;

    // In raw mode, so the answers are never echoed; the leave sequence follows them.
    askTerminal(platform->decoder);
    const TerminalAnswers& answers = platform->decoder.answers;
    const char* term = std::getenv("TERM");
    const bool gnuScreen =
        answers.isGnuScreen() || environmentSaysGnuScreen(term, std::getenv("TMUX"));
    platform->synchronizedOutput = answers.synchronizedOutputWorks();
    platform->mouseUsable = !gnuScreen;
    const ColorMode mode = resolveColorMode(colorMode, std::getenv("COLORTERM"), term, gnuScreen,
                                            answers.answeredPalette());
    const bool palette = mode == ColorMode::Palette;
    platform->output.halfGlyphs =
        answers.drawsBlockElements() ? HalfGlyphs::Either : HalfGlyphs::Lower;
    buildSequences(growColumns, growRows, columns, rows,
                   LeaveChoices{platform->synchronizedOutput, !answers.hasTitleStack(),
                                palette ? &answers : nullptr});
    if (palette) {
        // The rest of what entering does went out before the answers came.
        size_t done = 0;
        const char* set = classicPaletteSequence();
        writeBounded(gTerminal.outputFd, set, std::strlen(set), done, kRestoreWaitMilliseconds,
                     false);
    }
    platform->output.setColorMode(mode);
    platform->output.setLayout(layout);
    gTerminal.resized = 1; // lay out on the first frame, with the size the terminal took
    gTerminal.resumed = 0;
    handleSignalFlags(*this);
    platform->growPending = grow;
    platform->openedMs = monotonicMilliseconds();
    return true;
}

bool ConsoleScreen::present() {
    assert(platform && cells && "ConsoleScreen::present before a successful open");
    handleSignalFlags(*this);
    if (!gTerminal.entered) return false;
    ConsolePlatform& p = *platform;
    TerminalOutput& out = p.output;
    // A terminal still busy with the last frame skips this one.
    if (p.sent < out.length && !sendFrame(p)) return false;
    out.begin();
    if (p.synchronizedOutput) out.appendBytes(kSynchronizedBegin, std::strlen(kSynchronizedBegin));
    const size_t opening = out.length;
    if (p.titlePending) out.appendTitle(p.title);
    if (p.mousePending) appendMouseMode(p);
    out.appendFrame(*this);
    if (out.length == opening) {
        out.length = 0; // nothing changed: nothing to send
    } else if (p.synchronizedOutput) {
        out.appendTrailer(kSynchronizedEnd, std::strlen(kSynchronizedEnd));
    }
    if (p.growPending && monotonicMilliseconds() - p.openedMs >= kGrowWaitMs) p.growPending = false;
    if (out.cropped() && !p.growPending) {
        croppedColumns = out.terminalColumns;
        croppedRows = out.terminalRows;
    }
    p.sent = 0;
    p.titlePending = false;
    p.mousePending = false;
    return sendFrame(p);
}

bool ConsoleScreen::pollInput(InputRecord& event) {
    assert(platform && "ConsoleScreen::pollInput before open");
    handleSignalFlags(*this);
    InputDecoder& decoder = platform->decoder;
    // Everything that has arrived first, so a sequence whose rest came while the loop was busy
    // is completed; a lone ESC that had waited past the timeout by then is still Escape (the
    // decoder notes it as the new bytes come). The time is taken after the read, as the
    // decoder's times must not go back.
    if (gTerminal.entered) receive(decoder, 0);
    return decoder.next(event, monotonicMilliseconds());
}

void ConsoleScreen::setMouseInput(bool on) {
    assert(platform && "ConsoleScreen::setMouseInput before open");
    platform->mouseOn = on;
    platform->mousePending = true;
    platform->decoder.mouseEnabled = on && platform->mouseUsable;
    platform->decoder.pixelReports = false; // until the terminal answers again
}

void ConsoleScreen::setTitle(const char* title) {
    assert(platform && "ConsoleScreen::setTitle before open");
    if (std::strncmp(platform->title, title, TerminalOutput::kMaxTitle) == 0) return;
    std::strncpy(platform->title, title, TerminalOutput::kMaxTitle);
    platform->title[TerminalOutput::kMaxTitle] = 0;
    platform->titlePending = true;
}

void ConsoleScreen::cycleLayout() {
    assert(platform && "ConsoleScreen::cycleLayout before open");
    TerminalOutput& out = platform->output;
    const DisplayLayout next = out.layout == DisplayLayout::Wide   ? DisplayLayout::Half
                               : out.layout == DisplayLayout::Half ? DisplayLayout::Cells
                                                                   : DisplayLayout::Wide;
    out.setLayout(next);
    followLayout(*platform);
}

void ConsoleScreen::close() {
    // The rest of a cut frame is dropped, so a slow terminal does not hold the restore up: the
    // leave sequence ends whatever sequence the cut left open (CAN), and its clear wipes what
    // the rest would have drawn.
    leaveTerminal();
    uninstallHandlers();
    closeOutput();
    delete platform;
    platform = nullptr;
    cells.reset();
    width = 0;
    height = 0;
}
