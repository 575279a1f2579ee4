// The MP4 capture through libavformat, libavcodec, libswscale and libswresample, in the call
// order of FFmpeg's muxing example: output context, a stream per encoder, encoders opened,
// header, frames with explicit timestamps, encoders drained with a null frame, trailer.
#include "capture/mp4_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdio>

namespace {

constexpr int64_t kAudioBitRate = 192000;

} // namespace

Mp4Writer::~Mp4Writer() {
    if (format != nullptr) {
        if (format->pb != nullptr) avio_closep(&format->pb);
        avformat_free_context(format);
    }
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
    sws_freeContext(scaler);
    swr_free(&resampler);
}

bool Mp4Writer::fail(const char* what, int code) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, reason, sizeof reason);
    *error = std::string(what) + ": " + reason;
    return false;
}

bool Mp4Writer::open(const char* path, const Mp4Settings& settings, std::string& errorText) {
    error = &errorText;
    av_log_set_level(AV_LOG_QUIET); // reasons come back as results; the shell prints them
    int code = avformat_alloc_output_context2(&format, nullptr, "mp4", path);
    if (code < 0) return fail("cannot start the MP4 muxer", code);

    const AVCodec* videoCodec = avcodec_find_encoder_by_name(settings.videoEncoder);
    const AVCodec* audioCodec = avcodec_find_encoder_by_name(settings.audioEncoder);
    if (videoCodec == nullptr || audioCodec == nullptr) {
        errorText = std::string("FFmpeg has no encoder \"") +
                    (videoCodec == nullptr ? settings.videoEncoder : settings.audioEncoder) + "\"";
        return false;
    }
    videoStream = avformat_new_stream(format, nullptr);
    audioStream = avformat_new_stream(format, nullptr);
    video = avcodec_alloc_context3(videoCodec);
    audio = avcodec_alloc_context3(audioCodec);
    picture = av_frame_alloc();
    sound = av_frame_alloc();
    packet = av_packet_alloc();
    if (!videoStream || !audioStream || !video || !audio || !picture || !sound || !packet)
        return fail("cannot set up the encoders", AVERROR(ENOMEM));

    const bool globalHeader = (format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    video->width = settings.width;
    video->height = settings.height;
    video->time_base = AVRational{1, settings.fps};
    video->framerate = AVRational{settings.fps, 1};
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->gop_size = 2 * settings.fps; // a seek point every 2 s
    // Tagged as what swscale makes below, so players convert back with the same matrix.
    video->colorspace = AVCOL_SPC_BT709;
    video->color_primaries = AVCOL_PRI_BT709;
    video->color_trc = AVCOL_TRC_BT709;
    video->color_range = AVCOL_RANGE_MPEG;
    if (globalHeader) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* videoOptions = nullptr;
    av_dict_set_int(&videoOptions, "crf", settings.crf, 0);
    av_dict_set(&videoOptions, "preset", settings.preset, 0);
    code = avcodec_open2(video, videoCodec, &videoOptions);
    av_dict_free(&videoOptions);
    if (code < 0) return fail("cannot open the H.264 encoder", code);

    audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    audio->sample_rate = kMp4SampleRate;
    audio->bit_rate = kAudioBitRate;
    audio->time_base = AVRational{1, kMp4SampleRate};
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO; // swr takes it by non-const pointer
    av_channel_layout_copy(&audio->ch_layout, &stereo);
    if (globalHeader) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    code = avcodec_open2(audio, audioCodec, nullptr);
    if (code < 0) return fail("cannot open the AAC encoder", code);

    if ((code = avcodec_parameters_from_context(videoStream->codecpar, video)) < 0 ||
        (code = avcodec_parameters_from_context(audioStream->codecpar, audio)) < 0)
        return fail("cannot describe the streams", code);
    videoStream->time_base = video->time_base;
    videoStream->avg_frame_rate = video->framerate;
    audioStream->time_base = audio->time_base;

    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = settings.width;
    picture->height = settings.height;
    sound->format = AV_SAMPLE_FMT_FLTP;
    sound->sample_rate = kMp4SampleRate;
    sound->nb_samples = audio->frame_size;
    av_channel_layout_copy(&sound->ch_layout, &stereo);
    if ((code = av_frame_get_buffer(picture, 0)) < 0 || (code = av_frame_get_buffer(sound, 0)) < 0)
        return fail("cannot allocate frames", code);

    scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGBA, settings.width,
                            settings.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                            nullptr);
    if (scaler == nullptr) return fail("cannot set up the colour conversion", AVERROR(EINVAL));
    sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    code = swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLTP, kMp4SampleRate, &stereo,
                               AV_SAMPLE_FMT_S16, kMp4SampleRate, 0, nullptr);
    if (code < 0 || (code = swr_init(resampler)) < 0)
        return fail("cannot set up the sample conversion", code);

    if ((code = avio_open(&format->pb, path, AVIO_FLAG_WRITE)) < 0)
        return fail("cannot create the file", code);
    AVDictionary* muxOptions = nullptr;
    av_dict_set(&muxOptions, "movflags", "+faststart", 0);
    code = avformat_write_header(format, &muxOptions);
    av_dict_free(&muxOptions);
    if (code < 0) return fail("cannot write the header", code);
    return true;
}

bool Mp4Writer::drain(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
        int code = avcodec_receive_packet(codec, packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
        if (code < 0) return fail("the encoder failed", code);
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        code = av_interleaved_write_frame(format, packet); // takes the packet's data
        if (code < 0) return fail("cannot write", code);
    }
}

bool Mp4Writer::writeVideo(const uint32_t* pixels, size_t stride) {
    int code = av_frame_make_writable(picture);
    if (code < 0) return fail("cannot allocate a frame", code);
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(pixels)};
    const int sourceStride[1] = {static_cast<int>(stride)};
    sws_scale(scaler, source, sourceStride, 0, picture->height, picture->data, picture->linesize);
    picture->pts = videoFrames++;
    code = avcodec_send_frame(video, picture);
    if (code < 0) return fail("the H.264 encoder failed", code);
    return drain(video, videoStream);
}

bool Mp4Writer::sendSound() {
    sound->pts = audioSamples - soundFill;
    sound->nb_samples = soundFill;
    const int code = avcodec_send_frame(audio, sound);
    sound->nb_samples = audio->frame_size;
    soundFill = 0;
    if (code < 0) return fail("the AAC encoder failed", code);
    return drain(audio, audioStream);
}

bool Mp4Writer::writeAudio(const int16_t* samples, size_t frames) {
    while (frames > 0) {
        if (soundFill == 0) {
            const int code = av_frame_make_writable(sound);
            if (code < 0) return fail("cannot allocate a frame", code);
        }
        const size_t room = static_cast<size_t>(audio->frame_size - soundFill);
        const size_t take = frames < room ? frames : room;
        uint8_t* out[2] = {sound->data[0] + soundFill * sizeof(float),
                           sound->data[1] + soundFill * sizeof(float)};
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
        const int converted =
            swr_convert(resampler, out, static_cast<int>(take), in, static_cast<int>(take));
        if (converted != static_cast<int>(take))
            return fail("the sample conversion failed", converted < 0 ? converted : AVERROR_BUG);
        soundFill += static_cast<int32_t>(take);
        audioSamples += static_cast<int64_t>(take);
        samples += 2 * take;
        frames -= take;
        if (soundFill == audio->frame_size && !sendSound()) return false;
    }
    return true;
}

bool Mp4Writer::finish() {
    // The encoder takes a short last frame, so the sound ends exactly where it was cut.
    if (soundFill > 0 && !sendSound()) return false;
    int code = avcodec_send_frame(video, nullptr);
    if (code < 0 || !drain(video, videoStream))
        return code < 0 ? fail("the H.264 encoder failed", code) : false;
    code = avcodec_send_frame(audio, nullptr);
    if (code < 0 || !drain(audio, audioStream))
        return code < 0 ? fail("the AAC encoder failed", code) : false;
    if ((code = av_write_trailer(format)) < 0) return fail("cannot finish the file", code);
    if (format->pb->error < 0) return fail("cannot write", format->pb->error);
    if ((code = avio_closep(&format->pb)) < 0) return fail("cannot close the file", code);
    return true;
}
