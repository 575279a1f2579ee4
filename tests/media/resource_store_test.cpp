// The embedded resource store: lookups by name in any letter case, failures, and the bytes
// handed out being exactly the files the tools built, without a copy.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/resource_blob.h"
#include "media/resource_store.h"

namespace {

std::vector<uint8_t> builtFile(const std::string& name) {
    std::ifstream in(std::string(KAVEO_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

TEST(ResourceStore, EmbedsEveryRegisteredResourceWithItsBuiltBytes) {
    // The pictures and tables at their documented sizes; whatever else the tools register
    // (the soundtrack among them) is embedded unchanged too.
    struct Case {
        const char* name;
        uint32_t size;
    };
    for (const Case c :
         {Case{"palette.bin", 542}, Case{"text.bin", 12800}, Case{"backdrop.raw", 4000},
          Case{"tunnel0.raw", 8192}, Case{"tunnel1.raw", 2048}, Case{"tunnel2.raw", 512}}) {
        ResourceBlob blob;
        EXPECT_NE(blob.load(c.name, kResourceTypeData), nullptr) << c.name;
        EXPECT_EQ(blob.size, c.size) << c.name;
    }
    ASSERT_GE(resourceCount(), 6);
    for (int32_t i = 0; i < resourceCount(); ++i) {
        const char* name = resourceName(i);
        ASSERT_NE(name, nullptr);
        SCOPED_TRACE(name);
        ResourceBlob blob;
        ASSERT_NE(blob.load(name, kResourceTypeData), nullptr);
        const std::vector<uint8_t> file = builtFile(name);
        ASSERT_EQ(file.size(), blob.size);
        EXPECT_TRUE(std::equal(file.begin(), file.end(), blob.data));
    }
    EXPECT_EQ(resourceName(-1), nullptr);
    EXPECT_EQ(resourceName(resourceCount()), nullptr);
}

TEST(ResourceStore, NamesMatchInAnyLetterCaseAndHandOutTheSameBytes) {
    ResourceBlob lower;
    ASSERT_NE(lower.load("tunnel1.raw", kResourceTypeData), nullptr);
    for (const char* name : {"TUNNEL1.RAW", "Tunnel1.Raw", "tUNNEL1.rAW"}) {
        SCOPED_TRACE(name);
        ResourceBlob other;
        EXPECT_EQ(other.load(name, kResourceTypeData), lower.data); // a view, not a copy
        EXPECT_EQ(other.size, lower.size);
    }
}

TEST(ResourceStore, TypeZeroMeansTheDataTypeAndNoOtherTypeIsStored) {
    ResourceBlob data;
    ResourceBlob zero;
    ASSERT_NE(data.load("palette.bin", 10), nullptr);
    EXPECT_EQ(zero.load("palette.bin", 0), data.data);
    EXPECT_EQ(zero.size, data.size);
    ResourceBlob icon;
    EXPECT_EQ(icon.load("palette.bin", 3), nullptr);
    EXPECT_EQ(icon.size, 0u);
}

TEST(ResourceStore, AFailedLookupEmptiesTheBlobEvenAfterASuccess) {
    ResourceBlob blob;
    ASSERT_NE(blob.load("text.bin", kResourceTypeData), nullptr);
    for (const char* name : {"missing.bin", "", "text.bi", "text.bin.", "text.bin ", "ext.bin"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(blob.load("text.bin", kResourceTypeData), nullptr);
        EXPECT_EQ(blob.load(name, kResourceTypeData), nullptr);
        EXPECT_EQ(blob.data, nullptr);
        EXPECT_EQ(blob.size, 0u);
    }
    ASSERT_NE(blob.load("text.bin", kResourceTypeData), nullptr);
    EXPECT_EQ(blob.load(nullptr, kResourceTypeData), nullptr);
    EXPECT_EQ(blob.data, nullptr);
    EXPECT_EQ(blob.size, 0u);
}

TEST(ResourceStore, ASecondLoadReplacesBothMembers) {
    ResourceBlob blob;
    ASSERT_NE(blob.load("tunnel2.raw", kResourceTypeData), nullptr);
    const uint8_t* first = blob.data;
    ASSERT_NE(blob.load("backdrop.raw", kResourceTypeData), nullptr);
    EXPECT_NE(blob.data, first);
    EXPECT_EQ(blob.size, 4000u);
}

} // namespace
