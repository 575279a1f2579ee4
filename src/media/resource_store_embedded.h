// The table of resources compiled into the program (by tools/embed, at build time), read by
// the embedded resource store. Not for other code: use ResourceBlob::load.
#pragma once

#include <cstdint>

struct EmbeddedResource {
    const char* name; // the file name it was built as, e.g. "palette.bin"
    const uint8_t* data;
    uint32_t size; // bytes
};

// EmbeddedResourceCount entries (the array holds one empty entry when there are none).
extern const EmbeddedResource EmbeddedResources[];
extern const int32_t EmbeddedResourceCount;
