// What the shell may ask the resource store besides ResourceBlob::load: the names of the
// embedded resources, for listing them (the extract command). Each back end of the store
// implements these beside its ResourceBlob::load.
#pragma once

#include <cstdint>

// Number of embedded resources.
int32_t resourceCount();

// Name of resource `index` as stored (0 <= index < resourceCount()), or null outside.
const char* resourceName(int32_t index);
