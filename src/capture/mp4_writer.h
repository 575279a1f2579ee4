// Writes an MP4 file through FFmpeg's libraries: H.264 video (libx264, yuv420p) from RGBA
// pictures and AAC audio (FFmpeg's own encoder, 44,100 Hz stereo) from 16-bit samples, both
// starting at 0, with the index at the front (+faststart) so that browsers play it at once.
//
// Call order: open, then writeVideo and writeAudio interleaved (each in its own time order),
// then finish. Timestamps are frame and sample counts, never a clock. Any call that fails
// returns false with a reason in `error`; the file is then incomplete and the caller removes
// it. Everything opened is freed by the destructor, whatever happened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;

// Sample frames per second of the sound written: the soundtrack's own rate, as Mp3Stream
// decodes it, kept by the AAC stream.
constexpr int32_t kMp4SampleRate = 44100;

struct Mp4Settings {
    int32_t width = 0;  // pixels, even
    int32_t height = 0; // pixels, even
    int32_t fps = 60;
    int32_t crf = 18;                     // H.264 quality, 0 (lossless) to 51
    const char* preset = "veryfast";      // libx264 speed/size trade-off
    const char* videoEncoder = "libx264"; // FFmpeg encoder names
    const char* audioEncoder = "aac";
};

struct Mp4Writer {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr; // yuv420p, reused for every frame
    AVFrame* sound = nullptr;   // one AAC frame of planar float samples, reused
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    int64_t videoFrames = 0;  // pictures sent
    int64_t audioSamples = 0; // sample frames sent
    int32_t soundFill = 0;    // sample frames waiting in `sound`
    std::string* error = nullptr;

    Mp4Writer() = default;
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;
    ~Mp4Writer();

    // Creates `path` (an MP4 whatever its name) and writes its header.
    bool open(const char* path, const Mp4Settings& settings, std::string& error);

    // Encodes the next picture: width x height pixels of R, G, B, A bytes (the alpha
    // unused), rows of `stride` bytes.
    bool writeVideo(const uint32_t* pixels, size_t stride);

    // Encodes the next `frames` stereo sample frames (interleaved left, right).
    bool writeAudio(const int16_t* samples, size_t frames);

    // Sends the last partial sound frame, drains both encoders, writes the index and closes
    // the file; the file is complete only when this returns true.
    bool finish();

    // Helpers: record a reason and return false; write what an encoder has ready; encode
    // the samples gathered in `sound`.
    bool fail(const char* what, int code);
    bool drain(AVCodecContext* codec, AVStream* stream);
    bool sendSound();
};
