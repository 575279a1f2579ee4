// The soundtrack of a video capture: decoded from the capture's first frame on (sample n of
// the music is the sound at n / 44,100 s, as the live program plays it, gapless; silence after
// its end), handed to the MP4 writer frame by frame, and faded out at the end as the live
// program fades when it stops. The last kFadeFrames decoded wait until the capture ends, since
// until then nobody knows whether they lie in the fade.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gfx/resource_blob.h"
#include "media/mp3_stream_mpg123.h"

struct Mp4Writer;

struct VideoSound {
    ResourceBlob mp3;
    Mp3Stream stream;
    std::unique_ptr<int16_t[]> pending; // stereo sample frames decoded, not yet written
    size_t waiting = 0;                 // sample frames in `pending`
    int64_t decoded = 0;                // sample frames decoded since the first frame
    uint64_t firstFrame = 0;            // the capture's first frame number
    int32_t fps = 0;

    // Opens the soundtrack at the time of frame `first` at `framesPerSecond`. False when the
    // soundtrack does not open or memory runs out.
    bool open(uint64_t first, int32_t framesPerSecond);
    // Writes the sound up to the end of frame `k`, but for the last kFadeFrames. False when
    // writing fails.
    bool writeUntil(uint64_t k, Mp4Writer& writer);
    // Fades out and writes what waits: the sound ends with the last frame written.
    bool finish(Mp4Writer& writer);
};
