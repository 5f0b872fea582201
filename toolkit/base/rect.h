#pragma once
// The toolkit's integer geometry records: box positions and sizes, clip and paint rectangles,
// window placement, event coordinates. Plain values with no virtual table. Arithmetic wraps at
// 32 bits, as the device's did, instead of overflowing.
#include <cstdint>

#include "platform/types.h"

struct oxPoint {
    int32_t x = 0;
    int32_t y = 0;

    oxPoint& Set(int32_t px, int32_t py) {
        x = px;
        y = py;
        return *this;
    }
    oxPoint& Assign(const oxPoint& other) { return *this = other; }
    oxPoint& Offset(int32_t dx, int32_t dy);
    // A size record's width and height as a point.
    static oxPoint FromSize(const SIZE& size) { return {int32_t(size.cx), int32_t(size.cy)}; }

    bool operator==(const oxPoint&) const = default;
};

// Clears both words of a pair (a point, a size).
inline oxPoint& ZeroPair(oxPoint& pair) {
    return pair.Set(0, 0);
}

// {x, y, width, height}. A rect holds the points with x <= px < right and y <= py < bottom. A margins
// record is an oxRect whose fields read as left, top, right, bottom.
struct oxRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    int64_t Right() const { return int64_t(x) + width; }
    int64_t Bottom() const { return int64_t(y) + height; }

    oxRect& Clear() { return Set(0, 0, 0, 0); }
    oxRect& Set(int32_t px, int32_t py, int32_t w, int32_t h) {
        x = px;
        y = py;
        width = w;
        height = h;
        return *this;
    }
    oxRect& Assign(const oxRect& other) { return *this = other; }
    // From a system rectangle {left, top, right, bottom}.
    oxRect& FromRECT(const RECT& r);
    oxRect& SetRECT(const RECT& r) { return FromRECT(r); }
    RECT ToRECT() const;

    oxRect& Offset(const oxPoint& by);
    // Overlap with positive area; rects that only touch at an edge do not intersect.
    bool Intersects(const oxRect& other) const;
    bool Contains(const oxPoint& p) const;
    // Becomes the overlap, or all zeros when there is none.
    oxRect& Intersect(const oxRect& other);
    // Becomes the smallest rect holding both; an empty rect counts like any other.
    oxRect& Union(const oxRect& other);
    oxRect& Inflate(int32_t n);
    oxRect& Deflate(int32_t n);
    oxRect& InflateByMargins(const oxRect& margins);
    oxRect& InflateBy(int32_t top, int32_t right, int32_t bottom, int32_t left);
    oxRect& DeflateBy(int32_t top, int32_t right, int32_t bottom, int32_t left);
    // Scales the size by one factor so that it fits `other`, keeping proportions, and centres it there.
    oxRect& ScaleToFit(const oxRect& other);

    // Window snapping: moves this rect to `target`'s edges when it is within the per-side distances
    // (a margins record). Inside mode aligns with the target's own edges; outside mode docks beside it
    // and then aligns along the other axis. True when the rect moved.
    bool SnapToEdges(const oxRect& target, const oxRect& distances, bool inside);
    bool SnapToEdgesUniform(const oxRect& target, int32_t distance, bool inside);

    bool operator==(const oxRect&) const = default;
};
