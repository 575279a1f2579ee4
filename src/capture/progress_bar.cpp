// The capture's progress bar.
#include "capture/progress_bar.h"

namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

} // namespace

void formatProgress(char* out, size_t size, uint64_t done, uint64_t total, double seconds) {
    char bar[kBarWidth + 1];
    const uint64_t filled = total > 0 ? done * kBarWidth / total : 0;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = static_cast<uint64_t>(i) < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    if (rate <= 0.0 || done >= total) {
        std::snprintf(out, size, "kaveo capture: [%s] %llu/%llu frames", bar,
                      static_cast<unsigned long long>(done),
                      static_cast<unsigned long long>(total));
        return;
    }
    const auto left =
        static_cast<unsigned long long>(static_cast<double>(total - done) / rate + 0.5);
    std::snprintf(out, size, "kaveo capture: [%s] %llu/%llu frames, %.1f fps, %llu:%02llu left",
                  bar, static_cast<unsigned long long>(done),
                  static_cast<unsigned long long>(total), rate, left / 60, left % 60);
}

void ProgressBar::start(std::FILE* to, uint64_t frames) {
    out = to;
    total = frames;
    started = std::chrono::steady_clock::now();
    shown = started - kRedrawEvery;
}

void ProgressBar::update(uint64_t done) {
    if (out == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown < kRedrawEvery && done < total) return;
    shown = now;
    char line[160];
    formatProgress(line, sizeof line, done, total,
                   std::chrono::duration<double>(now - started).count());
    std::fprintf(out, "\r%s\x1b[K", line);
    std::fflush(out);
}

void ProgressBar::finish() {
    if (out == nullptr) return;
    std::fputs("\r\x1b[K", out);
    std::fflush(out);
}
