// A console back end for tests: events are queued by the test, the title and the mouse
// mode are recorded, and present() only counts.
#pragma once

#include <deque>
#include <string>
#include <utility>

#include "console/console_screen.h"

struct FakeConsoleState {
    std::deque<InputRecord> pending;
    // Events that arrive once `presents` has reached the count: (count, event), in order.
    std::deque<std::pair<int, InputRecord>> scheduled;
    std::string title;
    bool mouseInput = false;
    int presents = 0;
    int layoutCycles = 0;
};

extern FakeConsoleState FakeConsole;

InputRecord keyEvent(uint16_t virtualKey, bool down);
InputRecord mouseEvent(int16_t column, int16_t row, uint32_t buttons, uint32_t flags);
