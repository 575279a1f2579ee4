// A command's body run with memory running out caught.
#include "command/out_of_memory.h"

#include <cstdio>
#include <new>

int runCatchingOutOfMemory(const char* command, int (*body)(int, char**), int argc, char** argv) {
    try {
        return body(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "kaveo %s: out of memory\n", command);
        return 1;
    }
}
