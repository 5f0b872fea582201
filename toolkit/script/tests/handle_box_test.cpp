// Handle boxes opened in a scene on the emulated screen: a drag resizes the target from the sides
// grabbed where the pointer hovered, a splitter shares the room of its two boxes by their `flex`,
// and the cursor follows the grabbed sides.
#include "toolkit/widgets/handle_box.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "toolkit/base/atoms.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/markup_scene_test.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root" s:hAlign="start">
)";

class HandleBoxTest : public MarkupSceneTest {
protected:
    oxScene* Open(const std::string& body) { return OpenScene(kHead, body); }
    static oxBox* Box(oxScene* scene, const char16_t* id) { return scene->GetBoxById(oxAtoms::Find(id), false); }
    // Hovers at (x, y) of the box, then drags from there by (dx, dy).
    static void HoverAndDrag(oxScene* scene, oxBox* box, int x, int y, int dx, int dy) {
        const POINT from = On(scene, box, x, y);
        platform::headless::MoveTo(from.x, from.y);
        platform::headless::RunUntilIdle();
        platform::headless::Drag(from, POINT{from.x + dx, from.y + dy}, 2);
        platform::headless::RunUntilIdle();
    }
    static std::string Text(const oxRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
               std::to_string(r.height);
    }
};

// A 150x120 target placed by its top and left; the pointer grabs the sides within 30 of it. The side
// away from the grabbed one stays: a far side moves by growing the size, a near side by moving the
// left (top) offset and shrinking by as much. The flow this target stands in places it by its size
// alone, so the offsets are read from its style and the rectangle only where the far sides moved.
TEST_F(HandleBoxTest, ADragResizesTheTargetFromTheGrabbedSides) {
    struct Case {
        int x, y, dx, dy;
        int cursor;
        int width, height, left, top;
    } cases[] = {
        {145, 60, 20, 0, kKeywordEResize, 170, 120, 0, 0},      // right edge
        {75, 115, 0, 15, kKeywordSResize, 150, 135, 0, 0},      // bottom edge
        {145, 115, 10, 10, kKeywordNwResize, 160, 130, 0, 0},   // bottom-right corner
        {5, 60, 20, 0, kKeywordWResize, 130, 120, 20, 0},       // left edge
        {75, 5, 0, 12, kKeywordNResize, 150, 108, 0, 12},       // top edge
        {145, 5, 10, 10, kKeywordNeResize, 160, 110, 0, 10},    // top-right corner
        {5, 5, -10, -10, kKeywordNwResize, 160, 130, -10, -10}, // top-left corner, outwards
    };
    for (const Case& c : cases) {
        oxScene* scene = Open(R"(<box id="t" s:width="150" s:height="120">
  <handle id="h" transform="scale" target="_parent" s:width="150" s:height="120"/></box>)");
        ASSERT_NE(scene, nullptr);
        oxBox* t = Box(scene, u"t");
        auto* h = dynamic_cast<oxHandleBox*>(Box(scene, u"h"));
        ASSERT_TRUE(t && h);
        ASSERT_EQ(Text(t->GetBoxRect()), "0,0 150x120");
        HoverAndDrag(scene, t, c.x, c.y, c.dx, c.dy);
        EXPECT_EQ(h->GetDefaultCursor(), c.cursor) << c.x << "," << c.y;
        auto style = [t](int id) {
            oxStyleValue v;
            t->GetStyleValue(id, &v);
            return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
        };
        EXPECT_EQ(style(kStyle_width), c.width) << c.x << "," << c.y;
        EXPECT_EQ(style(kStyle_height), c.height) << c.x << "," << c.y;
        EXPECT_EQ(style(kStyle_left), c.left) << c.x << "," << c.y;
        EXPECT_EQ(style(kStyle_top), c.top) << c.x << "," << c.y;
        if (!c.left && !c.top) {
            EXPECT_EQ(Text(t->GetBoxRect()), "0,0 " + std::to_string(c.width) + "x" + std::to_string(c.height));
        }
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

TEST_F(HandleBoxTest, TranslateAndRotateHandlesChangeNothing) {
    for (const char* kind : {"translate", "rotate"}) {
        oxScene* scene = Open(std::string(R"(<box id="t" s:width="150" s:height="120">
  <handle id="h" transform=")") +
                              kind + R"(" target="_parent" s:width="150" s:height="120"/></box>)");
        ASSERT_NE(scene, nullptr);
        oxBox* t = Box(scene, u"t");
        auto* h = dynamic_cast<oxHandleBox*>(Box(scene, u"h"));
        ASSERT_TRUE(t && h);
        HoverAndDrag(scene, t, 145, 60, 20, 0);
        EXPECT_EQ(h->GetDefaultCursor(), 0) << kind;
        EXPECT_EQ(Text(t->GetBoxRect()), "0,0 150x120") << kind;
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

// A column 200 high: a (flex 1), the 10-high splitter, b (flex 3) share 190 as 47 and 143 (the flex
// layout's rounding). The splitter gives a 47 + dy and b 143 - dy as their flex, so the room is
// shared exactly so; b stops at its minimum and a takes the rest.
TEST_F(HandleBoxTest, ASplitterSharesTheRoomOfItsTwoBoxesByTheirFlex) {
    struct Case {
        int dy;
        int a, b;
        bool atMinimum;
    } cases[] = {{20, 67, 123, false}, {-30, 17, 173, false}, {150, 160, 30, true}};
    for (const Case& c : cases) {
        oxScene* scene = Open(R"(<vbox id="col" s:width="100" s:height="200">
  <box id="a" s:flex="1"/>
  <handle id="h" transform="split" axis="x" target="_prevSibling" next="_nextSibling" s:height="10"/>
  <box id="b" s:flex="3" s:minHeight="30"/>
</vbox>)");
        ASSERT_NE(scene, nullptr);
        oxBox* a = Box(scene, u"a");
        oxBox* b = Box(scene, u"b");
        auto* h = dynamic_cast<oxHandleBox*>(Box(scene, u"h"));
        ASSERT_TRUE(a && b && h);
        ASSERT_EQ(a->GetBoxRect().height + b->GetBoxRect().height, 190);
        const int a0 = a->GetBoxRect().height;
        HoverAndDrag(scene, h, 50, 5, 0, c.dy);
        EXPECT_EQ(h->GetDefaultCursor(), kKeywordSplitterv);
        // Where the flex layout rounded a's share up, a starts one higher and b one lower.
        const int rounding = c.atMinimum ? 0 : a0 - 47;
        EXPECT_EQ(a->GetBoxRect().height, c.a + rounding) << c.dy;
        EXPECT_EQ(b->GetBoxRect().height, c.b - rounding) << c.dy;
        EXPECT_EQ(b->GetBoxRect().y, a->GetBoxRect().height + 10) << c.dy;
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

// Three columns of 100 between two splitters, under a box that nudges all columns: a drag of the
// first splitter changes the first column's width alone (not below its minimum), and the others keep
// theirs.
TEST_F(HandleBoxTest, NudgingAllColumnsChangesOnlyTheTargetColumn) {
    struct Case {
        const char* minimum;
        int dx, first;
    } cases[] = {{"0", -20, 80}, {"90", -20, 90}, {"0", 15, 115}};
    for (const Case& c : cases) {
        oxScene* scene = Open(std::string(R"(<vbox nudgeAllColumns="true"><hbox id="cols" s:width="320" s:height="50">
  <box id="c1" s:flex="1" s:minWidth=")") +
                              c.minimum + R"("/>
  <handle id="h" transform="split" axis="y" target="_prevSibling" next="_nextSibling" s:width="10"/>
  <box id="c2" s:flex="1"/>
  <handle transform="split" axis="y" target="_prevSibling" next="_nextSibling" s:width="10"/>
  <box id="c3" s:flex="1"/>
</hbox></vbox>)");
        ASSERT_NE(scene, nullptr);
        oxBox* c1 = Box(scene, u"c1");
        oxBox* c2 = Box(scene, u"c2");
        oxBox* c3 = Box(scene, u"c3");
        auto* h = dynamic_cast<oxHandleBox*>(Box(scene, u"h"));
        ASSERT_TRUE(c1 && c2 && c3 && h);
        ASSERT_EQ(c1->GetBoxRect().width, 100);
        HoverAndDrag(scene, h, 5, 25, c.dx, 0);
        EXPECT_EQ(h->GetDefaultCursor(), kKeywordSplitterh);
        EXPECT_EQ(c1->GetBoxRect().width, c.first) << c.minimum << " " << c.dx;
        EXPECT_EQ(c2->GetBoxRect().width, 100) << c.minimum << " " << c.dx;
        EXPECT_EQ(c3->GetBoxRect().width, 100) << c.minimum << " " << c.dx;
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

} // namespace
