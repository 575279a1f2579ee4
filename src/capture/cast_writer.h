// Writes an asciicast v2 recording: a JSON header line, then one [time, "o", text] event line
// per frame that changes the screen, the text being the bytes the terminal back end writes
// for that frame. Any player (asciinema play, asciinema cat) then needs nothing of ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

struct CastWriter {
    std::FILE* file = nullptr;    // not owned
    std::unique_ptr<char[]> line; // one event's JSON, reused
    size_t capacity = 0;

    // Allocates room for events of up to `maxBytes` bytes of terminal output. False on failure.
    bool create(size_t maxBytes);

    // The header: the terminal's size in columns and rows, the recording's Unix time, its title
    // (plain ASCII) and its TERM. False when writing fails.
    bool writeHeader(std::FILE* out, int32_t columns, int32_t rows, int64_t timestamp,
                     const char* title, const char* term);

    // One output event at `seconds` holding `count` bytes of UTF-8 terminal output.
    bool writeEvent(double seconds, const char* bytes, size_t count);
};

// Writes `count` bytes as the inside of a JSON string (quotes, backslashes and control bytes
// escaped, the rest copied) into `out`, which holds 6 x count bytes. Returns the length.
size_t escapeJson(const char* bytes, size_t count, char* out);
