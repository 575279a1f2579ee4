// PaletteSet::load: spreading ramps over 256 levels, the real palette table, duplicate slots
// and hostile input (zero counts, truncated records, random bytes).
#include <algorithm>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/palette.h"
#include "gfx/resource_blob.h"
#include "palette_fixture.h"

namespace {

// Pair j of a ramp is (character j, attribute 0x80 + j), so every entry names its pair.
std::vector<uint8_t> ramp(uint8_t slot, int pairCount) {
    std::vector<uint8_t> bytes = {slot, static_cast<uint8_t>(pairCount)};
    for (int j = 0; j < pairCount; ++j) {
        bytes.push_back(static_cast<uint8_t>(j));
        bytes.push_back(static_cast<uint8_t>(0x80 + j));
    }
    return bytes;
}

// Loads from an exact-size heap copy, so that the sanitizer sees any read past the end.
bool load(PaletteSet& set, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return set.load(
        ResourceBlob{bytes.empty() ? nullptr : copy.get(), static_cast<uint32_t>(bytes.size())});
}

int pairAt(const PaletteSet& set, uint8_t slot, int level) {
    return set[slot]->entries[level].character;
}

TEST(PaletteSetLoad, SpreadsPairsOverLevels) {
    struct Range {
        int pairCount, firstLevel, lastLevel, pair;
    };
    const Range ranges[] = {
        {1, 0, 255, 0}, // one pair fills everything
        {13, 0, 19, 0}, {13, 20, 39, 1},      {13, 40, 59, 2}, {13, 237, 255, 12}, {255, 0, 1, 0},
        {255, 2, 2, 1}, {255, 255, 255, 254}, {2, 0, 127, 0},  {2, 128, 255, 1},
    };
    for (const Range& r : ranges) {
        PaletteSet set;
        ASSERT_TRUE(load(set, ramp(3, r.pairCount)));
        for (int level = r.firstLevel; level <= r.lastLevel; ++level) {
            EXPECT_EQ(pairAt(set, 3, level), r.pair) << "n=" << r.pairCount << " level " << level;
            EXPECT_EQ(set[3]->entries[level].attribute, (0x80 + r.pair) & 0xFF);
        }
    }
    PaletteSet thirteen;
    ASSERT_TRUE(load(thirteen, ramp(0, 13)));
    EXPECT_EQ(pairAt(thirteen, 0, 236), 11);
}

TEST(PaletteSetLoad, RealTable) {
    const std::vector<uint8_t> bytes = paletteResourceBytes();
    ASSERT_EQ(bytes.size(), 542u);
    PaletteSet set;
    ASSERT_TRUE(load(set, bytes));
    for (int slot = 0; slot < 256; ++slot) EXPECT_EQ(set.slots[slot] != nullptr, slot < 15) << slot;
    for (int slot : {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14}) {
        EXPECT_EQ(set.slots[slot]->entries[255].character, 0x20) << slot;
        EXPECT_EQ(set.slots[slot]->entries[255].attribute, 0xFF) << slot;
    }
    EXPECT_EQ(set[6]->entries[0].attribute, 0xFF);
    EXPECT_EQ(set[6]->entries[255].attribute, 0x00);
    EXPECT_EQ(set[7]->entries[255].character, 0x2A);
    EXPECT_EQ(set[7]->entries[255].attribute, 0x0F);
    // Intensity 0.6 in slot 8 is level 153, pair 7: light shade, blue on bright blue.
    EXPECT_EQ(set[8]->entries[153].character, 0xB0);
    EXPECT_EQ(set[8]->entries[153].attribute, 0x91);
    for (int level = 0; level < 256; ++level) {
        EXPECT_EQ(set[3]->entries[level].attribute, set[8]->entries[level].attribute);
    }
}

TEST(PaletteSetLoad, EmptyAndDuplicate) {
    PaletteSet empty;
    EXPECT_TRUE(load(empty, {}));
    for (int slot = 0; slot < 256; ++slot) EXPECT_EQ(empty.slots[slot], nullptr);

    // Copied into place rather than appended with insert: GCC 12 reports a false
    // -Wstringop-overflow for that insert with the packaging flags (_FORTIFY_SOURCE).
    const std::vector<uint8_t> first = ramp(5, 1);
    const std::vector<uint8_t> again = ramp(5, 2);
    std::vector<uint8_t> twice(first.size() + again.size());
    std::copy(again.begin(), again.end(), std::copy(first.begin(), first.end(), twice.begin()));
    PaletteSet set;
    EXPECT_FALSE(load(set, twice));
    ASSERT_NE(set[5], nullptr);
    EXPECT_EQ(pairAt(set, 5, 255), 0); // the first record's Palette stays
}

TEST(PaletteSetLoad, MalformedRecordsFailWithoutReadingPastTheEnd) {
    const std::vector<uint8_t> good = ramp(1, 4);
    struct Case {
        const char* name;
        std::vector<uint8_t> tail;
    };
    const Case cases[] = {
        {"zero pair count", {9, 0}},
        {"zero pair count at end of data", {9, 0, 0x20, 0x07}},
        {"lone slot byte", {9}},
        {"truncated pairs", {9, 3, 0x20, 0x07, 0xB0}},
        {"count beyond data", {9, 255, 1, 2}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
        PaletteSet set;
        EXPECT_FALSE(load(set, bytes)) << c.name;
        EXPECT_NE(set[1], nullptr) << c.name; // decoded before the bad record
        EXPECT_EQ(set[9], nullptr) << c.name;
    }
}

TEST(PaletteSetLoad, HostileBytes) {
    const std::vector<uint8_t> real = paletteResourceBytes();
    std::vector<bool> boundary(real.size() + 1, false);
    for (size_t at = 0; at < real.size(); at += 2 + 2 * size_t{real[at + 1]}) boundary[at] = true;
    for (size_t cut = 0; cut < real.size(); ++cut) {
        PaletteSet set;
        const bool ok =
            load(set, std::vector<uint8_t>(real.begin(), real.begin() + static_cast<long>(cut)));
        EXPECT_EQ(ok, boundary[cut]) << "cut at " << cut; // whole records only
    }
    uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        state = state * 1103515245u + 12345u;
        std::vector<uint8_t> bytes((state >> 16) % 64);
        for (uint8_t& b : bytes) {
            state = state * 1103515245u + 12345u;
            b = static_cast<uint8_t>(state >> 24);
        }
        PaletteSet set;
        load(set, bytes);
    }
}

} // namespace
