// Writes an RGB picture as a PNG file with libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes width x height pixels of `rgb` (rows of `stride` bytes, R, G, B a pixel) to `path`,
// creating or truncating it. False with a one-line reason (errno's text where there is one)
// on failure; the file may then be incomplete and the caller removes it.
bool writePng(const char* path, const uint8_t* rgb, int32_t width, int32_t height, size_t stride,
              std::string& error);
