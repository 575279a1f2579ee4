// ResourceBlob: a read-only view of one resource embedded in the executable.
// The loaders of the core read it and copy what they need. The lookup itself,
// ResourceBlob::load, is provided by the platform's resource store (src/media/),
// chosen when linking, so the core never sees how resources are embedded.
#pragma once

#include <cstdint>

// Resource type of every embedded resource (the Win32 RT_RCDATA number).
constexpr uint32_t kResourceTypeData = 10;

struct ResourceBlob {
    const uint8_t* data = nullptr; // first byte; owned by the executable image, never freed
    uint32_t size = 0;             // bytes

    // Finds the resource called `name` (ASCII case ignored) of `type` (0 means 10).
    // Returns data, or null when the name is null or unknown or the resource is empty;
    // data and size are reset first, so on failure they are null and 0.
    const uint8_t* load(const char* name, uint32_t type);
};
