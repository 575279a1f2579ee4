// The classic console colours as RGB, in attribute order (blue 1, green 2, red 4, intensity 8):
// what the terminal's 24-bit mode writes and what the web player paints. No platform header.
#pragma once

#include <cstdint>

struct Rgb {
    uint8_t r, g, b;
};

constexpr Rgb kConsolePalette[16] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},   {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},     {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};
