// audioNowNanoseconds on the standard library's steady clock, for the back ends that stamp
// their playback facts themselves (SDL2 + libmpg123, waveOut).
#include <chrono>

#include "media/audio_backend.h"

int64_t audioNowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
