#include "toolkit/widgets/region.h"

#include <gtest/gtest.h>

namespace {

TEST(RegionHolderTest, AddedRectanglesCoverOneMoreUnitRightAndBelow) {
    oxRegion region;
    EXPECT_TRUE(region.IsEmpty());
    region.AddRect(oxRect{10, 10, 0, 5}); // empty: ignored
    region.AddRect(oxRect{10, 10, 5, -1});
    EXPECT_TRUE(region.IsEmpty());
    region.AddRect(oxRect{0, 0, 10, 10});
    oxRectVector rects;
    region.GetRects(&rects);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (oxRect{0, 0, 11, 11}));

    // Overlapping additions come back as disjoint bands; a copy holds the same pixels.
    region.AddRect(oxRect{5, 5, 10, 10});
    oxRegion copy(&region);
    copy.GetRects(&rects);
    int64_t area = 0;
    for (const oxRect& r : rects)
        area += int64_t(r.width) * r.height;
    EXPECT_EQ(area, 11 * 11 + 11 * 11 - 6 * 6);
    EXPECT_EQ(rects.size(), 3u);

    region.Clear();
    EXPECT_TRUE(region.IsEmpty());
    region.GetRects(&rects);
    EXPECT_TRUE(rects.empty());
    region.Destroy();
    region.AddRect(oxRect{0, 0, 4, 4}); // a destroyed holder fails quietly
    region.GetRects(&rects);
    EXPECT_TRUE(rects.empty());
}

} // namespace
