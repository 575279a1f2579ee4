// Start-up failures on a POSIX terminal: the picture would hide any text, so the terminal
// is restored first (closing twice is harmless), then caption and text go to stderr.
#include <cstdio>

#include "console/console_screen.h"
#include "shell/startup_error.h"

void showStartupError(ConsoleScreen& console, const char* text) {
    console.close();
    std::fprintf(stderr, "Demo error. %s\n", text);
}
