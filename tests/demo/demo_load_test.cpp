// DemoContent::load step by step: every resource missing or broken and every allocation
// failing in turn must give false and leave a content that comes down safely; a good load
// draws its random numbers bubbles first, dissolve second.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "demo/demo_content.h"
#include "fake_resource_store.h"
#include "gfx/next_random.h"

// Every nothrow allocation of the core goes through these. When armed, the Nth call from
// then on fails, as an exhausted heap would; the rest go through the ordinary operator new
// so that the sanitizers still pair them with their deletes.
namespace {
long allocationsUntilFailure = -1; // -1: never fail
long nothrowAllocations = 0;

void* allocateOrFail(std::size_t size, bool array) noexcept {
    ++nothrowAllocations;
    if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) return nullptr;
    try {
        return array ? ::operator new[](size) : ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrFail(size, false);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrFail(size, true);
}

namespace {

std::vector<uint8_t> bytes(size_t count, uint8_t value) {
    return std::vector<uint8_t>(count, value);
}

// Fifteen palettes of one pair each, slots 0 to 14.
std::vector<uint8_t> smallPalettes() {
    std::vector<uint8_t> records;
    for (uint8_t slot = 0; slot < 15; ++slot) {
        records.insert(records.end(), {slot, 1, 0xB1, static_cast<uint8_t>(slot + 1)});
    }
    return records;
}

void serveGoodResources() {
    clearFakeResources();
    setFakeResource("PALETTE.BIN", smallPalettes());
    setFakeResource("TEXT.BIN", bytes(12800, '.'));
    setFakeResource("BACKDROP.RAW", bytes(4000, 128));
    setFakeResource("TUNNEL0.RAW", bytes(8192, 64));
    setFakeResource("TUNNEL1.RAW", bytes(2048, 64));
    setFakeResource("TUNNEL2.RAW", bytes(512, 64));
}

class DemoLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        serveGoodResources();
        RandomState = 1;
        allocationsUntilFailure = -1;
    }
    void TearDown() override {
        allocationsUntilFailure = -1;
        clearFakeResources();
    }
    std::unique_ptr<DemoContent> content = std::make_unique<DemoContent>();

    // A new content with the random sequence from its start, as a new process has it.
    static std::unique_ptr<DemoContent> fresh() {
        RandomState = 1;
        return std::make_unique<DemoContent>();
    }
};

// How far a load got: which members hold their data.
struct Built {
    bool palettes, scratch, mainLayer, textImage, backdrop, bubblesDrawn, target, levels, dissolve;
};

Built built(const DemoContent& c, uint32_t randomStateBefore) {
    return Built{c.palettes.slots[0] != nullptr,   c.scratch.cells != nullptr,
                 c.mainLayer.cells != nullptr,     c.textImage.cells != nullptr,
                 c.backdrop.cells != nullptr,      RandomState != randomStateBefore,
                 c.tunnel.target.cells != nullptr, c.tunnel.level2.cells != nullptr,
                 c.dissolve.order != nullptr};
}

} // namespace

TEST_F(DemoLoad, SucceedsWithEveryResourceAndBuildsEveryMember) {
    ASSERT_TRUE(content->load());
    const Built b = built(*content, 1);
    EXPECT_TRUE(b.palettes && b.scratch && b.mainLayer && b.textImage && b.backdrop &&
                b.bubblesDrawn && b.target && b.levels && b.dissolve);
    EXPECT_EQ(content->scratch.width, 128);
    EXPECT_EQ(content->scratch.height, 64);
    EXPECT_EQ(content->mainLayer.width, 80);
    EXPECT_EQ(content->mainLayer.height, 50);
    EXPECT_EQ(content->textImage.height, 80);
    EXPECT_EQ(content->backdrop.height, 50);
    // The backdrop refers to palette slot 9.
    EXPECT_EQ(content->backdrop.cells[0].palette, content->palettes.slots[9].get());
    EXPECT_EQ(content->palettes.slots[15], nullptr);
}

TEST_F(DemoLoad, BubblesDrawTheFirstRandomNumbersAndTheDissolveTheNext40000) {
    ASSERT_TRUE(content->load());
    // The sequence from state 1 starts 41, 18467, 6334, 26500, 19169, 15724.
    const Bubble& first = content->bubbles.bubbles[0];
    EXPECT_FLOAT_EQ(first.baseRadius, 3.0f + 41 * 9.155553e-05f);
    EXPECT_FLOAT_EQ(first.x, 18467 * 0.0024414808f);
    EXPECT_FLOAT_EQ(first.y, 6334 * 0.0015259255f);
    EXPECT_FLOAT_EQ(content->bubbles.bubbles[1].baseRadius, 3.0f + 26500 * 9.155553e-05f);
    // 360 for the bubbles, two per swap for the 20,000 swaps of the dissolve, nothing else.
    const uint32_t after = RandomState;
    RandomState = 1;
    for (int i = 0; i < 360 + 40000; ++i) NextRandom();
    EXPECT_EQ(after, RandomState);
}

TEST_F(DemoLoad, MissingOrBrokenResourceFailsAtItsStepAndKeepsWhatWasBuilt) {
    struct Case {
        const char* what;
        const char* name;           // resource to replace
        std::vector<uint8_t> bytes; // its replacement; empty hides it
        Built expected;
    };
    std::vector<uint8_t> duplicateSlot = smallPalettes();
    duplicateSlot.insert(duplicateSlot.end(), {3, 1, 0x20, 0x07});
    const Case cases[] = {
        {"palette.bin missing",
         "palette.bin",
         {},
         {false, false, false, false, false, false, false, false, false}},
        {"palette.bin slot twice",
         "palette.bin",
         duplicateSlot,
         {true, false, false, false, false, false, false, false, false}},
        {"text.bin missing",
         "text.bin",
         {},
         {true, true, true, false, false, false, false, false, false}},
        {"backdrop.raw missing",
         "backdrop.raw",
         {},
         {true, true, true, true, false, false, false, false, false}},
        {"tunnel0.raw missing",
         "tunnel0.raw",
         {},
         {true, true, true, true, true, true, true, false, false}},
        {"tunnel1.raw missing",
         "tunnel1.raw",
         {},
         {true, true, true, true, true, true, true, false, false}},
        {"tunnel2.raw missing",
         "tunnel2.raw",
         {},
         {true, true, true, true, true, true, true, false, false}},
        // 2,000 bytes at 64 wide make 31 rows: not a power of two.
        {"tunnel1.raw not a power of two",
         "tunnel1.raw",
         bytes(2000, 1),
         {true, true, true, true, true, true, true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        serveGoodResources();
        if (c.bytes.empty())
            removeFakeResource(c.name);
        else
            setFakeResource(c.name, c.bytes);
        auto partial = fresh();
        EXPECT_FALSE(partial->load());
        const Built b = built(*partial, 1);
        EXPECT_EQ(b.palettes, c.expected.palettes);
        EXPECT_EQ(b.scratch, c.expected.scratch);
        EXPECT_EQ(b.mainLayer, c.expected.mainLayer);
        EXPECT_EQ(b.textImage, c.expected.textImage);
        EXPECT_EQ(b.backdrop, c.expected.backdrop);
        EXPECT_EQ(b.bubblesDrawn, c.expected.bubblesDrawn);
        EXPECT_EQ(b.target, c.expected.target);
        EXPECT_EQ(b.levels, c.expected.levels);
        EXPECT_EQ(b.dissolve, c.expected.dissolve);
        partial.reset(); // the teardown of a partly loaded content (checked by the sanitizers)
    }
}

TEST_F(DemoLoad, EveryAllocationFailingInTurnFailsTheLoadAndTearsDownCleanly) {
    nothrowAllocations = 0;
    {
        DemoContent counting;
        ASSERT_TRUE(counting.load());
    }
    const long total = nothrowAllocations;
    // 15 palettes, scratch, mainLayer, textImage, backdrop, the tunnel's four textures,
    // the dissolve's picture and order.
    EXPECT_GE(total, 25);
    for (long n = 1; n <= total; ++n) {
        SCOPED_TRACE(n);
        auto failing = fresh();
        allocationsUntilFailure = n;
        EXPECT_FALSE(failing->load());
        allocationsUntilFailure = -1;
        failing->release();
        failing->release(); // twice is harmless
        failing.reset();
    }
    // Nothing is left in a state that stops a later load.
    RandomState = 1;
    EXPECT_TRUE(content->load());
}

TEST_F(DemoLoad, ReleaseFreesEveryMember) {
    ASSERT_TRUE(content->load());
    content->release();
    EXPECT_EQ(content->scratch.cells, nullptr);
    EXPECT_EQ(content->tunnel.level0.cells, nullptr);
    EXPECT_EQ(content->dissolve.order, nullptr);
    for (const auto& slot : content->palettes.slots) EXPECT_EQ(slot, nullptr);
}
