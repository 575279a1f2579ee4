// The terminal demo in a build without the platform layer (KAVEO_PLATFORM off): only the
// headless commands exist there.
#include "shell/terminal_demo.h"

int runTerminalDemo(int, char**) {
    std::fputs("kaveo: this build has no terminal demo; use kaveo render\n", stderr);
    return 2;
}

void printTerminalUsage(std::FILE* to) {
    std::fputs("(this build has no terminal demo)\n", to);
}
