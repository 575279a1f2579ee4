// ResourceBlob::load on the executable's own Win32 resources: every name the program asks
// for, in any letter case, gives the bytes the host tools wrote, without a copy.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/resource_blob.h"

namespace {

std::vector<uint8_t> hostFile(const char* name) {
    std::ifstream in(std::string(KAVEO_HOST_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Expected {
    const char* name;
    uint32_t size;
};

// Sizes from the formats: 80 x 80 pairs, 80 x 50 bytes, 128 x 64, 64 x 32, 32 x 16 texels.
const Expected kResources[] = {
    {"palette.bin", 542},  {"text.bin", 12800},   {"backdrop.raw", 4000},
    {"tunnel0.raw", 8192}, {"tunnel1.raw", 2048}, {"tunnel2.raw", 512},
};

TEST(ResourceStoreWin32, EveryResourceHasTheHostBytes) {
    for (const Expected& e : kResources) {
        SCOPED_TRACE(e.name);
        ResourceBlob blob;
        ASSERT_NE(blob.load(e.name, 10), nullptr);
        EXPECT_EQ(blob.size, e.size);
        const std::vector<uint8_t> host = hostFile(e.name);
        ASSERT_EQ(host.size(), blob.size);
        EXPECT_TRUE(std::equal(host.begin(), host.end(), blob.data));
    }
}

TEST(ResourceStoreWin32, AnyLetterCaseFindsTheSameBytes) {
    ResourceBlob lower, upper, mixed;
    ASSERT_NE(lower.load("tunnel1.raw", 10), nullptr);
    ASSERT_NE(upper.load("TUNNEL1.RAW", 10), nullptr);
    ASSERT_NE(mixed.load("TuNnEl1.RaW", 10), nullptr);
    // The same bytes in the image, not copies.
    EXPECT_EQ(upper.data, lower.data);
    EXPECT_EQ(mixed.data, lower.data);
    EXPECT_EQ(mixed.size, lower.size);
}

TEST(ResourceStoreWin32, FailuresLeaveTheBlobEmpty) {
    ResourceBlob blob;
    ASSERT_NE(blob.load("palette.bin", 10), nullptr);
    const char* missing[] = {"nothing.bin", "palette", "palette.bin ", ""};
    for (const char* name : missing) {
        SCOPED_TRACE(name);
        blob.load("palette.bin", 10);
        EXPECT_EQ(blob.load(name, 10), nullptr);
        EXPECT_EQ(blob.data, nullptr);
        EXPECT_EQ(blob.size, 0u);
    }
    blob.load("palette.bin", 10);
    EXPECT_EQ(blob.load(nullptr, 10), nullptr);
    EXPECT_EQ(blob.size, 0u);
    // Another type holds nothing of that name; a type that is not 16-bit is not cut to 10.
    EXPECT_EQ(blob.load("palette.bin", 3), nullptr);
    EXPECT_EQ(blob.load("palette.bin", 0x1000A), nullptr);
    EXPECT_EQ(blob.size, 0u);
}

TEST(ResourceStoreWin32, TypeZeroIsData) {
    ResourceBlob zero, ten;
    ASSERT_NE(zero.load("backdrop.raw", 0), nullptr);
    ASSERT_NE(ten.load("backdrop.raw", 10), nullptr);
    EXPECT_EQ(zero.data, ten.data);
    EXPECT_EQ(zero.size, ten.size);
}

TEST(ResourceStoreWin32, ReloadReplacesBothMembers) {
    ResourceBlob blob;
    ASSERT_NE(blob.load("text.bin", 10), nullptr);
    ASSERT_NE(blob.load("tunnel2.raw", 10), nullptr);
    EXPECT_EQ(blob.size, 512u);
    ResourceBlob fresh;
    fresh.load("tunnel2.raw", 10);
    EXPECT_EQ(blob.data, fresh.data);
}

} // namespace
