// Start-up failures on Windows: one message box with no owner window, shown while the
// console (if it opened) still stands; the DemoApp teardown closes the console afterwards.
#include <windows.h>

#include "shell/startup_error.h"

void showStartupError(ConsoleScreen&, const char* text) {
    MessageBoxA(nullptr, text, "Demo error.", MB_OK | MB_ICONERROR);
}
