// Finds a helper program relative to this executable (/proc/self/exe): where the package
// installs it (KAVEO_HELPER_DIR, relative to the launcher's folder) or beside it (a build
// tree), and executes it.
#include "shell/helper_programs.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The folder of this executable, with its final slash; empty when it cannot be told.
std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    const std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// `command` names the command in messages.
int runHelper(const char* name, const char* command, int argc, char** argv) {
    const std::string folder = programFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "kaveo%s: cannot find this program (/proc/self/exe): %s\n", command,
                     std::strerror(errno));
        return 1;
    }
    const std::string installed = folder + KAVEO_HELPER_DIR + "/" + name;
    const std::string beside = folder + name;
    const std::string& program = access(installed.c_str(), X_OK) == 0 ? installed : beside;
    std::vector<char*> arguments;
    arguments.push_back(const_cast<char*>(program.c_str()));
    for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "kaveo%s: cannot run %s: %s\n", command, program.c_str(),
                 std::strerror(errno));
    return 1;
}

} // namespace

int runCaptureProgram(int argc, char** argv) {
    return runHelper("kaveo-capture", " capture", argc, argv);
}
