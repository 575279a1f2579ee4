// The headless commands under memory pressure: every allocation from the n-th on fails, for
// each n until the command gets through. Each run must end with its message and exit 1 (or
// succeed), never with an escaping exception, and must leave no partial file behind.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "shell/extract_command.h"
#include "shell/render_command.h"

namespace {

// Allocations still allowed; -1 allows every one.
std::atomic<long> gAllocationsLeft{-1};

} // namespace

namespace {

// Null when the allocation is to fail or the memory is not there.
void* allocate(std::size_t size) noexcept {
    const long left = gAllocationsLeft.load();
    if (left == 0) return nullptr;
    if (left > 0) gAllocationsLeft.store(left - 1);
    return std::malloc(size != 0 ? size : 1);
}

} // namespace

// Every form is replaced, so that all of them (and the sanitizers' own) agree on malloc/free.
void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
// GCC cannot tell that free matches the replaced operator new here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

namespace fs = std::filesystem;

using Command = int (*)(int, char**);

// Standard error goes to /dev/null while the commands complain about every failure.
struct QuietStderr {
    int saved = dup(STDERR_FILENO);
    QuietStderr() {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(null);
    }
    ~QuietStderr() {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
};

TEST(CommandsUnderMemoryPressure, EndWithExitOneAndLeaveNoPartialFile) {
    const fs::path dir = fs::temp_directory_path() / ("kaveo_alloc_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string output = (dir / "out").string();
    struct Case {
        const char* what;
        Command command;
        std::vector<std::string> args;
    } cases[] = {
        {"render text",
         runRenderCommand,
         {"--frames", "1", "--format", "text", "--output", output}},
        {"render cells", runRenderCommand, {"--frames", "1-2,5", "--output", output}},
        {"extract", runExtractCommand, {"palette.bin", "--output", output}},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
        bool succeeded = false;
        for (long n = 0; n < 100000 && !succeeded; ++n) {
            fs::remove(output);
            int code = -1;
            bool escaped = false;
            {
                QuietStderr quiet;
                gAllocationsLeft.store(n);
                try {
                    code = c.command(static_cast<int>(argv.size()), argv.data());
                } catch (...) {
                    escaped = true;
                }
                gAllocationsLeft.store(-1);
            }
            ASSERT_FALSE(escaped) << c.what << ": an exception escaped with " << n
                                  << " allocations allowed";
            ASSERT_TRUE(code == 0 || code == 1) << c.what << ", " << n << ": exit " << code;
            succeeded = code == 0;
            size_t files = 0;
            for (const auto& entry : fs::directory_iterator(dir)) {
                (void)entry;
                ++files;
            }
            ASSERT_EQ(files, succeeded ? 1u : 0u) << c.what << ", " << n << " allocations";
        }
        EXPECT_TRUE(succeeded) << c.what;
    }
    fs::remove_all(dir);
}

} // namespace
