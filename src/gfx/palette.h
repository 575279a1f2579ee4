// Palettes turn an intensity level (0..255) into a console Cell. The PaletteSet holds
// them in 256 numbered slots, decoded from the palette resource.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/cell.h"

struct Palette {
    Cell entries[256]; // indexed by intensity level
};

struct PaletteSet {
    std::unique_ptr<Palette> slots[256]; // empty or owning one Palette

    // Decodes records of (slot, pair count n, n character/attribute pairs). Returns false
    // when a slot is given twice, a record is malformed (n = 0, or cut short by the end of
    // the blob) or an allocation fails; palettes decoded before stay. Never reads outside
    // the blob.
    bool load(const ResourceBlob& blob);

    // The Palette in `slot`, or null when the slot is empty.
    const Palette* operator[](uint8_t slot) const { return slots[slot].get(); }
};
