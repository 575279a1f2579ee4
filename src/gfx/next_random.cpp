// The process-wide random source's state, and skipping ahead in it.
#include "gfx/next_random.h"

uint32_t RandomState = 1;

// n draws are one affine map, state * m + c (mod 2^32): the maps of 1, 2, 4 ... draws come
// from squaring, and those of the set bits of `count` are composed.
void skipRandom(uint32_t count) {
    uint32_t m = kRandomMultiplier, c = kRandomIncrement; // the map of 2^bit draws
    uint32_t totalM = 1u, totalC = 0u;
    for (; count != 0; count >>= 1) {
        if (count & 1u) {
            totalM *= m;
            totalC = totalC * m + c;
        }
        c = (m + 1u) * c;
        m *= m;
    }
    RandomState = RandomState * totalM + totalC;
}
