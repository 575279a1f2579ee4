// The terminal demo's command line: options into a DemoApp, then DemoApp::run.
#include "shell/terminal_demo.h"

#include <cstring>

#include "shell/demo_app.h"

namespace {

bool parseColorMode(const char* text, ColorMode& mode) {
    struct Name {
        const char* name;
        ColorMode mode;
    };
    static constexpr Name kNames[] = {{"auto", ColorMode::Auto},
                                      {"16", ColorMode::Colors16},
                                      {"256", ColorMode::Colors256},
                                      {"24bit", ColorMode::TrueColor},
                                      {"truecolor", ColorMode::TrueColor}};
    for (const Name& n : kNames) {
        if (std::strcmp(text, n.name) == 0) {
            mode = n.mode;
            return true;
        }
    }
    return false;
}

} // namespace

void printTerminalUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo [play] [--silent] [--colors auto|16|256|24bit]\n"
        "\n"
        "Plays the demo with its soundtrack in this terminal (best at 80 x 50 or larger).\n"
        "  --silent   play without sound; the demo keeps its own time\n"
        "  --colors   colour mode: auto (from COLORTERM and TERM, the default), 16 (the\n"
        "             terminal's own colours), 256 or 24bit (the classic console palette)\n"
        "\n"
        "keys: Escape quit; Space statistics in the title and mouse coordinates;\n"
        "      Page Up / Page Down pause and seek 4 s forward / back per key stroke,\n"
        "      Right / Left 0.4 s (at 100 frames per second; the step grows with the\n"
        "      frame time); Home pause at the start; Up resume; Down end; M mute; N unmute.\n"
        "mouse (after Space): left drag seeks (a column is 0.1 s) and pauses, left double\n"
        "      click resumes; right click marks a cell, right double click clears the mark.\n"
        "\n"
        "environment: COLORTERM and TERM choose the colour mode; SDL_AUDIODRIVER chooses the\n"
        "      sound output (for example pulseaudio, alsa, or dummy for none).\n",
        to);
}

int runTerminalDemo(int argc, char** argv) {
    DemoApp app;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) {
            app.silent = true;
        } else if (std::strcmp(argv[i], "--colors") == 0) {
            if (i + 1 == argc) {
                std::fputs("kaveo: --colors needs a value (auto, 16, 256 or 24bit)\n", stderr);
                printTerminalUsage(stderr);
                return 2;
            }
            if (!parseColorMode(argv[++i], app.console.colorMode)) {
                std::fprintf(stderr, "kaveo: unknown colour mode \"%s\"\n", argv[i]);
                printTerminalUsage(stderr);
                return 2;
            }
        } else {
            std::fprintf(stderr, "kaveo: unknown option \"%s\"\n", argv[i]);
            printTerminalUsage(stderr);
            return 2;
        }
    }
    return app.run();
}
