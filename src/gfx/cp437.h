// Code page 437, the character set of the cells, as Unicode: the terminal back end and the
// text renderer turn each cell's byte into the glyph a PC console shows for it, control
// range included.
#pragma once

#include <array>
#include <cstdint>

// Unicode code point shown for each code page 437 byte. Byte 0 shows as a space (an empty
// console cell); bytes 1-31 and 127 are the console's glyphs (smileys, arrows, the house),
// not control codes.
extern const char16_t kCp437Unicode[256];

// The UTF-8 bytes of one glyph; every glyph of the table lies in the Basic Multilingual
// Plane, so three bytes suffice.
struct Utf8Glyph {
    uint8_t length;
    char bytes[3];
};

// The UTF-8 form of every kCp437Unicode entry, precomputed so that present() only copies
// bytes.
extern const std::array<Utf8Glyph, 256> kCp437Utf8;

inline const Utf8Glyph& cp437Utf8(uint8_t byte) {
    return kCp437Utf8[byte];
}
