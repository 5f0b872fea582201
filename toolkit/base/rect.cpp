#include "toolkit/base/rect.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t Wrap(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

// The strict two-sided test b - d < a < b + d.
bool Near(int64_t a, int64_t b, int64_t d) {
    return b - d < a && a < b + d;
}

// Edges in 64 bits, so that a rectangle reaching past the 32-bit range still compares right.
struct Edges {
    int64_t left, top, right, bottom;
    bool IsEmpty() const { return left >= right || top >= bottom; }
};

Edges Overlap(const oxRect& a, const oxRect& b) {
    return {std::max<int64_t>(a.x, b.x), std::max<int64_t>(a.y, b.y), std::min(a.Right(), b.Right()),
            std::min(a.Bottom(), b.Bottom())};
}

} // namespace

oxPoint& oxPoint::Offset(int32_t dx, int32_t dy) {
    x = Wrap(int64_t(x) + dx);
    y = Wrap(int64_t(y) + dy);
    return *this;
}

oxRect& oxRect::FromRECT(const RECT& r) {
    return Set(r.left, r.top, Wrap(int64_t(r.right) - r.left), Wrap(int64_t(r.bottom) - r.top));
}

RECT oxRect::ToRECT() const {
    return RECT{x, y, Wrap(Right()), Wrap(Bottom())};
}

oxRect& oxRect::Offset(const oxPoint& by) {
    x = Wrap(int64_t(x) + by.x);
    y = Wrap(int64_t(y) + by.y);
    return *this;
}

bool oxRect::Intersects(const oxRect& other) const {
    return !Overlap(*this, other).IsEmpty();
}

bool oxRect::Contains(const oxPoint& p) const {
    return x <= p.x && p.x < Right() && y <= p.y && p.y < Bottom();
}

oxRect& oxRect::Intersect(const oxRect& other) {
    Edges e = Overlap(*this, other);
    if (e.IsEmpty()) return Clear();
    return Set(int32_t(e.left), int32_t(e.top), Wrap(e.right - e.left), Wrap(e.bottom - e.top));
}

oxRect& oxRect::Union(const oxRect& other) {
    int64_t left = std::min<int64_t>(x, other.x);
    int64_t top = std::min<int64_t>(y, other.y);
    int64_t right = std::max(Right(), other.Right());
    int64_t bottom = std::max(Bottom(), other.Bottom());
    return Set(int32_t(left), int32_t(top), Wrap(right - left), Wrap(bottom - top));
}

oxRect& oxRect::Inflate(int32_t n) {
    return InflateBy(n, n, n, n);
}

oxRect& oxRect::Deflate(int32_t n) {
    return DeflateBy(n, n, n, n);
}

oxRect& oxRect::InflateByMargins(const oxRect& margins) {
    // Margins read as left, top, right, bottom.
    return InflateBy(margins.y, margins.width, margins.height, margins.x);
}

oxRect& oxRect::InflateBy(int32_t top, int32_t right, int32_t bottom, int32_t left) {
    x = Wrap(int64_t(x) - left);
    y = Wrap(int64_t(y) - top);
    width = Wrap(int64_t(width) + left + right);
    height = Wrap(int64_t(height) + top + bottom);
    return *this;
}

oxRect& oxRect::DeflateBy(int32_t top, int32_t right, int32_t bottom, int32_t left) {
    x = Wrap(int64_t(x) + left);
    y = Wrap(int64_t(y) + top);
    width = Wrap(int64_t(width) - left - right);
    height = Wrap(int64_t(height) - top - bottom);
    return *this;
}

oxRect& oxRect::ScaleToFit(const oxRect& other) {
    float sx = float(width) / float(other.width);
    float sy = float(height) / float(other.height);
    float s = 1.0f / std::max(sx, sy);
    // A degenerate rect on either side has no scale that fits; it collapses instead of producing
    // an unrepresentable size.
    double w = std::isfinite(s) ? std::trunc(double(width) * s) : 0.0;
    double h = std::isfinite(s) ? std::trunc(double(height) * s) : 0.0;
    if (!(std::fabs(w) < 2147483648.0) || !(std::fabs(h) < 2147483648.0)) w = h = 0;
    width = int32_t(w);
    height = int32_t(h);
    // Centred in the box: x + (width - w) / 2, where x + width - w / 2 would place it past the box.
    x = Wrap(int64_t(other.x) + (int64_t(other.width) - width) / 2);
    y = Wrap(int64_t(other.y) + (int64_t(other.height) - height) / 2);
    return *this;
}

bool oxRect::SnapToEdgesUniform(const oxRect& target, int32_t distance, bool inside) {
    return SnapToEdges(target, oxRect{distance, distance, distance, distance}, inside);
}

bool oxRect::SnapToEdges(const oxRect& t, const oxRect& distances, bool inside) {
    const int32_t dl = distances.x, dt = distances.y, dr = distances.width, db = distances.height;
    bool moved = false;
    auto moveX = [&](int64_t to) {
        x = Wrap(to);
        moved = true;
    };
    auto moveY = [&](int64_t to) {
        y = Wrap(to);
        moved = true;
    };

    if (inside) {
        if (dr > 0 && Near(Right(), t.Right(), dr)) moveX(t.Right() - width);
        if (dl > 0 && Near(x, t.x, dl)) moveX(t.x);
        if (db > 0 && Near(Bottom(), t.Bottom(), db)) moveY(t.Bottom() - height);
        if (dt > 0 && Near(y, t.y, dt)) moveY(t.y);
        return moved;
    }

    auto overlapsVertically = [&] {
        return (t.y < y && y < t.Bottom()) || (t.y <= Bottom() && Bottom() <= t.Bottom()) ||
               (y <= t.y && Bottom() >= t.Bottom());
    };
    auto overlapsHorizontally = [&] {
        return (t.x < x && x < t.Right()) || (t.x <= Right() && Right() <= t.Right()) ||
               (x <= t.x && Right() >= t.Right());
    };
    if (Near(Right(), t.x, dr) && overlapsVertically()) moveX(int64_t(t.x) - width);
    if (Near(x, t.Right(), dl) && overlapsVertically()) moveX(t.Right());
    if (Near(Bottom(), t.y, db) && overlapsHorizontally()) moveY(int64_t(t.y) - height);
    if (Near(y, t.Bottom(), dt) && overlapsHorizontally()) moveY(t.Bottom());
    if (!moved) return false;

    // Docked: line up with the target's edges along the other axis when they are close.
    if (dr / 2 > 0 && Near(Right(), t.Right(), dr / 2) && t.x != x) x = Wrap(t.Right() - width);
    if (dl / 2 > 0 && Near(x, t.x, dl / 2) && Right() != t.Right()) x = t.x;
    if (db / 2 > 0 && Near(Bottom(), t.Bottom(), db / 2) && t.y != y) y = Wrap(t.Bottom() - height);
    if (dt / 2 > 0 && Near(y, t.y, dt / 2) && Bottom() != t.Bottom()) y = t.y;
    return true;
}
