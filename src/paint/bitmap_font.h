// BitmapFont: the glyphs the cell painter draws with, and its one loader, which reads the
// embedded code page 437 font (font.bin, made by tools/font).
#pragma once

#include <cstdint>
#include <memory>

struct ResourceBlob;

// A bitmap font of 256 glyphs, each `height` rows of `width` pixels. Row masks are 16-bit,
// bit 0 the leftmost pixel, one per row, glyph by glyph: glyph c's row y is rows[c * height + y].
constexpr int32_t kMaxGlyphWidth = 16;
constexpr int32_t kMaxGlyphHeight = 32;
struct BitmapFont {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint16_t[]> rows; // 256 * height masks

    // Allocates a blank font of width x height pixels (1..16 x 1..32). False, leaving the
    // font empty, for other sizes or when memory runs out.
    bool create(int32_t newWidth, int32_t newHeight);

    // Reads an 8 x 16 font in font.bin's format: 256 glyphs of 16 rows, a byte per row, the
    // leftmost pixel in bit 7. False, leaving the font empty, for any size but 4,096 bytes.
    bool load(const ResourceBlob& blob);
};

// Loads the embedded font (font.bin) into `font`. False, leaving it empty, when the resource
// is missing or malformed.
bool loadFontResource(BitmapFont& font);
