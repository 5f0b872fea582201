// The scene's layout pass after a change: it lays out only the boxes the change reaches, and the
// rectangles it leaves are those of a layout of the whole tree from the root.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/shell/path_map.h"
#include "runtime/wide_string.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/layout_dump.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/scene_test_support.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

using namespace scene_test;
using toolkit_test::Utf8;

namespace {

// A root with a list that takes the height of its rows, inside a holder that takes what the bar
// below leaves; the bar shares its width between two flexible boxes and a text.
std::string Markup() {
    std::string rows;
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        rows += "<hbox id=\"row" + n + "\" s:height=\"30\" s:padding=\"2\" s:hSpace=\"4\"><box id=\"face" + n +
                "\" s:width=\"20\"/><vbox id=\"words" + n + "\" s:flex=\"1\"><simpleText id=\"name" + n +
                "\" value=\"Name " + n + "\"/><simpleText id=\"state" + n +
                "\" value=\"Available\"/></vbox><simpleText id=\"badge" + n + "\" value=\"" + n + "\"/></hbox>\n";
    }
    return "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
           "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" id=\"root\">\n"
           "<vbox id=\"holder\" s:flex=\"1\"><vbox id=\"list\" s:vSpace=\"2\">\n" +
           rows +
           "</vbox></vbox>\n"
           "<hbox id=\"bar\" s:height=\"20\"><box id=\"left\" s:flex=\"1\"/><box id=\"right\" s:flex=\"2\"/>"
           "<simpleText id=\"tail\" value=\"x\"/></hbox>\n</vbox>\n";
}

// Every box laid out while the counter is installed ("layout" is sent at the end of each arrangement).
std::set<oxBox*>* g_laidOut = nullptr;

void CountLayout(oxBox* box, const oxQualifiedName&, oxEvent* event) {
    if (g_laidOut && event->GetType() == kAtomLayout) g_laidOut->insert(box);
}

void WatchLayouts(oxBox* top) {
    for (oxBox* b = top; b; b = b->GetNextBox(top, false, false)) {
        auto* reaction = new oxReactionElement(kAtomLayout);
        reaction->SetAction(u"count");
        oxBehaviorElement::For(b, true)->AddReaction(reaction);
    }
}

std::string Dump(oxScene* scene) {
    NUBO::TWString text;
    oxDumpLayout(scene->GetRootBox(), text);
    return Utf8(text.GetString());
}

struct Change {
    const char* what;
    std::function<void(oxScene*)> make;
    std::vector<const char16_t*> reached; // laid out again
    std::vector<const char16_t*> spared;  // left as they were
};

oxBox* Box(oxScene* scene, const char16_t* id) {
    return scene->GetBoxById(oxAtoms::Find(id), false);
}

// Runs the change in the open scene, checks which boxes were laid out, and that the rectangles
// left are those of a layout of the whole tree from the root.
void CheckChange(oxScene* scene, const Change& change) {
    ASSERT_NE(scene, nullptr);
    const std::string before = Dump(scene);
    WatchLayouts(scene->GetRootBox());
    const oxReactionRunner previous = oxGetReactionRunner();
    std::set<oxBox*> laidOut;
    g_laidOut = &laidOut;
    oxSetReactionRunner(&CountLayout);
    change.make(scene);
    scene->Layout();
    g_laidOut = nullptr;
    oxSetReactionRunner(previous);
    for (const char16_t* id : change.reached)
        EXPECT_TRUE(laidOut.count(Box(scene, id))) << Utf8(id) << " is laid out";
    for (const char16_t* id : change.spared)
        EXPECT_FALSE(laidOut.count(Box(scene, id))) << Utf8(id) << " is left alone";

    const std::string after = Dump(scene);
    scene->QueueLayout(scene->GetRootBox());
    scene->Layout();
    EXPECT_EQ(after, Dump(scene)) << "the rectangles a layout from the root gives";
    if (!change.reached.empty()) {
        EXPECT_NE(before, after) << "the change shows";
    }
    scene->Close(true);
}

class SceneLayoutTest : public SceneFixture {};

TEST_F(SceneLayoutTest, AChangeLaysOutWhatItReachesAndEndsAsALayoutFromTheRoot) {
    const Change changes[] = {
        {"a row's text grows",
         [](oxScene* s) { Box(s, u"name2")->SetAttribute(kAtomValue, u"Name 2 is away for a while", true, false); },
         {u"words2", u"name2", u"state2"},
         {u"root", u"holder", u"list", u"row2", u"badge2", u"row3", u"bar"}},
        {"a row grows taller: the list that takes its rows' height grows in the holder",
         [](oxScene* s) { Box(s, u"row2")->SetStyle(u"height", u"50"); },
         {u"holder", u"list", u"row2", u"row5", u"name5"},
         {u"root", u"bar", u"tail"}},
        {"a row collapses",
         [](oxScene* s) { Box(s, u"row1")->SetCollapsed(true, false); },
         {u"holder", u"list", u"row4"},
         {u"root", u"bar"}},
        {"a row is hidden, keeping its place",
         [](oxScene* s) { Box(s, u"row1")->SetHidden(true); },
         {},
         {u"root", u"holder", u"list", u"row1", u"row2"}},
        {"a row is added",
         [](oxScene* s) {
             oxBox* row = s->CreateBox(kAtomBoxNamespace, kAtomHbox);
             row->SetStyle(u"height", u"25");
             row->SetId(oxAtoms::Intern(u"added"));
             WatchLayouts(row);
             Box(s, u"list")->AddChild(row); // the list keeps the creation's reference
         },
         {u"holder", u"list", u"added", u"row0"},
         {u"root", u"bar"}},
        {"a row is removed",
         [](oxScene* s) {
             oxBox* row = Box(s, u"row3");
             row->GetParent()->RemoveChild(row, false);
             s->DestroyBox(row);
         },
         {u"holder", u"list", u"row4"},
         {u"root", u"bar"}},
        {"a text takes width from its flexible siblings",
         [](oxScene* s) { Box(s, u"tail")->SetAttribute(kAtomValue, u"a much longer tail", true, false); },
         {u"bar", u"left", u"right", u"tail"},
         {u"root", u"holder", u"list"}},
        {"a child of the root grows: the root lays out its children again",
         [](oxScene* s) { Box(s, u"bar")->SetStyle(u"height", u"40"); },
         {u"root", u"holder", u"bar", u"row0"},
         {}},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        CheckChange(OpenMarkup("relayout.box", Markup()), change);
    }
}

// A list that scrolls keeps its size whatever its rows do: a row that changes places itself and
// moves the rows after it, and nothing else is laid out, unless the list's overflow or width would
// change.
TEST_F(SceneLayoutTest, ARowThatChangesInAScrollingListMovesTheRowsAfterIt) {
    std::string rows;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        rows += "<hbox id=\"row" + n + "\" s:height=\"30\" s:hSpace=\"4\"><box s:width=\"20\"/><simpleText id=\"name" +
                n + "\" value=\"Name " + n + "\"/></hbox>\n";
    }
    const std::string markup = "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                               "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" id=\"root\">"
                               "<vbox id=\"list\" s:flex=\"1\" s:maxHeight=\"auto\" s:overflow=\"scroll\" "
                               "s:vSpace=\"2\">\n" +
                               rows + "</vbox><box id=\"bar\" s:height=\"20\"/></vbox>\n";
    auto style = [](const char16_t* id, const char16_t* name, const char16_t* value) {
        return [=](oxScene* s) { Box(s, id)->SetStyle(name, value); };
    };
    const Change changes[] = {
        {"a row grows",
         style(u"row5", u"height", u"50"),
         {u"list", u"row5"},
         {u"root", u"row4", u"row6", u"name6", u"bar"}},
        {"a row shrinks", style(u"row5", u"height", u"20"), {u"list", u"row5"}, {u"root", u"row6", u"bar"}},
        {"the first row grows", style(u"row0", u"height", u"44"), {u"list", u"row0"}, {u"root", u"row1"}},
        {"the last row grows", style(u"row39", u"height", u"44"), {u"list", u"row39"}, {u"root", u"row38"}},
        {"a row takes a margin", style(u"row7", u"marginTop", u"9"), {u"list", u"row7"}, {u"root", u"row8"}},
        {"two rows change in one pass",
         [](oxScene* s) {
             Box(s, u"row3")->SetStyle(u"height", u"40");
             Box(s, u"row30")->SetStyle(u"height", u"12");
         },
         {u"list", u"row3", u"row30"},
         {u"root", u"row4", u"row31"}},
        {"the list scrolled to its end, whose last row shrinks",
         [](oxScene* s) {
             Box(s, u"list")->SetScrollY(100000);
             Box(s, u"row39")->SetStyle(u"height", u"10");
         },
         {u"list", u"row39"},
         {u"root", u"row38"}},
        {"a row wider than the list widens its content: the list is laid out",
         style(u"row9", u"width", u"5000"),
         {u"list", u"row0", u"row9"},
         {}},
        {"a row that stretches no more: the list is laid out",
         style(u"row9", u"width", u"100"),
         {u"list", u"row0"},
         {}},
        {"the rows shrink until the list stops scrolling: the list is laid out",
         [](oxScene* s) {
             for (int i = 0; i < 40; ++i)
                 Box(s, (u"row" + platform::WideFromUtf8(std::to_string(i))).c_str())->SetStyle(u"height", u"1");
         },
         {u"list", u"row0"},
         {u"bar"}},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        CheckChange(OpenMarkup("scrolling.box", markup), change);
    }
}

// However long the list, a change inside one row lays out that row's words and nothing else.
TEST_F(SceneLayoutTest, AChangeInsideARowCostsTheSameInAListOfAnyLength) {
    std::string rows;
    for (int i = 0; i < 500; ++i)
        rows +=
            "<hbox s:height=\"30\"><box s:width=\"20\"/><vbox s:flex=\"1\"><simpleText value=\"Name\"/></vbox></hbox>";
    oxScene* scene =
        OpenMarkup("long.box", "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                               "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\"><vbox id=\"list\" s:flex=\"1\" "
                               "s:maxHeight=\"auto\" s:overflow=\"scroll\">" +
                                   rows + "</vbox></vbox>");
    ASSERT_NE(scene, nullptr);
    oxBox* list = Box(scene, u"list");
    ASSERT_EQ(list->GetChildCount(), 500);
    oxBox* words = list->GetChildAt(250, false)->GetChildAt(1, false);
    oxBox* name = words->GetChildAt(0, false);
    WatchLayouts(scene->GetRootBox());
    const oxReactionRunner previous = oxGetReactionRunner();
    std::set<oxBox*> laidOut;
    g_laidOut = &laidOut;
    oxSetReactionRunner(&CountLayout);
    name->SetAttribute(kAtomValue, u"A name much longer than the first", true, false);
    scene->Layout();
    g_laidOut = nullptr;
    oxSetReactionRunner(previous);
    EXPECT_EQ(laidOut, (std::set<oxBox*>{words, name}));
    EXPECT_EQ(name->GetBoxRect().width, name->GetIntrinsicSize().x) << "the name takes its new width";
    const std::string after = Dump(scene);
    scene->QueueLayout(scene->GetRootBox());
    scene->Layout();
    EXPECT_EQ(after, Dump(scene));
    scene->Close(true);
}

} // namespace

// Percentage sizes are of the content size of the box's parent: its padding is left out, nested
// percentages multiply, and a parent that changes size takes its children's sizes with it.
TEST_F(SceneLayoutTest, PercentageSizesResolveAgainstTheParentsContent) {
    oxScene* scene = OpenMarkup(
        "percent.box",
        "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\">"
        "<hbox id=\"outer\" s:width=\"220\" s:height=\"120\" s:padding=\"10\">"
        "<vbox id=\"half\" s:width=\"50%\" s:height=\"50%\" s:padding=\"5\">"
        "<box id=\"nested\" s:width=\"50%\" s:height=\"25%\"/></vbox>"
        "<box id=\"capped\" s:width=\"90%\" s:maxWidth=\"25%\" s:height=\"10\"/>"
        "<box id=\"floor\" s:width=\"1\" s:minWidth=\"10%\" s:height=\"100%\"/>"
        "</hbox></vbox>");
    ASSERT_NE(scene, nullptr);
    struct Expect {
        const char16_t* id;
        int32_t width, height;
    };
    auto check = [&](const char* what, std::initializer_list<Expect> expects) {
        SCOPED_TRACE(what);
        for (const Expect& e : expects) {
            const oxBox* box = Box(scene, e.id);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->GetPacked(1), (oxPoint{e.width, e.height})) << Utf8(e.id);
        }
    };
    // A width or height is of the content, padding around it: the outer content is 220 x 120, the half
    // box's content 110 x 60 inside its padding of 5.
    check("as opened", {{u"half", 120, 70}, {u"nested", 55, 15}, {u"capped", 55, 10}, {u"floor", 22, 120}});
    Box(scene, u"outer")->SetStyle(u"width", u"420");
    Box(scene, u"outer")->SetStyle(u"height", u"220");
    scene->Layout();
    check("the parent grew", {{u"half", 220, 120}, {u"nested", 105, 27}, {u"capped", 105, 10}, {u"floor", 42, 220}});
    scene->Close(true);
}

// A box out of the flow places itself: `left`, `top`, `right` and `bottom` (and its own `width` and
// `height`) are of its parent's content size, padding left out, so nested boxes take their parent's
// share and everything follows a parent that changes size; "center" and "end" measure the whole box.
TEST_F(SceneLayoutTest, PercentagePlacesResolveAgainstTheParentsContent) {
    oxScene* scene = OpenMarkup(
        "placed.box",
        "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\">"
        "<hbox id=\"outer\" s:width=\"220\" s:height=\"120\" s:padding=\"10\">"
        "<vbox id=\"half\" s:width=\"50%\" s:height=\"50%\" s:padding=\"5\">"
        "<box id=\"nested\" s:position=\"fixed\" s:left=\"50%\" s:top=\"25%\" s:width=\"20%\" s:height=\"10%\"/>"
        "</vbox>"
        "<box id=\"centred\" s:position=\"fixed\" s:left=\"center\" s:top=\"end\" s:width=\"40\" s:height=\"20\""
        " s:padding=\"5\"/>"
        "<box id=\"anchored\" s:position=\"fixed\" s:right=\"10%\" s:bottom=\"0\" s:width=\"20\" s:height=\"20\"/>"
        "</hbox>"
        "<MDIContainer id=\"desk\" view=\"mdi\" s:width=\"200\" s:height=\"100\">"
        "<vbox id=\"win\" s:position=\"fixed\" s:left=\"25%\" s:top=\"50%\" s:width=\"10%\" s:height=\"10\"/>"
        "</MDIContainer></vbox>");
    ASSERT_NE(scene, nullptr);
    struct Expect {
        const char16_t* id;
        oxRect rect;
    };
    auto check = [&](const char* what, std::initializer_list<Expect> expects) {
        SCOPED_TRACE(what);
        for (const Expect& e : expects) {
            oxBox* box = Box(scene, e.id);
            ASSERT_NE(box, nullptr);
            const oxRect r = box->GetBoxRect();
            EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
                      (std::vector<int>{e.rect.x, e.rect.y, e.rect.width, e.rect.height}))
                << Utf8(e.id);
        }
    };
    // The outer content is 220 x 120; the half box's content 110 x 60 inside its padding of 5.
    check("as opened", {{u"half", {10, 10, 120, 70}},
                        {u"nested", {55, 15, 22, 6}},
                        {u"centred", {85, 90, 50, 30}},
                        {u"anchored", {178, 100, 20, 20}},
                        {u"win", {50, 50, 20, 10}}});
    Box(scene, u"outer")->SetStyle(u"width", u"420");
    Box(scene, u"outer")->SetStyle(u"height", u"220");
    Box(scene, u"desk")->SetStyle(u"width", u"400");
    scene->Layout();
    check("the parents grew", {{u"half", {10, 10, 220, 120}},
                               {u"nested", {105, 27, 42, 11}},
                               {u"centred", {185, 190, 50, 30}},
                               {u"anchored", {358, 200, 20, 20}},
                               {u"win", {100, 50, 40, 10}}});
    // Frozen where they stand now, the values no longer follow the parent.
    oxBox* nested = Box(scene, u"nested");
    nested->ResolvePercentGeometry();
    oxStyleValue left;
    nested->GetStyleValue(kStyle_left, &left);
    EXPECT_EQ(left.GetType(), kStylePx);
    EXPECT_EQ(left.GetInt(), 105);
    Box(scene, u"outer")->SetStyle(u"width", u"220");
    scene->Layout();
    check("the parent shrank", {{u"nested", {105, 27, 42, 11}}, {u"centred", {85, 190, 50, 30}}});
    scene->Close(true);
}
