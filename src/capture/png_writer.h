// Writes a picture of RGBA pixels as an RGB PNG file with libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Writes width x height pixels (rows of `stride` bytes, R, G, B, A bytes a pixel, the alpha
// left out of the file) as a PNG file to `file`, which stays open. False with a one-line
// reason (errno's text where there is one) on failure.
bool writePng(std::FILE* file, const uint32_t* pixels, int32_t width, int32_t height, size_t stride,
              std::string& error);
