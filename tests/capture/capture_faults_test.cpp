// Faults: an output that cannot be created, a full disk (a file-size limit), an encoder that
// cannot start, and Ctrl+C. Each gives one line on standard error and a non-zero exit, and
// never leaves a file that looks complete but is not.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "capture/mp4_writer.h"
#include "capture_fixture.h"

namespace {

struct ChildResult {
    int code = -1; // exit code, or -1 when killed
    std::string errors;
};

// The size of the largest file in `folder` whose name starts with `prefix`; 0 for none.
off_t largestStartingWith(const std::string& folder, const std::string& prefix) {
    off_t largest = 0;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return 0;
    while (const dirent* entry = readdir(dir)) {
        struct stat status {};
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0 &&
            stat((folder + "/" + name).c_str(), &status) == 0 && status.st_size > largest)
            largest = status.st_size;
    }
    closedir(dir);
    return largest;
}

// Runs the capture in a child process with its standard error caught, its files limited to
// `fileLimit` bytes (0: no limit), and, when `interruptWhenCreated` names a file, Ctrl+C sent
// once that file (written under a temporary name that starts with its own) has grown.
ChildResult runInChild(const std::vector<std::string>& arguments, rlim_t fileLimit,
                       const std::string& interruptWhenCreated = "") {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        if (fileLimit > 0) {
            const rlimit limit{fileLimit, fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        _exit(runCapture(arguments));
    }
    close(pipeFds[1]);
    if (!interruptWhenCreated.empty()) {
        const size_t slash = interruptWhenCreated.rfind('/');
        const std::string folder = interruptWhenCreated.substr(0, slash);
        const std::string temporary = interruptWhenCreated.substr(slash + 1) + ".";
        for (int i = 0; i < 3000; ++i) {
            if (largestStartingWith(folder, temporary) > 20000) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(child, SIGINT);
    }
    ChildResult result;
    char buffer[512];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.errors.append(buffer, got);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

using CaptureFaults = CaptureTest;

TEST_F(CaptureFaults, OutputThatCannotBeCreatedLeavesNothing) {
    for (const char* name : {"no/such/dir/demo.mp4", "no/such/dir/still.png",
                             "no/such/dir/shot-%03d.png", "no/such/dir/demo.cast"}) {
        const ChildResult result = runInChild({path(name), "--fps", "5"}, 0);
        EXPECT_EQ(result.code, 1) << name;
        EXPECT_EQ(lineCount(result.errors), 1) << result.errors;
        EXPECT_NE(result.errors.find("cannot create"), std::string::npos) << result.errors;
    }
    EXPECT_TRUE(files().empty());
}

TEST_F(CaptureFaults, FullDiskRemovesTheTemporaryFile) {
    const std::vector<std::string> cases[] = {
        {path("demo.mp4"), "--fps", "10", "--to", "6"},
        {path("demo.cast"), "--fps", "10", "--to", "6"},
        {path("shot-%02d.png"), "--fps", "2", "--to", "3", "--scale", "2"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ChildResult result = runInChild(arguments, 12000);
        EXPECT_EQ(result.code, 1) << arguments[0];
        EXPECT_EQ(lineCount(result.errors), 1) << result.errors;
        EXPECT_NE(result.errors.find("cannot write"), std::string::npos) << result.errors;
        EXPECT_NE(result.errors.find("too large"), std::string::npos) << result.errors;
        // Only the pictures finished before the failure stay; no temporary file.
        for (const std::string& file : files())
            EXPECT_EQ(file.substr(file.size() - 4), ".png") << file;
        for (const std::string& file : files()) std::remove(path(file).c_str());
    }
}

TEST_F(CaptureFaults, EncoderThatCannotStartIsReported) {
    const char* const encoders[2][2] = {{"kaveo-no-video", "aac"}, {"libx264", "kaveo-no-audio"}};
    for (const auto& pair : encoders) {
        Mp4Settings settings;
        settings.width = 64;
        settings.height = 48;
        settings.videoEncoder = pair[0];
        settings.audioEncoder = pair[1];
        Mp4Writer writer;
        std::string error;
        EXPECT_FALSE(writer.open(path("x.mp4").c_str(), settings, error));
        EXPECT_NE(error.find("kaveo-no-"), std::string::npos) << error;
    }
    // (x264 refusing its settings is not tried here: libx264 leaks its parameters then.)
    EXPECT_TRUE(files().empty());
}

// Ctrl+C finishes the video with the frames done: a whole file, sound as long as pictures.
TEST_F(CaptureFaults, InterruptFinishesTheVideoCleanly) {
    const ChildResult result = runInChild({path("demo.mp4"), "--fps", "10"}, 0, path("demo.mp4"));
    EXPECT_EQ(result.code, 130);
    EXPECT_EQ(lineCount(result.errors), 1) << result.errors;
    unsigned long long done = 0;
    ASSERT_EQ(std::sscanf(result.errors.c_str(),
                          "kaveo capture: interrupted; %*s holds the %llu frames done", &done),
              1)
        << result.errors;
    EXPECT_EQ(files(), std::vector<std::string>{"demo.mp4"});
    DecodedVideo video;
    ASSERT_TRUE(decodeMp4(path("demo.mp4"), {}, video));
    EXPECT_EQ(video.videoFrames, static_cast<int64_t>(done));
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, 591u);
    EXPECT_NEAR(static_cast<double>(video.audioSamples) / 44100, video.videoSeconds, 0.1);
}

} // namespace
