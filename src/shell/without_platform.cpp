// A build without the platform layer (KAVEO_PLATFORM off) has neither the terminal demo nor
// the capture: only the headless commands.
#include "capture/capture_usage.h"
#include "shell/helper_programs.h"
#include "shell/terminal_demo.h"
#include "shell/terminal_usage.h"

int runTerminalDemo(int, char**) {
    std::fputs("kaveo: this build has no terminal demo; use kaveo render\n", stderr);
    return 2;
}

int runCaptureProgram(int, char**) {
    std::fputs("kaveo: this build has no capture command; use kaveo render\n", stderr);
    return 2;
}

void printTerminalUsage(std::FILE* to) {
    std::fputs("(this build has no terminal demo)\n", to);
}

void printCaptureUsage(std::FILE* to) {
    std::fputs("(this build has no capture command)\n", to);
}
