// The asciicast v2 file: newline-delimited JSON.
#include "capture/cast_writer.h"

#include <new>

namespace {

constexpr size_t kEventOverhead = 64; // "[", the time, ", \"o\", \"", "\"]\n"

} // namespace

size_t escapeJson(const char* bytes, size_t count, char* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out[n++] = '\\';
            out[n++] = static_cast<char>(c);
        } else if (c < 0x20) {
            out[n++] = '\\';
            out[n++] = 'u';
            out[n++] = '0';
            out[n++] = '0';
            out[n++] = kHex[c >> 4];
            out[n++] = kHex[c & 15];
        } else {
            out[n++] = static_cast<char>(c);
        }
    }
    return n;
}

bool CastWriter::create(size_t maxBytes) {
    capacity = 6 * maxBytes + kEventOverhead;
    line.reset(new (std::nothrow) char[capacity]);
    return line != nullptr;
}

bool CastWriter::writeHeader(std::FILE* out, int32_t columns, int32_t rows, int64_t timestamp,
                             const char* title, const char* term) {
    file = out;
    return std::fprintf(file,
                        "{\"version\": 2, \"width\": %d, \"height\": %d, \"timestamp\": %lld, "
                        "\"title\": \"%s\", \"env\": {\"TERM\": \"%s\", \"SHELL\": \"/bin/sh\"}}\n",
                        columns, rows, static_cast<long long>(timestamp), title, term) > 0;
}

bool CastWriter::writeEvent(double seconds, const char* bytes, size_t count) {
    int n = std::snprintf(line.get(), kEventOverhead, "[%.6f, \"o\", \"", seconds);
    if (n < 0) return false;
    size_t length = static_cast<size_t>(n);
    length += escapeJson(bytes, count, line.get() + length);
    line[length++] = '"';
    line[length++] = ']';
    line[length++] = '\n';
    return std::fwrite(line.get(), 1, length, file) == length;
}
