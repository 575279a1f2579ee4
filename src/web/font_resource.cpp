// Reads font.bin (tools/font): 256 glyphs of 16 rows, a byte per row, the leftmost pixel in
// bit 7.
#include "web/font_resource.h"

#include "gfx/resource_blob.h"

namespace {

constexpr int32_t kGlyphWidth = 8;
constexpr int32_t kGlyphHeight = 16;

} // namespace

bool loadFontResource(BitmapFont& font) {
    font = BitmapFont{};
    ResourceBlob blob;
    if (blob.load("font.bin", kResourceTypeData) == nullptr || blob.size != 256u * kGlyphHeight ||
        !font.create(kGlyphWidth, kGlyphHeight))
        return false;
    for (uint32_t i = 0; i < blob.size; ++i) {
        // The painter wants the leftmost pixel in bit 0.
        uint16_t mask = 0;
        for (int32_t x = 0; x < kGlyphWidth; ++x)
            if (blob.data[i] & (0x80u >> x)) mask = static_cast<uint16_t>(mask | (1u << x));
        font.rows[i] = mask;
    }
    return true;
}
