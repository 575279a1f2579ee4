// Code page 437 as Unicode: the characters of the console cells in a form any terminal or
// text file can show (shades, blocks, box drawing and the glyphs of the control range).
#pragma once

#include <cstdint>

// The Unicode code point shown for each code page 437 byte. Byte 0 shows as a space.
extern const uint16_t Cp437Unicode[256];

// Writes the UTF-8 form of byte `character` to out (room for 3 bytes); returns the length.
int32_t cp437ToUtf8(uint8_t character, char* out);
