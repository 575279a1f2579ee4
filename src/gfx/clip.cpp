// The two clipping rules. The steps run in 64-bit arithmetic so that extreme rectangles
// cannot overflow; whenever a non-empty rectangle is left the results are exactly those
// of the signed 32-bit rules, and an empty one is reported as false.
#include "gfx/clip.h"

#include <cstdint>

namespace {

// Writes a 64-bit intermediate back. Values only leave the 32-bit range on the way to an
// empty result, where the caller ignores them.
int32_t narrow(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

} // namespace

bool clipRectToSize(int32_t gridWidth, int32_t gridHeight, int32_t& x, int32_t& y, int32_t& w,
                    int32_t& h) {
    int64_t cx = x, cy = y, cw = w, ch = h;
    bool nonEmpty = false;
    if (cx < 0) {
        cw += cx;
        cx = 0;
    }
    if (cy < 0) {
        ch += cy;
        cy = 0;
    }
    if (cw > 0 && ch > 0) {
        if (cx + cw > gridWidth) cw = gridWidth - cx;
        if (cy + ch > gridHeight) ch = gridHeight - cy;
        nonEmpty = cw > 0 && ch > 0;
    }
    x = narrow(cx);
    y = narrow(cy);
    w = narrow(cw);
    h = narrow(ch);
    return nonEmpty;
}

bool clipBlitToSizes(int32_t destWidth, int32_t destHeight, int32_t sourceWidth,
                     int32_t sourceHeight, int32_t& sx, int32_t& sy, int32_t& dx, int32_t& dy,
                     int32_t& w, int32_t& h) {
    int64_t csx = sx, csy = sy, cdx = dx, cdy = dy, cw = w, ch = h;
    bool nonEmpty = false;
    if (csx < 0) {
        cw += csx;
        cdx -= csx;
        csx = 0;
    }
    if (csy < 0) {
        ch += csy;
        cdy -= csy;
        csy = 0;
    }
    if (cdx < 0) {
        cw += cdx;
        csx -= cdx;
        cdx = 0;
    }
    if (cdy < 0) {
        ch += cdy;
        csy -= cdy;
        cdy = 0;
    }
    if (cw > 0 && ch > 0) {
        if (csx + cw > sourceWidth) cw = sourceWidth - csx;
        if (csy + ch > sourceHeight) ch = sourceHeight - csy;
        if (cdx + cw > destWidth) cw = destWidth - cdx;
        if (cdy + ch > destHeight) ch = destHeight - cdy;
        nonEmpty = cw > 0 && ch > 0;
    }
    sx = narrow(csx);
    sy = narrow(csy);
    dx = narrow(cdx);
    dy = narrow(cdy);
    w = narrow(cw);
    h = narrow(ch);
    return nonEmpty;
}
