// StreamTransport: handles and the conversions between seconds and frames.
#include "media/stream_transport.h"

#include <cmath>

AudioStream StreamTransport::open(int64_t length) {
    AudioStream next = lastHandle + 1;
    if (next == 0) next = 1;
    lastHandle = next;
    handle = next;
    playing = false;
    standing = 0;
    lengthFrames = length;
    return next;
}

void StreamTransport::close() {
    handle = 0;
    playing = false;
    standing = 0;
    lengthFrames = 0;
}

float StreamTransport::seconds(AudioStream stream, uint64_t frames) const {
    return owns(stream) ? secondsOfFrames(frames, framesPerSecond) : 0.0f;
}

uint64_t StreamTransport::frames(AudioStream stream, float seconds) const {
    return owns(stream) ? framesOfSeconds(seconds, framesPerSecond, lengthFrames) : 0;
}

uint64_t framesOfSeconds(float seconds, uint32_t framesPerSecond, int64_t lengthFrames) {
    // Rounded, not truncated: a float time converted from a frame may lie a hair below it,
    // and a resume must not step the sound (and with it the demo time) back by a frame.
    const double frames = static_cast<double>(seconds) * framesPerSecond;
    if (!std::isfinite(frames) || !(frames > 0.0) || lengthFrames <= 0) return 0;
    const auto end = static_cast<double>(lengthFrames);
    return frames < end ? static_cast<uint64_t>(std::llround(frames))
                        : static_cast<uint64_t>(lengthFrames);
}

float secondsOfFrames(uint64_t frames, uint32_t framesPerSecond) {
    if (framesPerSecond == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(frames) / framesPerSecond);
}
