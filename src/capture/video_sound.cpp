// The video's sound: decoding, holding back the fade's length, the fade at the end.
#include "capture/video_sound.h"

#include <cmath>
#include <cstring>
#include <new>

#include "capture/mp4_writer.h"
#include "media/fade.h"

namespace {

// The sample frame at which frame `shown` (counted from 0) ends, at `fps`.
int64_t soundFrameAt(uint64_t shown, int32_t fps) {
    return std::llround(static_cast<double>(shown) * kMp4SampleRate / fps);
}

} // namespace

bool VideoSound::open(uint64_t first, int32_t framesPerSecond) {
    firstFrame = first;
    fps = framesPerSecond;
    waiting = 0;
    decoded = 0;
    if (mp3.load("kaveo.mp3", kResourceTypeData) == nullptr || !stream.open(mp3.data, mp3.size))
        return false;
    stream.seek(soundFrameAt(first, fps));
    // A frame's sound (one more for the rounding) on top of what waits.
    const auto capacity = static_cast<size_t>(kMp4SampleRate / fps + 2 + kFadeFrames);
    pending.reset(new (std::nothrow) int16_t[2 * capacity]);
    return pending != nullptr;
}

bool VideoSound::writeUntil(uint64_t k, Mp4Writer& writer) {
    const int64_t target = soundFrameAt(k - firstFrame + 1, fps);
    const auto fresh = static_cast<uint32_t>(target - decoded);
    int16_t* fill = pending.get() + 2 * waiting;
    const uint32_t got = stream.read(fill, fresh);
    std::memset(fill + 2 * got, 0, 4 * size_t{fresh - got}); // silence after the end
    decoded = target;
    waiting += fresh;
    const size_t ready = waiting > kFadeFrames ? waiting - kFadeFrames : 0;
    if (!writer.writeAudio(pending.get(), ready)) return false;
    std::memmove(pending.get(), pending.get() + 2 * ready, 4 * (waiting - ready));
    waiting -= ready;
    return true;
}

bool VideoSound::finish(Mp4Writer& writer) {
    applyEndFade(pending.get(), waiting, decoded - static_cast<int64_t>(waiting), decoded);
    return writer.writeAudio(pending.get(), waiting);
}
