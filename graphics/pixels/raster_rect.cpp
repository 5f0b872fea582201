#include "graphics/pixels/raster_rect.h"

#include <algorithm>

bool IntersectRECT(const RECT* a, const RECT* b, RECT* out) {
    if (!a || !b) return false;
    if (!out) return a->left < b->right && b->left < a->right && a->top < b->bottom && b->top < a->bottom;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    *out = r;
    return r.left < r.right && r.top < r.bottom;
}
