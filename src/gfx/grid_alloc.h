// Zero-filled grid allocation shared by the loaders and creators of the core: every size is
// checked before it reaches operator new, and a failure is a null pointer, never a throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

// Number of elements of a width x height grid, or -1 when a side is negative or the product
// cannot be allocated as an array of T.
template <class T> int64_t gridElementCount(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return -1;
    const int64_t count = static_cast<int64_t>(width) * static_cast<int64_t>(height);
    if (static_cast<uint64_t>(count) > PTRDIFF_MAX / sizeof(T)) return -1;
    return count;
}

// Rows of a grid of `count` elements laid out `rowWidth` to a row (the last partial row
// dropped), or -1 when the width is below 1 or the rows do not fit an int32.
inline int32_t gridRowCount(uint32_t count, int32_t rowWidth) {
    if (rowWidth < 1) return -1;
    const uint32_t rows = count / static_cast<uint32_t>(rowWidth);
    return rows > static_cast<uint32_t>(INT32_MAX) ? -1 : static_cast<int32_t>(rows);
}

// `count` value-initialised (all-zero) elements, or null when the memory is not there.
template <class T> std::unique_ptr<T[]> allocateZeroed(uint64_t count) {
    if (count > PTRDIFF_MAX / sizeof(T)) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(count)]());
}
