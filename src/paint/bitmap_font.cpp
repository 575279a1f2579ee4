// BitmapFont's storage, and font.bin read into it.
#include "paint/bitmap_font.h"

#include <new>

#include "gfx/resource_blob.h"

namespace {

constexpr int32_t kGlyphWidth = 8;
constexpr int32_t kGlyphHeight = 16;

} // namespace

bool BitmapFont::create(int32_t newWidth, int32_t newHeight) {
    rows.reset();
    width = height = 0;
    if (newWidth < 1 || newWidth > kMaxGlyphWidth || newHeight < 1 || newHeight > kMaxGlyphHeight)
        return false;
    rows.reset(new (std::nothrow) uint16_t[256 * static_cast<size_t>(newHeight)]());
    if (!rows) return false;
    width = newWidth;
    height = newHeight;
    return true;
}

bool BitmapFont::load(const ResourceBlob& blob) {
    *this = BitmapFont{};
    if (blob.data == nullptr || blob.size != 256u * kGlyphHeight ||
        !create(kGlyphWidth, kGlyphHeight))
        return false;
    for (uint32_t i = 0; i < blob.size; ++i) {
        // The painter wants the leftmost pixel in bit 0.
        uint16_t mask = 0;
        for (int32_t x = 0; x < kGlyphWidth; ++x)
            if (blob.data[i] & (0x80u >> x)) mask = static_cast<uint16_t>(mask | (1u << x));
        rows[i] = mask;
    }
    return true;
}

bool loadFontResource(BitmapFont& font) {
    ResourceBlob blob;
    if (blob.load("font.bin", kResourceTypeData) == nullptr) {
        font = BitmapFont{};
        return false;
    }
    return font.load(blob);
}
