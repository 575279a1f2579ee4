// What --help says about playing the demo in the terminal.
#include "shell/terminal_usage.h"

void printTerminalUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo [play] [--silent] [--colors auto|16|256|24bit|palette]\n"
        "             [--layout auto|wide|half|cells]\n"
        "\n"
        "Plays the demo with its soundtrack in this terminal. The picture is 80 x 50 square\n"
        "cells, and a terminal's characters are about twice as tall as wide: it is shown\n"
        "whole and round at 160 x 50 or larger, and from 80 x 25 in 256 or 24-bit colour.\n"
        "  --silent   play without sound; the demo keeps its own time\n"
        "  --colors   colour mode: auto (the default: palette where the terminal tells its\n"
        "             palette colours, else from COLORTERM and TERM), 16 (the terminal's\n"
        "             own colours), 256 or 24bit (the classic console palette), or palette\n"
        "             (the terminal's palette set to the classic colours while playing and\n"
        "             restored on leaving: the exact colours at 16-colour cost; where the\n"
        "             terminal does not tell its palette colours, or in GNU screen, 24bit)\n"
        "  --layout   how cells become characters: wide (each cell as two columns, 160 x 50),\n"
        "             half (two stacked cells in one half-block character, their colours\n"
        "             mixed by the shading, 80 x 25), cells (one character per cell, 80 x 50,\n"
        "             stretched tall), or auto (the default: wide where it fits, else half\n"
        "             in 256, 24-bit or palette colour, else cells; chosen again on every\n"
        "             resize).\n"
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
