// The fake console back end (see fake_console.h).
#include "fake_console.h"

FakeConsoleState FakeConsole;
std::atomic<bool> QuitFlag{false};

bool ConsoleScreen::open(const char* title, int32_t newWidth, int32_t newHeight) {
    FakeConsole.title = title;
    return create(newWidth, newHeight);
}

bool ConsoleScreen::present() {
    ++FakeConsole.presents;
    return true;
}

bool ConsoleScreen::pollInput(InputRecord& event) {
    while (!FakeConsole.scheduled.empty() &&
           FakeConsole.scheduled.front().first <= FakeConsole.presents) {
        FakeConsole.pending.push_back(FakeConsole.scheduled.front().second);
        FakeConsole.scheduled.pop_front();
    }
    if (FakeConsole.pending.empty()) return false;
    event = FakeConsole.pending.front();
    FakeConsole.pending.pop_front();
    return true;
}

void ConsoleScreen::setMouseInput(bool on) {
    FakeConsole.mouseInput = on;
}

void ConsoleScreen::setTitle(const char* title) {
    FakeConsole.title = title;
}

void ConsoleScreen::cycleLayout() {
    ++FakeConsole.layoutCycles;
}

void ConsoleScreen::close() {
    cells.reset();
    width = height = 0;
}

InputRecord keyEvent(uint16_t virtualKey, bool down) {
    InputRecord record{};
    record.eventType = kKeyEvent;
    record.key.keyDown = down;
    record.key.repeatCount = 1;
    record.key.virtualKeyCode = virtualKey;
    return record;
}

InputRecord mouseEvent(int16_t column, int16_t row, uint32_t buttons, uint32_t flags) {
    InputRecord record{};
    record.eventType = kMouseEvent;
    record.mouse.column = column;
    record.mouse.row = row;
    record.mouse.buttonState = buttons;
    record.mouse.eventFlags = flags;
    return record;
}
