// The capture command in a build without the platform layer (KAVEO_PLATFORM off).
#include <cstdio>

#include "capture/capture_usage.h"
#include "shell/capture_program.h"

int runCaptureProgram(int, char**) {
    std::fputs("kaveo: this build has no capture command; use kaveo render\n", stderr);
    return 2;
}

void printCaptureUsage(std::FILE* to) {
    std::fputs("(this build has no capture command)\n", to);
}
