// The one-line progress bar of long captures, on a terminal's standard error: frames done,
// frames per second and the time left, redrawn at most a few times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

struct ProgressBar {
    std::FILE* out = nullptr; // null: no bar (standard error is not a terminal)
    uint64_t total = 0;       // frames
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point shown;

    void start(std::FILE* to, uint64_t frames);
    // Redraws with `done` frames finished, unless it was redrawn very recently.
    void update(uint64_t done);
    // Clears the line, so that what follows starts on a clean line.
    void finish();
};

// Formats the bar's line (without the carriage return) into out[size]: `done` of `total`
// frames after `seconds` of work.
void formatProgress(char* out, size_t size, uint64_t done, uint64_t total, double seconds);
