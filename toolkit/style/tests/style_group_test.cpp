// How a metrics value becomes the pixels of a box's edge, and a clip side the pixels of the box it
// clips: percentages of the reference along the side's own axis, the placing keywords, and amounts at
// the 32-bit ends that stop at the largest length instead of wrapping.
#include "toolkit/style/style_group.h"

#include <gtest/gtest.h>

#include <climits>

#include "toolkit/base/rect.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

TEST(ResolveEdge, PercentagesAndPlacingKeywordsGivePixels) {
    const oxPoint own{40, 20}, room{200, 100};
    struct Case {
        int id;
        oxStyleValue value;
        bool resolved;
        int32_t out; // 7 where the value leaves it as it was
    } cases[] = {
        {kStyle_left, oxStyleValue(25, kStylePercent), true, 50},
        {kStyle_top, oxStyleValue(25, kStylePercent), true, 25},
        {kStyle_width, oxStyleValue(33, kStylePercent), true, 66},
        {kStyle_height, oxStyleValue(-50, kStylePercent), true, -50},
        {kStyle_left, oxStyleValue(kKeywordCenter, kStyleKeyword), true, 80},
        {kStyle_bottom, oxStyleValue(kKeywordCenter, kStyleKeyword), true, 40},
        {kStyle_left, oxStyleValue(kKeywordEnd, kStyleKeyword), true, 160},
        {kStyle_top, oxStyleValue(kKeywordStart, kStyleKeyword), true, 0},
        {kStyle_right, oxStyleValue(kKeywordEnd, kStyleKeyword), false, 7},
        {kStyle_width, oxStyleValue(kKeywordAuto, kStyleKeyword), false, 7},
        {kStyle_left, oxStyleValue(12, kStylePx), true, 12},
        // A percentage past any size a box can have stops at the largest length, either way.
        {kStyle_left, oxStyleValue(INT_MAX, kStylePercent), true, kMaxLength},
        {kStyle_top, oxStyleValue(INT_MIN, kStylePercent), true, -kMaxLength},
    };
    for (const Case& k : cases) {
        int32_t out = 7;
        EXPECT_EQ(oxMetricsGroup::ResolveEdge(k.id, k.value, own, room, &out), k.resolved) << k.id;
        EXPECT_EQ(out, k.out) << k.id << " " << k.value.GetValue();
    }
}

TEST(ClipRect, FarSidesOfHugePercentagesStayInRange) {
    oxClipGroup clip;
    clip.SetMember(kStyle_clipLeft, oxStyleValue(10, kStylePercent));
    clip.SetMember(kStyle_clipTop, oxStyleValue(kKeywordCenter, kStyleKeyword));
    clip.SetMember(kStyle_clipRight, oxStyleValue(INT_MAX, kStylePercent));
    clip.SetMember(kStyle_clipBottom, oxStyleValue(INT_MIN, kStylePercent));
    oxRect r;
    clip.GetClipRect(&r, {200, 100});
    EXPECT_EQ(r.x, 20);
    EXPECT_EQ(r.y, 50);
    EXPECT_EQ(r.width, 200 - kMaxLength);
    EXPECT_EQ(r.height, 100 + kMaxLength);
}

} // namespace
