#pragma once
// Helpers on raster rectangles {left, top, right, bottom}, right and bottom exclusive.
#include "platform/types.h"

// True when a and b overlap; touching edges do not. With `out` the intersection is stored even
// when it is empty. A null b gives false and leaves `out` alone.
bool IntersectRECT(const RECT* a, const RECT* b, RECT* out);

inline bool IsRectEmpty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}
