// The capture tests' shared fixtures.
#include "capture_fixture.h"

#include <dirent.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "capture/capture_command.h"
#include "demo/demo_content.h"
#include "gfx/next_random.h"
#include "shell/render_command.h"

namespace {

// The classic console colours (VGA text mode), written out here independently of the code.
const uint8_t kPalette[16][3] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},   {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},     {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};

struct FontMasks {
    uint64_t bits[256][2] = {}; // 128 font pixels, row-major, pixel i in bits[i / 64] bit i % 64
    FontMasks() {
        std::ifstream in(std::string(KAVEO_RESOURCE_DIR) + "/font.bin", std::ios::binary);
        std::vector<uint8_t> font((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
        if (font.size() != 4096) return;
        for (int g = 0; g < 256; ++g)
            for (int p = 0; p < 128; ++p)
                if (font[g * 16 + p / 8] & (0x80 >> (p % 8)))
                    bits[g][p / 64] |= uint64_t{1} << (p % 64);
    }
    bool set(int glyph, int p) const { return (bits[glyph][p / 64] >> (p % 64)) & 1; }
};

const FontMasks& fontMasks() {
    static const FontMasks masks;
    return masks;
}

int distance(const float* rgb, int colour) {
    float d = 0;
    for (int c = 0; c < 3; ++c) {
        const float e = rgb[c] - kPalette[colour][c];
        d += e * e;
    }
    return static_cast<int>(d);
}

struct SeenCell {
    int glyph, fg, bg;
};

// Averages each font pixel's block (2 x scale wide, scale high), then tries the pairs of the
// three palette colours most pixels are nearest to, each with its nearest glyph.
SeenCell recognise(const Picture& picture, int scale, int cx, int cy) {
    float pixels[128][3];
    int votes[16] = {};
    const int side = 16 * scale;
    for (int p = 0; p < 128; ++p) {
        const int px = cx * side + (p % 8) * 2 * scale, py = cy * side + (p / 8) * scale;
        float sum[3] = {};
        for (int y = 0; y < scale; ++y)
            for (int x = 0; x < 2 * scale; ++x)
                for (int c = 0; c < 3; ++c)
                    sum[c] +=
                        picture.rgb[(static_cast<size_t>(py + y) * picture.width + px + x) * 3 + c];
        int best = 0;
        for (int c = 0; c < 3; ++c) pixels[p][c] = sum[c] / static_cast<float>(2 * scale * scale);
        for (int colour = 1; colour < 16; ++colour)
            if (distance(pixels[p], colour) < distance(pixels[p], best)) best = colour;
        ++votes[best];
    }
    int order[16];
    for (int i = 0; i < 16; ++i) order[i] = i;
    std::stable_sort(order, order + 16, [&](int a, int b) { return votes[a] > votes[b]; });
    const FontMasks& font = fontMasks();
    SeenCell best{0x20, 0, order[0]};
    long bestError = -1;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int bg = order[i], fg = order[j];
            uint64_t mask[2] = {};
            for (int p = 0; p < 128; ++p)
                if (distance(pixels[p], fg) < distance(pixels[p], bg))
                    mask[p / 64] |= uint64_t{1} << (p % 64);
            int glyph = 0, glyphMiss = 129;
            for (int g = 0; g < 256; ++g) {
                const int miss = std::popcount(mask[0] ^ font.bits[g][0]) +
                                 std::popcount(mask[1] ^ font.bits[g][1]);
                if (miss < glyphMiss) glyph = g, glyphMiss = miss;
            }
            long error = 0;
            for (int p = 0; p < 128; ++p)
                error += distance(pixels[p], font.set(glyph, p) ? fg : bg);
            if (bestError < 0 || error < bestError)
                bestError = error, best = SeenCell{glyph, fg, bg};
        }
    }
    return best;
}

// Two cells look alike when every font pixel shows the same colour (so a blank's foreground,
// or a lower half block against an upper one with the colours swapped, makes no difference).
bool looksLike(const SeenCell& seen, const Cell& cell) {
    const FontMasks& font = fontMasks();
    const int glyph = cell.character & 0xFF, fg = cell.attribute & 15,
              bg = (cell.attribute >> 4) & 15;
    for (int p = 0; p < 128; ++p) {
        const int want = font.set(glyph, p) ? fg : bg;
        const int got = font.set(seen.glyph, p) ? seen.fg : seen.bg;
        if (want != got) return false;
    }
    return true;
}

// BT.709 in limited range, from its definition: Y' = 0.2126 R + 0.7152 G + 0.0722 B.
struct Yuv {
    float y, u, v;
};
Yuv yuvOf(int colour) {
    const float r = kPalette[colour][0] / 255.0f, g = kPalette[colour][1] / 255.0f,
                b = kPalette[colour][2] / 255.0f;
    const float luma = 0.2126f * r + 0.7152f * g + 0.0722f * b;
    return {16 + 219 * luma, 128 + 224 * (b - luma) / 1.8556f, 128 + 224 * (r - luma) / 1.5748f};
}

SeenCell recogniseVideo(const VideoFrame& frame, int scale, int cx, int cy) {
    const int side = 16 * scale, half = side / 2;
    Yuv palette[16];
    for (int c = 0; c < 16; ++c) palette[c] = yuvOf(c);
    auto fontPixel = [&](int x, int y) { return (y / scale) * 8 + x / (2 * scale); };
    auto lumaAt = [&](int x, int y) {
        return static_cast<float>(
            frame.y[static_cast<size_t>(cy * side + y) * frame.width + cx * side + x]);
    };
    auto chromaAt = [&](const std::vector<uint8_t>& plane, int bx, int by) {
        return static_cast<float>(
            plane[static_cast<size_t>(cy * half + by) * (frame.width / 2) + cx * half + bx]);
    };
    // Votes: each font pixel's nearest colour by its luma and its block's chroma, and by its
    // luma alone (a block's chroma is a mix when its two rows differ).
    int votes[16] = {}, lumaVotes[16] = {};
    for (int p = 0; p < 128; ++p) {
        const int x = (p % 8) * 2 * scale, y = (p / 8) * scale;
        const float l = lumaAt(x, y), u = chromaAt(frame.u, x / 2, y / 2),
                    v = chromaAt(frame.v, x / 2, y / 2);
        int best = 0, bestLuma = 0;
        for (int c = 1; c < 16; ++c) {
            auto d = [&](int k) {
                return (u - palette[k].u) * (u - palette[k].u) +
                       (v - palette[k].v) * (v - palette[k].v) +
                       (l - palette[k].y) * (l - palette[k].y);
            };
            if (d(c) < d(best)) best = c;
            if (std::abs(l - palette[c].y) < std::abs(l - palette[bestLuma].y)) bestLuma = c;
        }
        ++votes[best];
        ++lumaVotes[bestLuma];
    }
    std::vector<int> candidates;
    for (const int* tally : {votes, lumaVotes}) {
        int order[16];
        for (int i = 0; i < 16; ++i) order[i] = i;
        std::stable_sort(order, order + 16, [&](int a, int b) { return tally[a] > tally[b]; });
        for (int i = 0; i < 3; ++i)
            if (tally[order[i]] > 0 &&
                std::find(candidates.begin(), candidates.end(), order[i]) == candidates.end())
                candidates.push_back(order[i]);
    }
    const FontMasks& font = fontMasks();
    SeenCell best{0x20, 0, candidates[0]};
    float bestError = -1;
    for (int bg : candidates) {
        for (int fg : candidates) {
            // The pixels nearer the foreground by luma, then the glyph nearest that mask.
            uint64_t mask[2] = {};
            for (int p = 0; p < 128; ++p) {
                const float l = lumaAt((p % 8) * 2 * scale, (p / 8) * scale);
                if (std::abs(l - palette[fg].y) < std::abs(l - palette[bg].y))
                    mask[p / 64] |= uint64_t{1} << (p % 64);
            }
            int glyphs[3] = {0, 0x20, 0xDB};
            int glyphMiss = 129;
            for (int g = 0; g < 256; ++g) {
                const int miss = std::popcount(mask[0] ^ font.bits[g][0]) +
                                 std::popcount(mask[1] ^ font.bits[g][1]);
                if (miss < glyphMiss) glyphs[0] = g, glyphMiss = miss;
            }
            for (int glyph : glyphs) {
                float error = 0;
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x) {
                        const Yuv& c = palette[font.set(glyph, fontPixel(x, y)) ? fg : bg];
                        error += (lumaAt(x, y) - c.y) * (lumaAt(x, y) - c.y);
                    }
                for (int by = 0; by < half; ++by)
                    for (int bx = 0; bx < half; ++bx) {
                        float u = 0, v = 0;
                        for (int k = 0; k < 4; ++k) {
                            const Yuv& c =
                                palette[font.set(glyph, fontPixel(2 * bx + k % 2, 2 * by + k / 2))
                                            ? fg
                                            : bg];
                            u += c.u / 4;
                            v += c.v / 4;
                        }
                        const float du = chromaAt(frame.u, bx, by) - u,
                                    dv = chromaAt(frame.v, bx, by) - v;
                        error += 4 * (du * du + dv * dv);
                    }
                if (bestError < 0 || error < bestError)
                    bestError = error, best = SeenCell{glyph, fg, bg};
            }
        }
    }
    return best;
}

} // namespace

void CaptureTest::SetUp() {
    char name[] = "/tmp/kaveo-capture-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
}

void CaptureTest::TearDown() {
    for (const std::string& file : files()) std::remove(path(file).c_str());
    rmdir(folder.c_str());
}

std::vector<std::string> CaptureTest::files() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int runCapture(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    RandomState = 1; // as in a fresh process: the noise and the dissolve replay the same
    return runCaptureCommand(static_cast<int>(argv.size()), argv.data());
}

std::vector<Cell> renderedFrame(uint64_t k, int fps) {
    std::vector<Cell> cells(80 * 50, Cell{'.', 0x07});
    if (k == 0) return cells;
    RandomState = 1;
    DemoContent content;
    EXPECT_TRUE(content.load());
    RenderOptions options;
    options.dt = 1.0 / fps;
    options.frames = {FrameRange{k, k}};
    char* bytes = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&bytes, &size);
    EXPECT_TRUE(renderFrames(content, options, out, nullptr));
    std::fclose(out);
    EXPECT_EQ(size, kFrameCellBytes);
    for (size_t i = 0; i < cells.size() && 2 * i + 1 < size; ++i)
        cells[i] = Cell{static_cast<uint8_t>(bytes[2 * i]), static_cast<uint8_t>(bytes[2 * i + 1])};
    std::free(bytes);
    return cells;
}

bool readPng(const std::string& file, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

bool decodeMp4(const std::string& file, const std::set<int64_t>& keep, DecodedVideo& video) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return false;
    bool ok = avformat_find_stream_info(format, nullptr) >= 0;
    AVCodecContext* decoders[2] = {};
    int index[2] = {-1, -1}; // video, audio
    for (unsigned s = 0; ok && s < format->nb_streams; ++s) {
        const AVStream* stream = format->streams[s];
        const AVCodecParameters* par = stream->codecpar;
        const int kind = par->codec_type == AVMEDIA_TYPE_VIDEO   ? 0
                         : par->codec_type == AVMEDIA_TYPE_AUDIO ? 1
                                                                 : -1;
        if (kind < 0 || index[kind] >= 0) continue;
        index[kind] = static_cast<int>(s);
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        decoders[kind] = avcodec_alloc_context3(codec);
        ok = codec && avcodec_parameters_to_context(decoders[kind], par) >= 0 &&
             avcodec_open2(decoders[kind], codec, nullptr) >= 0;
        const double start =
            stream->start_time == AV_NOPTS_VALUE
                ? -1.0
                : static_cast<double>(stream->start_time) * av_q2d(stream->time_base);
        if (kind == 0) {
            video.videoCodec = avcodec_get_name(par->codec_id);
            video.width = par->width;
            video.height = par->height;
            video.pixelFormat = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format));
            video.frameRate = av_q2d(stream->avg_frame_rate);
            video.videoStart = start;
        } else {
            video.audioCodec = avcodec_get_name(par->codec_id);
            video.sampleRate = par->sample_rate;
            video.channels = par->ch_layout.nb_channels;
            video.audioStart = start;
        }
    }
    ok = ok && index[0] >= 0 && index[1] >= 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t lastPts = -1;
    auto receive = [&](int kind) {
        while (avcodec_receive_frame(decoders[kind], frame) >= 0) {
            if (kind == 0) {
                lastPts = std::max(lastPts, frame->best_effort_timestamp);
                if (keep.count(video.videoFrames)) {
                    VideoFrame picture;
                    picture.width = frame->width;
                    picture.height = frame->height;
                    for (int plane = 0; plane < 3; ++plane) {
                        std::vector<uint8_t>& out = plane == 0   ? picture.y
                                                    : plane == 1 ? picture.u
                                                                 : picture.v;
                        const int w = plane == 0 ? frame->width : frame->width / 2;
                        const int h = plane == 0 ? frame->height : frame->height / 2;
                        for (int row = 0; row < h; ++row) {
                            const uint8_t* line = frame->data[plane] +
                                                  static_cast<size_t>(row) * frame->linesize[plane];
                            out.insert(out.end(), line, line + w);
                        }
                    }
                    video.frames.push_back(std::move(picture));
                }
                ++video.videoFrames;
            } else {
                for (int i = 0; i < frame->nb_samples; ++i) {
                    float sum = 0;
                    for (int c = 0; c < frame->ch_layout.nb_channels; ++c)
                        sum += reinterpret_cast<const float*>(frame->extended_data[c])[i];
                    video.sound.push_back(sum);
                }
                video.audioSamples += frame->nb_samples;
            }
        }
    };
    while (ok && av_read_frame(format, packet) >= 0) {
        const int kind = packet->stream_index == index[0]   ? 0
                         : packet->stream_index == index[1] ? 1
                                                            : -1;
        if (kind >= 0 && avcodec_send_packet(decoders[kind], packet) >= 0) receive(kind);
        av_packet_unref(packet);
    }
    for (int kind = 0; ok && kind < 2; ++kind) {
        avcodec_send_packet(decoders[kind], nullptr);
        receive(kind);
    }
    if (ok && lastPts >= 0)
        video.videoSeconds =
            static_cast<double>(lastPts) * av_q2d(format->streams[index[0]]->time_base) +
            1.0 / video.frameRate;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoders[0]);
    avcodec_free_context(&decoders[1]);
    avformat_close_input(&format);
    return ok;
}

namespace {

template <typename Recognise>
int countMatching(Recognise recogniseAt, const std::vector<Cell>& expected,
                  std::string& firstMismatch) {
    int matching = 0;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            const SeenCell seen = recogniseAt(x, y);
            const Cell& cell = expected[static_cast<size_t>(y) * 80 + x];
            if (looksLike(seen, cell)) {
                ++matching;
            } else if (firstMismatch.empty()) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "cell (%d, %d): expected %02X/%02X, seen glyph %02X fg %d bg %d", x,
                              y, cell.character & 0xFF, cell.attribute & 0xFF, seen.glyph, seen.fg,
                              seen.bg);
                firstMismatch = text;
            }
        }
    }
    return matching;
}

} // namespace

int matchingCells(const Picture& picture, int scale, const std::vector<Cell>& expected,
                  std::string& firstMismatch) {
    return countMatching([&](int x, int y) { return recognise(picture, scale, x, y); }, expected,
                         firstMismatch);
}

int matchingCells(const VideoFrame& frame, int scale, const std::vector<Cell>& expected,
                  std::string& firstMismatch) {
    return countMatching([&](int x, int y) { return recogniseVideo(frame, scale, x, y); }, expected,
                         firstMismatch);
}
