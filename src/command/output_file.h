// OutputFile: where the commands write (render, extract and capture's files). A regular file is
// written beside its target and renamed over it only when everything was written, so a failed run
// leaves no truncated file behind and an existing one untouched. Standard output ("-" or no name),
// devices, pipes and symbolic links are written in place.
#pragma once

#include <cstdio>
#include <string>

struct OutputFile {
    std::FILE* file = nullptr;
    const char* target = nullptr; // null for standard output
    std::string temporary;        // the file written beside the target; empty when in place
    int error = 0;                // errno of the first failure

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Abandons an unfinished file: the temporary is removed, the target never replaced.
    ~OutputFile();

    // Opens `path` (null or "-": standard output). False with `error` set when it cannot.
    bool open(const char* path);
    // Writes `size` bytes. False with `error` set on the first failure.
    bool write(const void* data, size_t size);
    // Flushes, closes and puts the file in place. False with `error` set when any of it, or
    // an earlier write, failed; the target is then left as it was.
    bool finish();
    // Closes without putting anything in place.
    void abandon();

    // What to call the output in messages.
    const char* name() const { return target ? target : "standard output"; }
    // The file being written, for a library that opens it by name and writes it itself
    // (FFmpeg): the temporary beside the target, or the target when written in place; null
    // for standard output. What the library wrote is put in place by finish().
    const char* path() const { return !temporary.empty() ? temporary.c_str() : target; }
};
