// The terminal demo's command line: options into a DemoApp, then DemoApp::run.
#include "shell/terminal_demo.h"

#include <cstring>

#include "console/display_layout.h"
#include "shell/demo_app.h"

namespace {

// Reads the options into `app`: 0, or 2 after naming a bad one with the usage.
int parseTerminalOptions(int argc, char** argv, DemoApp& app) {
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

void printTerminalUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo [play] [--silent] [--colors auto|16|256|24bit]\n"
        "             [--layout auto|wide|half|cells]\n"
        "\n"
        "Plays the demo with its soundtrack in this terminal. The picture is 80 x 50 square\n"
        "cells, and a terminal's characters are about twice as tall as wide: it is shown\n"
        "whole and round at 160 x 50 or larger, and from 80 x 25 in 256 or 24-bit colour.\n"
        "  --silent   play without sound; the demo keeps its own time\n"
        "  --colors   colour mode: auto (from COLORTERM and TERM, the default), 16 (the\n"
        "             terminal's own colours), 256 or 24bit (the classic console palette)\n"
        "  --layout   how cells become characters: wide (each cell as two columns, 160 x 50),\n"
        "             half (two stacked cells in one half-block character, their colours\n"
        "             mixed by the shading, 80 x 25), cells (one character per cell, 80 x 50,\n"
        "             stretched tall), or auto (the default: wide where it fits, else half\n"
        "             in 256 or 24-bit colour, else cells; chosen again on every resize).\n"
        "             A terminal too small shows the top-left part, with a note at exit.\n"
        "\n"
        "keys: Escape quit; Space statistics in the title and mouse coordinates;\n"
        "      Page Up / Page Down pause and seek 4 s forward / back per key stroke,\n"
        "      Right / Left 0.4 s (at 100 frames per second; the step grows with the\n"
        "      frame time); Home pause at the start; Up resume; Down end; M mute; N unmute;\n"
        "      Tab the next layout (wide, half, cells), kept from then on.\n"
        "mouse (after Space): left drag seeks (a column is 0.1 s) and pauses, left double\n"
        "      click resumes; right click marks a cell, right double click clears the mark.\n"
        "\n"
        "environment: COLORTERM and TERM choose the colour mode; SDL_AUDIODRIVER chooses the\n"
        "      sound output (for example pulseaudio, alsa, or dummy for none).\n",
        to);
}

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
