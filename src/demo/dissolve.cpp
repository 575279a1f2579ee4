// The dissolve: building the blanking order once, and redrawing the picture per frame.
#include "demo/dissolve.h"

#include <new>

#include "gfx/next_random.h"

namespace {

constexpr int32_t kSwaps = 20000;
constexpr int32_t kReach = 500; // how far one swap may move an index: about six rows
constexpr double kCellsPerSecondPerCell = 0.4;
constexpr Cell kDot{'.', 0x07};
constexpr uint16_t kSpace = ' ';

} // namespace

bool DissolveEffect::create(int32_t width, int32_t height) {
    if (!picture.create(width, height)) return false;
    const int64_t count = static_cast<int64_t>(width) * height;
    // The shuffle multiplies a random number (< 2^15) by the count in 32 bits.
    if (count <= 0 || count > INT32_MAX / 32768) return false;
    order.reset(new (std::nothrow) int32_t[static_cast<size_t>(count)]);
    if (!order) return false;
    cellCount = static_cast<int32_t>(count);
    for (int32_t i = 0; i < cellCount; ++i) order[i] = i;
    for (int32_t n = 0; n < kSwaps; ++n) {
        int32_t a = NextRandom() * cellCount / 32767;
        int32_t b = a + NextRandom() * kReach / 32767;
        if (a >= cellCount) a = cellCount - 1;
        if (b >= cellCount) b = cellCount - 1;
        const int32_t swapped = order[a];
        order[a] = order[b];
        order[b] = swapped;
    }
    return true;
}

void DissolveEffect::step(float t) {
    if (!order) return;
    picture.fillRect(kDot, 0, 0, picture.width, picture.height);
    const double wanted = cellCount * static_cast<double>(t) * kCellsPerSecondPerCell;
    // Negative and not-a-number times blank nothing; the count never reaches the last cell.
    if (!(wanted >= 0.0)) return;
    const int32_t n = wanted >= cellCount ? cellCount - 1 : static_cast<int32_t>(wanted);
    for (int32_t i = 0; i < n; ++i) picture.cells[order[i]].character = kSpace;
}

void DissolveEffect::release() {
    order.reset();
    cellCount = 0;
    picture = CellImage{};
}
