// The kaveo executable: dispatches the headless commands (render, extract), --help and
// --version.
#include <cstdio>
#include <cstring>

#include "shell/render_command.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0)
        return runRenderCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "extract") == 0)
        return runExtractCommand(argc - 2, argv + 2);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kaveo %s\n", KAVEO_VERSION);
        return 0;
    }
    if (argc == 1) {
        std::puts("kaveo: the demo does not play in the terminal yet; render its frames instead,\n"
                  "for example: kaveo render --frames 990 --format text\n");
        printUsage(stdout);
        return 0;
    }
    std::fprintf(stderr, "kaveo: unknown command \"%s\"\n", argv[1]);
    printUsage(stderr);
    return 2;
}
