// ConsoleScreen on Windows: the Win32 console of kernel32. The program is a GUI-subsystem
// process and allocates its own console, sized to the picture, with no cursor and no input
// processing; the back buffer is an array of CHAR_INFO already and goes out in one call.
// Implements: open, present (code page 437 bytes, 16-colour attributes as they stand),
// pollInput (key and mouse events, others passed on by type only), setMouseInput,
// setTitle, close and the quit flag. colorMode and layout are terminal notions and are
// ignored here: the console shows the 80 x 50 grid in its own font.
#include <windows.h>

#include <cassert>
#include <new>

#include "console/console_control_win32.h"
#include "console/console_screen.h"

std::atomic<bool> QuitFlag{false};

// The two console handles; INVALID_HANDLE_VALUE until opened.
struct ConsolePlatform {
    HANDLE input = INVALID_HANDLE_VALUE;  // "CONIN$"
    HANDLE output = INVALID_HANDLE_VALUE; // "CONOUT$"
    bool allocated = false;               // AllocConsole made the console: close frees it
};

static_assert(sizeof(Cell) == sizeof(CHAR_INFO), "a Cell is a CHAR_INFO");

namespace {

// Set by close(), the last step of the program's teardown; never closed, since the control
// handler may be waiting on it until the process ends. Manual reset: it stays set.
const HANDLE teardownDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);

// Windows ends the process about five seconds after a close event, and soon after the
// handler returns: waiting longer would gain nothing.
constexpr DWORD kTeardownWaitMilliseconds = 5000;

} // namespace

// Runs on a thread the system creates for the event. Closing the window, logging off and
// shutting down end the run; Ctrl+C (which input mode 0 turns into a key anyway) goes on
// down the handler chain.
BOOL WINAPI onConsoleControl(DWORD controlType) {
    switch (controlType) {
    case CTRL_BREAK_EVENT:
        QuitFlag.store(true, std::memory_order_relaxed);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The process ends soon after this returns: let the main loop finish its frame and
        // the teardown (the audio stopped, the timer period ended) first.
        QuitFlag.store(true, std::memory_order_relaxed);
        if (teardownDone != nullptr) WaitForSingleObject(teardownDone, kTeardownWaitMilliseconds);
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {

bool isOpenHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void translate(const INPUT_RECORD& from, InputRecord& to) {
    to = InputRecord{};
    to.eventType = from.EventType;
    if (from.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& key = from.Event.KeyEvent;
        to.key.keyDown = key.bKeyDown != FALSE;
        to.key.repeatCount = key.wRepeatCount;
        to.key.virtualKeyCode = key.wVirtualKeyCode;
        to.key.asciiChar = static_cast<uint8_t>(key.uChar.AsciiChar);
    } else if (from.EventType == MOUSE_EVENT) {
        const MOUSE_EVENT_RECORD& mouse = from.Event.MouseEvent;
        to.mouse.column = mouse.dwMousePosition.X;
        to.mouse.row = mouse.dwMousePosition.Y;
        to.mouse.buttonState = mouse.dwButtonState;
        to.mouse.eventFlags = mouse.dwEventFlags;
    }
}

} // namespace

bool ConsoleScreen::open(const char* title, int32_t newWidth, int32_t newHeight) {
    assert(platform == nullptr && "ConsoleScreen::open called twice");
    if (teardownDone != nullptr) ResetEvent(teardownDone); // this console's teardown is ahead
    if (newWidth < 1 || newHeight < 1 || newWidth > 0x7FFF || newHeight > 0x7FFF) return false;
    if (!create(newWidth, newHeight)) return false;
    platform = new (std::nothrow) ConsolePlatform;
    if (platform == nullptr) return false;

    if (!AllocConsole()) return false;
    platform->allocated = true;
    SetConsoleTitleA(title);
    platform->input =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (platform->input == INVALID_HANDLE_VALUE) return false;
    // No write sharing: nobody else draws into our screen buffer.
    platform->output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (platform->output == INVALID_HANDLE_VALUE) return false;

    // Input mode 0: no line editing, no echo, and Ctrl+C is a plain key, not a signal.
    SetConsoleMode(platform->input, 0);
    SetConsoleMode(platform->output, 0);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);

    const COORD size{static_cast<SHORT>(width), static_cast<SHORT>(height)};
    if (!SetConsoleScreenBufferSize(platform->output, size)) return false;
    // A screen too small for the whole buffer keeps a smaller window; that is not fatal.
    const SMALL_RECT window{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    SetConsoleWindowInfo(platform->output, TRUE, &window);
    const CONSOLE_CURSOR_INFO cursor{1, FALSE};
    SetConsoleCursorInfo(platform->output, &cursor);

    // Some consoles (wine's among them) deliver keys to a program that only counts pending
    // events once the queue has been peeked at; one peek here costs nothing elsewhere.
    INPUT_RECORD peeked{};
    DWORD peekedCount = 0;
    PeekConsoleInputA(platform->input, &peeked, 1, &peekedCount);
    return true;
}

bool ConsoleScreen::present() {
    assert(platform != nullptr && isOpenHandle(platform->output) && "present before open");
    const COORD size{static_cast<SHORT>(width), static_cast<SHORT>(height)};
    SMALL_RECT region{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    return WriteConsoleOutputA(platform->output, reinterpret_cast<const CHAR_INFO*>(cells.get()),
                               size, COORD{0, 0}, &region) != FALSE;
}

bool ConsoleScreen::pollInput(InputRecord& event) {
    if (platform == nullptr || !isOpenHandle(platform->input)) return false;
    DWORD pending = 0;
    if (!GetNumberOfConsoleInputEvents(platform->input, &pending) || pending == 0) return false;
    INPUT_RECORD record{};
    DWORD read = 0;
    // At least one event is pending, so reading one does not block.
    if (!ReadConsoleInputA(platform->input, &record, 1, &read) || read != 1) return false;
    translate(record, event);
    return true;
}

void ConsoleScreen::setMouseInput(bool on) {
    if (platform == nullptr || !isOpenHandle(platform->input)) return;
    SetConsoleMode(platform->input, on ? ENABLE_MOUSE_INPUT : 0);
}

void ConsoleScreen::setTitle(const char* title) {
    SetConsoleTitleA(title);
}

void ConsoleScreen::cycleLayout() {}

void ConsoleScreen::close() {
    if (platform != nullptr) {
        if (isOpenHandle(platform->input)) CloseHandle(platform->input);
        if (isOpenHandle(platform->output)) CloseHandle(platform->output);
        // Only a console we made is ours to free (AllocConsole fails when the process has
        // one already); one that is going away by itself (window closed, logoff, shutdown)
        // is left to the system.
        if (platform->allocated && !QuitFlag.load(std::memory_order_relaxed)) FreeConsole();
        delete platform;
        platform = nullptr;
    }
    cells.reset();
    width = 0;
    height = 0;
    // The teardown is done: a waiting close, logoff or shutdown handler may return now.
    if (teardownDone != nullptr) SetEvent(teardownDone);
}
