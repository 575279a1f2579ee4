// OutputFile: write beside the target, rename at the end.
#include "command/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

OutputFile::~OutputFile() {
    abandon();
}

bool OutputFile::open(const char* path) {
    if (path == nullptr || std::strcmp(path, "-") == 0) {
        file = stdout;
        return true;
    }
    target = path;
    struct stat existing {};
    const bool exists = lstat(path, &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device, a pipe or a link: there is nothing to rename over, or the link must stay.
        file = std::fopen(path, "wb");
        if (file == nullptr) error = errno;
        return file != nullptr;
    }
    temporary = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = errno;
        temporary.clear();
        return false;
    }
    // mkstemp makes the file private; give it the mode a plain create (or the old file) had.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    file = fdopen(fd, "wb");
    if (file == nullptr) {
        error = errno;
        ::close(fd);
        unlink(temporary.c_str());
        temporary.clear();
        return false;
    }
    return true;
}

bool OutputFile::write(const void* data, size_t size) {
    if (error != 0) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file) == size) return true;
    error = errno != 0 ? errno : EIO;
    return false;
}

bool OutputFile::finish() {
    if (file == nullptr) return error == 0;
    if (std::fflush(file) != 0 && error == 0) error = errno;
    if (file != stdout) {
        if (std::fclose(file) != 0 && error == 0) error = errno;
        file = nullptr;
        if (!temporary.empty()) {
            if (error == 0 && std::rename(temporary.c_str(), target) != 0) error = errno;
            if (error != 0) unlink(temporary.c_str());
            temporary.clear();
        }
    } else {
        file = nullptr;
    }
    return error == 0;
}

void OutputFile::abandon() {
    if (file != nullptr && file != stdout) std::fclose(file);
    file = nullptr;
    if (!temporary.empty()) unlink(temporary.c_str());
    temporary.clear();
}
