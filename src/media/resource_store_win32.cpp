// ResourceBlob::load on Windows: the resources are RT_RCDATA entries of the executable's
// resource section (compiled from the generated kaveo.rc), stored under upper-case names.
// The system's lookup ignores ASCII case, so any spelling of a name finds the same bytes.
#include <windows.h>

#include "gfx/resource_blob.h"

const uint8_t* ResourceBlob::load(const char* name, uint32_t type) {
    data = nullptr;
    size = 0;
    if (name == nullptr) return nullptr;
    if (type == 0) type = kResourceTypeData;
    // Only 16-bit numbers are resource types; a larger one would be cut to another type.
    if (type > 0xFFFF) return nullptr;

    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(type));
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) return nullptr;
    const DWORD bytes = SizeofResource(nullptr, found);
    if (bytes == 0) return nullptr;
    const void* locked = LockResource(loaded);
    // The image is mapped for the life of the process, so the view needs no release.
    if (locked == nullptr) return nullptr;
    data = static_cast<const uint8_t*>(locked);
    size = bytes;
    return data;
}
