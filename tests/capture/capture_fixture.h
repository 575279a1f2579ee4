// Shared by the capture tests: running `kaveo capture` in-process into a scratch folder,
// the frames `kaveo render` draws, reading the files back (libpng, FFmpeg's decoders), and
// recognising a picture's cells by the nearest glyph of the font and colour of the palette.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "gfx/cell.h"

// A fresh folder per test, removed afterwards.
class CaptureTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return folder + "/" + name; }
    // Files in the folder, sorted.
    std::vector<std::string> files() const;
    std::string folder;
};

// Runs `kaveo capture` with these arguments in this process; returns its exit code.
int runCapture(std::vector<std::string> arguments);

// The 80 x 50 cells that `kaveo render` draws for frame k at `fps` (frame 0: the start screen).
std::vector<Cell> renderedFrame(uint64_t k, int fps);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // rows of 3 x width bytes
};

bool readPng(const std::string& file, Picture& picture);

// A decoded yuv420p picture: full-size luma, chroma at half size both ways.
struct VideoFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;
};

struct DecodedVideo {
    std::string videoCodec, audioCodec, pixelFormat;
    int width = 0, height = 0;
    double frameRate = 0.0;
    double videoStart = -1.0, audioStart = -1.0; // seconds
    int64_t videoFrames = 0;
    double videoSeconds = 0.0; // the frames' presentation span: last pts + one frame
    int sampleRate = 0, channels = 0;
    int64_t audioSamples = 0;       // sample frames decoded
    std::vector<float> sound;       // left + right, per sample frame
    std::vector<VideoFrame> frames; // the frames asked for, in order
};

// Decodes every packet of `file`; keeps the pictures of the frame numbers in `keep`.
bool decodeMp4(const std::string& file, const std::set<int64_t>& keep, DecodedVideo& video);

// How many of the picture's 80 x 50 cells (cells of 16 x scale pixels) look like the
// expected cells, each recognised as the glyph and pair of console colours nearest to it.
int matchingCells(const Picture& picture, int scale, const std::vector<Cell>& expected,
                  std::string& firstMismatch);

// The same for a video frame, recognised in its own colour space: each candidate glyph and
// colour pair is compared as the encoder sees it, luma per pixel and chroma per 2 x 2 block
// (BT.709, limited range), since 4:2:0 chroma mixes the colours of neighbouring rows.
int matchingCells(const VideoFrame& frame, int scale, const std::vector<Cell>& expected,
                  std::string& firstMismatch);
