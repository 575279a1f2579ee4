// Resource store for builds without Win32 resources: the resources are arrays compiled into
// the program, and a lookup hands out a view of them (no file is read, nothing is copied).
// Implements ResourceBlob::load and the name listing of resource_store.h.
#include "media/resource_store_embedded.h"
#include "gfx/resource_blob.h"
#include "media/resource_store.h"

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameNameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lowerAscii(*a) != lowerAscii(*b)) return false;
    return *a == *b;
}

} // namespace

const uint8_t* ResourceBlob::load(const char* name, uint32_t type) {
    data = nullptr;
    size = 0;
    if (name == nullptr) return nullptr;
    if (type == 0) type = kResourceTypeData;
    // Every embedded resource is of the data type; no other type is stored.
    if (type != kResourceTypeData) return nullptr;
    for (int32_t i = 0; i < EmbeddedResourceCount; ++i) {
        const EmbeddedResource& resource = EmbeddedResources[i];
        if (!sameNameIgnoringCase(resource.name, name)) continue;
        if (resource.size == 0) return nullptr;
        size = resource.size;
        data = resource.data;
        return data;
    }
    return nullptr;
}

int32_t resourceCount() {
    return EmbeddedResourceCount;
}

const char* resourceName(int32_t index) {
    if (index < 0 || index >= EmbeddedResourceCount) return nullptr;
    return EmbeddedResources[index].name;
}
