// kaveo-capture: the capture command as a program of its own, which `kaveo capture` runs, so
// that only it loads FFmpeg's libraries and libpng.
#include "capture/capture_command.h"
#include "command/out_of_memory.h"

int main(int argc, char** argv) {
    return runCatchingOutOfMemory("capture", runCaptureCommand, argc - 1, argv + 1);
}
