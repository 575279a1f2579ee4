// kaveo-play: the demo in the terminal as a program of its own, which `kaveo` runs to play.
// argv holds the terminal demo's options after the program's name.
#include "shell/terminal_demo.h"

int main(int argc, char** argv) {
    return runTerminalDemo(argc - 1, argv + 1);
}
