#pragma once
// Region arithmetic shared by the region objects, the window manager's visible and update regions
// and the DC clip. Module-internal.
#include <vector>

#include "platform/types.h"

namespace platform::detail {

// A set of pixels held as rectangles in banded order: sorted by top, then left; the rectangles
// of one band share their top and bottom and do not touch; bands with equal spans are merged.
class RectSet {
public:
    enum Op { kAnd = 1, kOr = 2, kXor = 3, kDiff = 4 };

    RectSet() = default;
    explicit RectSet(const RECT& r);

    static RectSet Combine(const RectSet& a, const RectSet& b, Op op);
    RectSet& operator|=(const RectSet& other) { return *this = Combine(*this, other, kOr); }
    RectSet& operator&=(const RectSet& other) { return *this = Combine(*this, other, kAnd); }
    RectSet& operator-=(const RectSet& other) { return *this = Combine(*this, other, kDiff); }

    bool Empty() const { return rects_.empty(); }
    RECT Bounds() const;
    void Offset(int dx, int dy);
    // The set reflected across the vertical line halfway along `width` (x becomes width - 1 - x).
    RectSet MirroredX(int width) const;
    bool Contains(int x, int y) const;
    bool operator==(const RectSet& other) const;
    const std::vector<RECT>& Rects() const { return rects_; }
    void Clear() { rects_.clear(); }

private:
    std::vector<RECT> rects_;
};

} // namespace platform::detail
