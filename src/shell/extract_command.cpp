// `kaveo extract NAME [--output FILE]`: writes an embedded resource unchanged.
#include "shell/extract_command.h"

#include <cstdio>
#include <cstring>

#include "command/option_value.h"
#include "command/out_of_memory.h"
#include "command/output_file.h"
#include "gfx/resource_blob.h"
#include "media/resource_store.h"
#include "shell/render_command.h"

namespace {

int extractCommand(int argc, char** argv) {
    const char* name = nullptr;
    const char* output = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* value = nullptr;
        if (optionValue(argc, argv, i, "--output", value)) {
            if (value == nullptr || *value == '\0' || output != nullptr) {
                std::fputs("kaveo extract: --output needs one file name\n", stderr);
                printUsage(stderr);
                return 2;
            }
            output = value;
        } else if (argv[i][0] == '-' || name != nullptr) {
            std::fprintf(stderr, "kaveo extract: unexpected argument \"%s\"\n", argv[i]);
            printUsage(stderr);
            return 2;
        } else {
            name = argv[i];
        }
    }
    if (name == nullptr) {
        std::fputs("kaveo extract: which resource?\n", stderr);
        printUsage(stderr);
        return 2;
    }
    ResourceBlob blob;
    if (blob.load(name, kResourceTypeData) == nullptr) {
        std::fprintf(stderr, "kaveo extract: no resource \"%s\"; the resources are:", name);
        for (int32_t i = 0; i < resourceCount(); ++i) std::fprintf(stderr, " %s", resourceName(i));
        std::fputs("\n", stderr);
        return 2;
    }
    if (refuseTerminal("extract", output)) return 2;
    OutputFile out;
    if (!out.open(output)) {
        std::fprintf(stderr, "kaveo extract: cannot create %s: %s\n", out.name(),
                     std::strerror(out.error));
        return 1;
    }
    out.write(blob.data, blob.size);
    if (!out.finish()) {
        std::fprintf(stderr, "kaveo extract: cannot write %s: %s\n", out.name(),
                     std::strerror(out.error));
        return 1;
    }
    return 0;
}

} // namespace

int runExtractCommand(int argc, char** argv) {
    return runCatchingOutOfMemory("extract", extractCommand, argc, argv);
}
