// Popup placement against each edge and corner of the 480x800 screen and the 240x320 one: every
// expected rectangle below is worked out by hand from the anchor, the popup's size and the screen.
#include "toolkit/widgets/popup_placement.h"

#include <gtest/gtest.h>

namespace {

constexpr oxRect kScreen{0, 0, 480, 800};
constexpr oxRect kSmartphone{0, 0, 240, 320};

struct AnchorCase {
    const char* name;
    oxAtom alignment;
    bool chained;
    int32_t parentOverflowX;
    oxRect screen;
    oxRect anchor;
    oxPoint popup;
    // The popup's expected screen rectangle, overflow sides and squeezed flag.
    oxRect expected;
    int32_t overflowX, overflowY;
    bool squeezed;
};

TEST(PopupPlacementTest, AnchorTableCoversTheMiddleEveryEdgeAndCorner) {
    const AnchorCase cases[] = {
        {"middle", 0, false, 0, kScreen, {200, 400, 60, 30}, {120, 200}, {200, 430, 120, 200}, 0, 0, false},
        {"top-left corner", 0, false, 0, kScreen, {0, 0, 60, 30}, {120, 200}, {0, 30, 120, 200}, 0, 0, false},
        {"right edge: flush right", 0, false, 0, kScreen, {420, 400, 60, 30}, {120, 200}, {360, 430, 120, 200}, 2, 0,
         false},
        {"bottom edge: flips above", 0, false, 0, kScreen, {200, 770, 60, 30}, {120, 200}, {200, 570, 120, 200}, 0, 3,
         false},
        {"bottom-right corner", 0, false, 0, kScreen, {420, 770, 60, 30}, {120, 200}, {360, 570, 120, 200}, 2, 3,
         false},
        {"left edge after_end", kAtomAfter_end, false, 0, kScreen, {0, 400, 60, 30}, {120, 200}, {0, 430, 120, 200},
         4, 0, false},
        {"top edge before_start: flips below", kAtomBefore_start, false, 0, kScreen, {200, 0, 60, 30}, {120, 200},
         {200, 30, 120, 200}, 0, 1, false},
        {"right edge end_before: goes left of the anchor", kAtomEnd_before, false, 0, kScreen, {420, 400, 60, 30},
         {120, 200}, {300, 400, 120, 200}, 2, 0, false},
        {"too tall, 470 below: stays below", 0, false, 0, kScreen, {200, 300, 60, 30}, {120, 700},
         {200, 330, 120, 700}, 0, 3, true},
        {"after_end at the right and bottom edges, 80 below: placed above", kAtomAfter_end, false, 0, kScreen,
         {420, 690, 60, 30}, {120, 750}, {420 - 60, 690 - 750, 120, 750}, 0, 3, true},
        {"chained without alignment: beside the anchor", 0, true, 0, kScreen, {200, 400, 60, 30}, {120, 200},
         {260, 400, 120, 200}, 0, 0, false},
        {"chained, parent overflowed right", kAtomEnd_before, true, 2, kScreen, {300, 400, 60, 30}, {120, 200},
         {180, 400, 120, 200}, 2, 0, false},
        {"smartphone middle", 0, false, 0, kSmartphone, {100, 150, 40, 30}, {120, 100}, {100, 180, 120, 100}, 0, 0,
         false},
        {"smartphone bottom-right corner", 0, false, 0, kSmartphone, {200, 290, 40, 30}, {120, 100},
         {120, 190, 120, 100}, 2, 3, false},
    };
    for (const AnchorCase& c : cases) {
        SCOPED_TRACE(c.name);
        oxAnchorPlacementInput in;
        in.alignment = c.alignment;
        in.chained = c.chained;
        in.parentOverflowX = c.parentOverflowX;
        in.anchor = c.anchor;
        in.popup = c.popup;
        in.screen = c.screen;
        const oxPopupPlacement p = PlacePopupAtAnchor(in);
        ASSERT_TRUE(p.placed);
        const oxRect got{c.anchor.x + p.left, c.anchor.y + p.top, c.popup.x, c.popup.y};
        EXPECT_EQ(got.x, c.expected.x);
        EXPECT_EQ(got.y, c.expected.y);
        EXPECT_EQ(p.overflowX, c.overflowX);
        EXPECT_EQ(p.overflowY, c.overflowY);
        EXPECT_EQ(p.squeezed, c.squeezed);
        if (!c.squeezed) {
            EXPECT_GE(got.x, c.screen.x);
            EXPECT_LE(got.x + got.width, c.screen.x + c.screen.width);
            EXPECT_GE(got.y, c.screen.y);
            EXPECT_LE(got.y + got.height, c.screen.y + c.screen.height);
        }
    }
}

TEST(PopupPlacementTest, AnExplicitNoneLeavesThePopupWhereItIs) {
    oxAnchorPlacementInput in;
    in.alignment = kAtomNone;
    in.anchor = {200, 400, 60, 30};
    in.popup = {120, 200};
    in.screen = kScreen;
    EXPECT_FALSE(PlacePopupAtAnchor(in).placed);
}

TEST(PopupPlacementTest, RightToLeftMirrorsTheAlignments) {
    EXPECT_EQ(MirrorPopupAlignment(kAtomAfter_end), kAtomAfter_start);
    EXPECT_EQ(MirrorPopupAlignment(kAtomBefore_start), kAtomBefore_end);
    EXPECT_EQ(MirrorPopupAlignment(kAtomEnd_before), kAtomStart_before);
    EXPECT_EQ(MirrorPopupAlignment(kAtomStart_after), kAtomEnd_after);
    EXPECT_EQ(MirrorPopupAlignment(kAtomOverlap), kAtomOverlap);
    EXPECT_EQ(MirrorPopupAlignment(kAtomAfter_start), kAtomAfter_end);
}

TEST(PopupPlacementTest, PointerPlacementStaysOnTheScreen) {
    struct Case {
        const char* name;
        oxAtom alignment;
        oxPoint pointer;
        oxPoint expected; // screen position
        bool squeezed;
    } cases[] = {
        {"after_point at the bottom-right corner", kAtomAfter_point, {470, 790}, {360, 600}, false},
        {"hcenter_bottom near the top-left", kAtomCursor_hcenter_bottom, {10, 50}, {0, 50}, false},
        {"at_point near the bottom flips above", kAtomAt_point, {200, 700}, {200, 500}, false},
        {"right_top goes left of the pointer", kAtomCursor_right_top, {300, 100}, {180, 100}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        oxPointerPlacementInput in;
        in.alignment = c.alignment;
        in.pointer = c.pointer;
        in.pointerHeight = 20;
        in.popup = {120, 200};
        in.screen = kScreen;
        in.parent = {0, 26};
        const oxPopupPlacement p = PlacePopupAtPointer(in);
        ASSERT_TRUE(p.placed);
        EXPECT_EQ(p.left + 0, c.expected.x);
        EXPECT_EQ(p.top + 26, c.expected.y);
        EXPECT_EQ(p.squeezed, c.squeezed);
    }
    oxPointerPlacementInput anchorAligned;
    anchorAligned.alignment = kAtomAfter_start;
    EXPECT_FALSE(PlacePopupAtPointer(anchorAligned).placed) << "only pointer alignments place at the pointer";
}

} // namespace
