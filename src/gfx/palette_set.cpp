// Decoding of the palette resource: records of (slot, pair count n, n character/attribute
// byte pairs), each ramp of n pairs spread over the 256 levels of its slot's Palette.
#include <new>

#include "gfx/palette.h"
#include "gfx/resource_blob.h"

// The decoder never reads outside the blob. A record it cannot take whole makes it stop with
// false, leaving that record's slot empty and the Palettes decoded before in place:
//  - a trailing single byte (a slot number without its pair count);
//  - a pair count of 0, which has no pair to spread over the 256 levels;
//  - a record that claims more pairs than the blob still holds (truncated last record).
bool PaletteSet::load(const ResourceBlob& blob) {
    if (blob.data == nullptr || blob.size == 0) return true;
    const uint8_t* const data = blob.data;
    const uint64_t size = blob.size;
    uint64_t consumed = 0;
    while (consumed < size) {
        if (size - consumed < 2) return false;
        const uint8_t slot = data[consumed];
        const uint32_t pairCount = data[consumed + 1];
        consumed += 2;
        if (pairCount == 0 || size - consumed < 2u * pairCount) return false;
        if (slots[slot]) return false;
        Palette* palette = new (std::nothrow) Palette();
        if (palette == nullptr) return false;
        slots[slot].reset(palette);
        const uint8_t* pairs = data + consumed;
        for (uint32_t level = 0; level < 256; ++level) {
            const uint32_t pair = (level * pairCount) >> 8;
            palette->entries[level].character = pairs[2 * pair];
            palette->entries[level].attribute = pairs[2 * pair + 1];
        }
        consumed += 2u * pairCount;
    }
    return true;
}
