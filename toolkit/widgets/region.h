#pragma once
// oxRegion: owns one platform region and is a frame's dirty region. Invalidated rectangles are
// added to it; the frame's update reads it back as a list of rectangles and empties it.
#include <vector>

#include "platform/win/region.h"
#include "toolkit/base/rect.h"

using oxRectVector = std::vector<oxRect>;

class oxRegion {
public:
    // An empty region, with the pixels of `source` copied in when given.
    explicit oxRegion(const oxRegion* source = nullptr);
    ~oxRegion();
    oxRegion(const oxRegion&) = delete;
    oxRegion& operator=(const oxRegion&) = delete;

    void Destroy();
    void Clear();
    // Adds the rectangle grown by one unit to the right and below; empty rectangles are ignored.
    void AddRect(const oxRect& rect);
    bool IsEmpty() const;
    // The rectangles in the platform's banded order; empty when the region cannot be read.
    void GetRects(oxRectVector* out) const;
    HRGN GetHandle() const { return region_; }

private:
    HRGN region_ = nullptr;
};
