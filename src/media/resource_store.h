// What the shell may ask the resource store besides ResourceBlob::load: the names of the
// embedded resources, for listing them (the extract command). The embedded store
// (resource_store_embedded.cpp) implements these; the Win32 store does not, since the
// Windows program has no extract command.
#pragma once

#include <cstdint>

// Number of embedded resources.
int32_t resourceCount();

// Name of resource `index` as stored (0 <= index < resourceCount()), or null outside.
const char* resourceName(int32_t index);
