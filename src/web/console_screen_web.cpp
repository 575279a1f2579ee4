// Console back end for the web player: the back buffer lives in the module's memory and the
// page paints it after each frame, so present() has nothing to send.
// Implements: [X] an input queue filled by the page's key and mouse events
//             [X] the title (the page shows it as the statistics line) and the mouse mode
// Leaves out: colour modes (the page paints the classic palette itself), the quit flag's
//             setters (a page is closed, not signalled; QuitFlag stays false).
#include <cstring>
#include <new>

#include "web/console_web.h"

std::atomic<bool> QuitFlag{false};

struct ConsolePlatform {
    static constexpr int kQueueSize = 64;
    InputRecord queue[kQueueSize];
    int first = 0; // index of the oldest pending event
    int count = 0;
    bool mouseInput = false;
    char title[128] = {};
};

bool ConsoleScreen::open(const char* title, int32_t columns, int32_t rows) {
    if (platform == nullptr) platform = new (std::nothrow) ConsolePlatform;
    if (platform == nullptr) return false;
    setTitle(title);
    return create(columns, rows);
}

bool ConsoleScreen::present() {
    return platform != nullptr;
}

bool ConsoleScreen::pollInput(InputRecord& event) {
    if (platform == nullptr || platform->count == 0) return false;
    event = platform->queue[platform->first];
    platform->first = (platform->first + 1) % ConsolePlatform::kQueueSize;
    --platform->count;
    return true;
}

void ConsoleScreen::setMouseInput(bool on) {
    if (platform != nullptr) platform->mouseInput = on;
}

// The page shows the cells in square pixels itself: there is no other layout to switch to.
void ConsoleScreen::cycleLayout() {}

void ConsoleScreen::setTitle(const char* title) {
    if (platform == nullptr || title == nullptr) return;
    std::strncpy(platform->title, title, sizeof platform->title - 1);
    platform->title[sizeof platform->title - 1] = '\0';
}

void ConsoleScreen::close() {
    delete platform;
    platform = nullptr;
    cells.reset();
    width = 0;
    height = 0;
}

bool consolePushInput(ConsoleScreen& console, const InputRecord& event) {
    ConsolePlatform* p = console.platform;
    if (p == nullptr || p->count == ConsolePlatform::kQueueSize) return false;
    if (event.eventType == kMouseEvent && !p->mouseInput) return false;
    p->queue[(p->first + p->count) % ConsolePlatform::kQueueSize] = event;
    ++p->count;
    return true;
}

bool consoleMouseInput(const ConsoleScreen& console) {
    return console.platform != nullptr && console.platform->mouseInput;
}

const char* consoleTitle(const ConsoleScreen& console) {
    return console.platform != nullptr ? console.platform->title : "";
}
