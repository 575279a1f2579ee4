// The kaveo executable: without a command (or with `play`) it plays the demo in the terminal;
// the headless commands (render, extract) draw frames or write
// resources without a terminal or sound, and capture (through kaveo-capture) writes the demo
// as a video, pictures or an asciicast recording.
#include <cstdio>
#include <cstring>

#include "capture/capture_usage.h"
#include "shell/extract_command.h"
#include "shell/helper_programs.h"
#include "shell/render_command.h"
#include "shell/terminal_demo.h"
#include "shell/terminal_usage.h"

namespace {

// --help among the terminal demo's options wins over the others (`kaveo --silent --help`,
// `kaveo play --help`).
bool asksForHelp(int argc, char** argv) {
    if (argc < 2 || (argv[1][0] != '-' && std::strcmp(argv[1], "play") != 0)) return false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0)
        return runRenderCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "extract") == 0)
        return runExtractCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "capture") == 0)
        return runCaptureProgram(argc - 2, argv + 2);
    if (asksForHelp(argc, argv)) {
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
    // The default command also has a name, so that scripts can say what they mean.
    if (std::strcmp(argv[1], "play") == 0) return runTerminalDemo(argc - 2, argv + 2);
    std::fprintf(stderr, "kaveo: unknown command \"%s\"\n", argv[1]);
    printTerminalUsage(stderr);
    printUsage(stderr);
    return 2;
}
