// Finds kaveo-capture relative to this executable (/proc/self/exe), where the package
// installs it (KAVEO_CAPTURE_PATH, relative to the program's folder) or beside it (a build
// tree), and executes it.
#include "shell/capture_program.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kCaptureName = "kaveo-capture";

// The folder of this executable, with its final slash; empty when it cannot be told.
std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    const std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

} // namespace

int runCaptureProgram(int argc, char** argv) {
    const std::string folder = programFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "kaveo capture: cannot find this program (/proc/self/exe): %s\n",
                     std::strerror(errno));
        return 1;
    }
    const std::string installed = folder + KAVEO_CAPTURE_PATH;
    const std::string beside = folder + kCaptureName;
    const std::string& program = access(installed.c_str(), X_OK) == 0 ? installed : beside;
    std::vector<char*> arguments;
    arguments.push_back(const_cast<char*>(program.c_str()));
    for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "kaveo capture: cannot run %s: %s\n", program.c_str(),
                 std::strerror(errno));
    return 1;
}
