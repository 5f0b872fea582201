// Decks and MDI containers opened in a scene on the emulated screen: the child a deck shows for each
// top index (none given, -1, a number, a text that is no number, past the end), the top child kept
// through inserts and removals, and MDI children placed and painted over their container.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/deck_box.h"
#include "toolkit/core/mdi_container_box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/markup_scene_test.h"

namespace {

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffffffff"/>
    <r:style name="red" fill="#ffff0000" width="30" height="20"/>
    <r:style name="green" fill="#ff00ff00" width="30" height="20"/>
    <r:style name="blue" fill="#ff0000ff" width="30" height="20"/>
  </r:library>
)";

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

class ContainerBoxesTest : public MarkupSceneTest {
protected:
    oxScene* Open(const std::string& body) { return OpenScene(kHead, body); }
    static uint32_t ColourIn(oxScene* scene, oxBox* box, int dx, int dy) { return ColourAt(On(scene, box, dx, dy)); }
};

TEST_F(ContainerBoxesTest, ADeckShowsTheChildAtItsTopIndex) {
    struct Case {
        const char* topIndex; // null: none given
        int index;
        uint32_t colour;
    } cases[] = {
        {nullptr, 2, kBlue},                                                       // the last child is on top
        {"-1", 2, kBlue},    {"0", 0, kRed}, {"1", 1, kGreen}, {"first", 0, kRed}, // no number reads 0
        {"7", 7, kWhite},                                                          // past the end: nothing shows
    };
    std::string body = "<hbox>";
    int n = 0;
    for (const Case& c : cases) {
        body += "<deck id=\"d" + std::to_string(n++) + "\"";
        if (c.topIndex) body += std::string(" topIndex=\"") + c.topIndex + "\"";
        body += R"(><box style="red"/><box style="green"/><box style="blue"/></deck>)";
    }
    oxScene* scene = Open(body + "</hbox>");
    ASSERT_NE(scene, nullptr);
    n = 0;
    for (const Case& c : cases) {
        auto* deck = dynamic_cast<oxDeckBox*>(Box(scene, "d" + std::to_string(n++)));
        ASSERT_NE(deck, nullptr);
        EXPECT_EQ(deck->GetTopIndex(), c.index) << (c.topIndex ? c.topIndex : "none");
        EXPECT_EQ(ColourIn(scene, deck, 10, 10), c.colour) << (c.topIndex ? c.topIndex : "none");
    }
}

TEST_F(ContainerBoxesTest, TheTopChildStaysOnTopThroughInsertsAndRemovals) {
    oxScene* scene =
        Open(R"(<deck id="d" topIndex="1"><box style="red"/><box id="top" style="green"/><box style="blue"/></deck>)");
    ASSERT_NE(scene, nullptr);
    auto* deck = dynamic_cast<oxDeckBox*>(Box(scene, "d"));
    oxBox* top = Box(scene, "top");
    ASSERT_TRUE(deck && top);
    // Two before the top child raise the index by two; one after leaves it.
    oxBox* made[3];
    for (oxBox*& b : made) {
        b = scene->CreateBox(kAtomBoxNamespace, kAtomBox);
        ASSERT_NE(b, nullptr);
        b->SetStyle(u"fill", u"#ffff0000");
    }
    deck->InsertChildrenAt(0, made, 2, nullptr, false);
    EXPECT_EQ(deck->GetTopIndex(), 3);
    deck->InsertChildrenAt(4, made + 2, 1, nullptr, false);
    EXPECT_EQ(deck->GetTopIndex(), 3);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(deck->GetChildAt(deck->GetTopIndex(), false), top);
    EXPECT_EQ(ColourIn(scene, deck, 10, 10), kGreen);
    // Removing one before it moves the index down; removing the top child itself shows the next.
    deck->RemoveChildAt(0, false)->Release();
    EXPECT_EQ(deck->GetTopIndex(), 2);
    EXPECT_EQ(deck->GetChildAt(2, false), top);
    deck->RemoveChildAt(3, false)->Release(); // after the top child
    EXPECT_EQ(deck->GetTopIndex(), 2);
    deck->RemoveChild(top, false)->Release();
    EXPECT_EQ(deck->GetTopIndex(), 2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ColourIn(scene, deck, 10, 10), kBlue);
    EXPECT_EQ(std::u16string(deck->GetAttribute(kAtomTopIndex)), u"2");
    deck->SetAttribute(kAtomTopIndex, u"0", true, false);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ColourIn(scene, deck, 10, 10), kRed);
}

TEST_F(ContainerBoxesTest, MDIChildrenArePlacedAndPaintedOverTheContainer) {
    oxScene* scene = Open(R"(<MDIContainer view="mdi" id="desk" s:fill="#ff000000" s:width="200" s:height="100">
  <vbox id="a" s:position="fixed" s:left="10" s:top="10"><box style="red"/></vbox>
  <vbox id="b" s:position="fixed" s:left="120" s:top="60"><box style="green"/></vbox>
  <vbox id="c" s:position="fixed" s:left="30" s:top="20"><box style="blue"/></vbox>
</MDIContainer>)");
    ASSERT_NE(scene, nullptr);
    oxBox* desk = Box(scene, "desk");
    ASSERT_NE(dynamic_cast<oxMDIContainerBox*>(desk), nullptr);
    EXPECT_TRUE(Box(scene, "a")->IsMdiChild());
    struct Where {
        const char* id;
        int x, y;
    } where[] = {{"a", 10, 10}, {"b", 120, 60}, {"c", 30, 20}};
    for (const Where& w : where) {
        const oxRect r = Box(scene, w.id)->GetBoxRect();
        EXPECT_TRUE(r.x == w.x && r.y == w.y && r.width == 30 && r.height == 20)
            << w.id << ": " << r.x << "," << r.y << " " << r.width << "x" << r.height;
    }
    EXPECT_EQ(ColourIn(scene, desk, 15, 15), kRed);
    EXPECT_EQ(ColourIn(scene, desk, 35, 25), kBlue) << "a later child over an earlier one";
    EXPECT_EQ(ColourIn(scene, desk, 125, 65), kGreen);
    EXPECT_EQ(ColourIn(scene, desk, 100, 5), 0x000000u) << "the container's own background around them";
}

} // namespace
