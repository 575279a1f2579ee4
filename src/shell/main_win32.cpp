// The Windows entry point: a GUI-subsystem program (it allocates its own console), which
// builds the one DemoApp, runs it and returns its exit code.
#include <windows.h>

#include <cstring>

#include "shell/demo_app.h"

namespace {

// True when the command line holds the word `option` on its own (the only option, for
// machines without a sound device; the program otherwise ignores its command line).
bool hasOption(const char* commandLine, const char* option) {
    const size_t length = std::strlen(option);
    for (const char* p = commandLine; p != nullptr && *p != '\0'; ++p) {
        const bool startsWord = p == commandLine || p[-1] == ' ' || p[-1] == '\t';
        const char after = p[length];
        if (startsWord && std::strncmp(p, option, length) == 0 &&
            (after == '\0' || after == ' ' || after == '\t')) {
            return true;
        }
    }
    return false;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Construct, run, destroy (the teardown), then return what run returned.
    int32_t result = 0;
    {
        DemoApp app;
        app.silent = hasOption(commandLine, "--silent");
        result = app.run();
    }
    return result;
}
