// The kaveo executable: without a command it plays the demo in the terminal; the headless
// commands (render, extract) draw frames or write resources without a terminal or sound, and
// capture writes the demo as a video, pictures or an asciicast recording.
#include <cstdio>
#include <cstring>

#include "capture/capture_command.h"
#include "shell/render_command.h"
#include "shell/terminal_demo.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0)
        return runRenderCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "extract") == 0)
        return runExtractCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "capture") == 0)
        return runCaptureCommand(argc - 2, argv + 2);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printTerminalUsage(stdout);
        std::fputc('\n', stdout);
        printUsage(stdout);
        std::fputc('\n', stdout);
        printCaptureUsage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kaveo %s\n", KAVEO_VERSION);
        return 0;
    }
    if (argc == 1 || argv[1][0] == '-') return runTerminalDemo(argc - 1, argv + 1);
    std::fprintf(stderr, "kaveo: unknown command \"%s\"\n", argv[1]);
    printTerminalUsage(stderr);
    printUsage(stderr);
    return 2;
}
