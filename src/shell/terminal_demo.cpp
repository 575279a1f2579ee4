// The terminal demo's command line: options into a DemoApp, then DemoApp::run.
#include "shell/terminal_demo.h"

#include <cstring>

#include "console/display_layout.h"
#include "shell/demo_app.h"
#include "shell/terminal_usage.h"

namespace {

// Reads the options into `app`: 0, or 2 after naming a bad one with the usage.
int parseTerminalOptions(int argc, char** argv, DemoApp& app) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) {
            app.silent = true;
        } else if (std::strcmp(argv[i], "--colors") == 0) {
            if (i + 1 == argc) {
                std::fputs("kaveo: --colors needs a value (auto, 16, 256, 24bit or palette)\n",
                           stderr);
                printTerminalUsage(stderr);
                return 2;
            }
            if (!parseColorMode(argv[++i], app.console.colorMode)) {
                std::fprintf(stderr, "kaveo: unknown colour mode \"%s\"\n", argv[i]);
                printTerminalUsage(stderr);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--layout") == 0) {
            if (i + 1 == argc) {
                std::fputs("kaveo: --layout needs a value (auto, wide, half or cells)\n", stderr);
                printTerminalUsage(stderr);
                return 2;
            }
            if (!parseDisplayLayout(argv[++i], app.console.layout)) {
                std::fprintf(stderr, "kaveo: unknown layout \"%s\"\n", argv[i]);
                printTerminalUsage(stderr);
                return 2;
            }
        } else {
            std::fprintf(stderr, "kaveo: unknown option \"%s\"\n", argv[i]);
            printTerminalUsage(stderr);
            return 2;
        }
    }
    return 0;
}

} // namespace

int runTerminalDemo(int argc, char** argv) {
    int32_t code = 0;
    int32_t croppedColumns = 0;
    int32_t croppedRows = 0;
    {
        DemoApp app;
        code = parseTerminalOptions(argc, argv, app);
        if (code != 0) return code;
        code = app.run();
        croppedColumns = app.console.croppedColumns;
        croppedRows = app.console.croppedRows;
    } // the DemoApp's teardown gives the terminal back before the note
    if (code == 0 && croppedColumns > 0) {
        std::fprintf(stderr,
                     "kaveo: the terminal was %d \u00d7 %d; 160 \u00d7 50 or more shows the "
                     "whole picture in its true proportions.\n",
                     static_cast<int>(croppedColumns), static_cast<int>(croppedRows));
    }
    return code;
}
