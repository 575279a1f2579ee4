// Writes a picture of RGBA pixels as an RGB PNG file with libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes width x height pixels (rows of `stride` bytes, R, G, B, A bytes a pixel, the alpha
// left out of the file) to `path`,
// creating or truncating it. False with a one-line reason (errno's text where there is one)
// on failure; the file may then be incomplete and the caller removes it.
bool writePng(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
              size_t stride, std::string& error);
