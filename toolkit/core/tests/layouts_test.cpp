// The deck, range, mdi and flow layouts on boxes built in code: the factory by atom and the `view`
// attribute, growth answers that never stop, sizes at the ends of the 32-bit range, hit tests, MDI
// scrolling, and the row operations every layout shares.
#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <string>
#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/deck_layout.h"
#include "toolkit/core/flow_layout.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/core/layout_factory.h"
#include "toolkit/core/mdi_layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/range_layout.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

class Scene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        oxBoxFactory factory;
        oxBox* box = factory.CreateBox(tag, 0, tag);
        if (box) box->SetScene(this);
        return box;
    }
    oxBox* CreateBoxOfType(oxAtom type, oxAtom tag) override {
        return CreateBox(kAtomBoxNamespace, type == kAtomBox ? tag : type);
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxStyleRuleMaps rules;
};

// Kinds whose classes live above the box tree, as far as the row walk tells them apart.
template <oxAtom kType> class KindBox : public oxBox {
public:
    using oxBox::oxBox;
    oxAtom GetBoxType() const override { return kType; }
};

class LayoutsTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
    void TearDown() override {
        if (root) root->Release();
    }
    oxBox* Make(oxAtom tag, std::initializer_list<std::pair<const WCHAR*, const WCHAR*>> style = {},
                oxBox* parent = nullptr) {
        oxBox* box = scene.CreateBox(kAtomBoxNamespace, tag);
        for (const auto& [name, value] : style)
            box->SetStyle(name, value);
        if (parent) parent->AddChild(box);
        return box;
    }

    Scene scene;
    oxBox* root = nullptr;
};

TEST_F(LayoutsTest, FactoryMakesEachLayoutByItsAtom) {
    oxLayoutFactory factory;
    oxLayout* out = nullptr;
    ASSERT_EQ(factory.CreateDefaultLayout(kAtomDeck, &out), 1);
    EXPECT_EQ(out->GetLayoutType(), kAtomDeck);
    delete out;
    for (oxAtom atom :
         {kAtomFlex, kAtomDeck, kAtomRange, kAtomFlow, kAtomMdi, kAtomGrid, kAtomDatagrid, kAtomDatacolgrid}) {
        out = nullptr;
        oxLayoutName name{0, atom};
        ASSERT_EQ(factory.CreateLayout(&name, &out), 1);
        EXPECT_EQ(out->GetLayoutType(), atom);
        oxLayout* copy = out->CreateInstance();
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetLayoutType(), atom);
        delete copy;
        delete out;
    }
    // An atom that names no layout leaves the stored one.
    out = nullptr;
    oxLayoutName none{0, kAtomBox};
    EXPECT_EQ(factory.CreateLayout(&none, &out), 0);
}

TEST_F(LayoutsTest, ViewAttributeInstallsTheNamedLayout) {
    root = Make(kAtomBox);
    struct Case {
        const WCHAR* view;
        oxAtom type;
    } cases[] = {
        {u"flow", kAtomFlow},    {u"toolkit:deck", kAtomDeck}, {u"other:flow", kAtomDeck},
        {u"nothing", kAtomDeck}, {u"MDI", kAtomMdi},           {u"flex", kAtomFlex},
    };
    for (const Case& c : cases) {
        root->SetAttribute(kAtomView, c.view, true, false);
        ASSERT_NE(root->GetLayout(), nullptr);
        EXPECT_EQ(root->GetLayout()->GetLayoutType(), c.type);
    }
    EXPECT_EQ(std::u16string(root->GetAttribute(kAtomView)), u"flex");
    // A copy of the box gets a layout of the same kind.
    root->SetAttribute(kAtomView, u"flow", true, false);
    oxBox* copy = root->Duplicate(false, false);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->GetLayoutIfMade(), nullptr);
    EXPECT_EQ(copy->GetLayoutIfMade()->GetLayoutType(), kAtomFlow);
    EXPECT_NE(copy->GetLayoutIfMade(), root->GetLayoutIfMade());
    copy->Release();
}

// A selected child that answers "grew" every time stops the deck after ten answers per child.
TEST_F(LayoutsTest, DeckStopsAfterTenGrowthAnswersPerChild) {
    struct Greedy : public oxLayout {
        void Layout(oxPlacementRecord* p, oxBox*) override {
            ++calls;
            p->SetExtra(true, false, p->width + 1, p->height, 0, 0);
        }
        int calls = 0;
    };
    root = Make(kAtomDeck);
    ASSERT_EQ(root->GetLayout()->GetLayoutType(), kAtomDeck);
    root->SetAttribute(kAtomTopIndex, u"0", true, false);
    oxBox* greedyBox = Make(kAtomBox, {}, root);
    Make(kAtomBox, {}, root);
    Make(kAtomBox, {}, root);
    auto* greedy = new Greedy;
    greedyBox->SetLayout(greedy);
    ArrangeLayoutRoot(root, 0, 0);
    EXPECT_EQ(greedy->calls, 30);
    EXPECT_TRUE(root->GetChildAt(1, false)->GetStateFlags() & kStateHidden);
    EXPECT_FALSE(greedyBox->GetStateFlags() & kStateHidden);
}

// Only the shown child is hit; outside it, or with ignoreEvents on the deck, nothing is.
TEST_F(LayoutsTest, DeckHitTestsOnlyTheShownChild) {
    root = Make(kAtomDeck);
    root->SetAttribute(kAtomTopIndex, u"1", true, false);
    Make(kAtomBox, {{u"width", u"30"}, {u"height", u"30"}}, root);
    oxBox* shown = Make(kAtomBox, {{u"width", u"20"}, {u"height", u"20"}}, root);
    ArrangeLayoutRoot(root, 40, 40);
    EXPECT_EQ(root->GetLayout()->GetCurrentIndex(root), 1);
    EXPECT_EQ(root->GetLayout()->HitTest({10, 10}, root), shown);
    EXPECT_EQ(root->GetLayout()->HitTest({39, 39}, root), shown); // the shown child fills the deck
    EXPECT_EQ(root->GetLayout()->HitTest({45, 45}, root), nullptr);
    root->SetChangeFlag(kChangeIgnoreEvents, true);
    EXPECT_EQ(root->GetLayout()->HitTest({10, 10}, root), nullptr);
}

// Range values at the ends of the 32-bit range and an empty range give a thumb inside the track.
TEST_F(LayoutsTest, RangeThumbStaysInsideTheTrackForAnyValues) {
    struct Case {
        oxRangeValues range;
        int32_t track, minLength;
        bool reverse;
        oxPoint thumb; // {offset, length}
    } cases[] = {
        {{0, 100, 25, 50}, 200, 0, false, {80, 40}},
        {{0, 100, 25, 0}, 200, 0, true, {160, 40}},
        {{5, 5, 0, 5}, 200, 0, false, {0, 200}}, // empty range: no division by zero
        {{0, 0, 0, 0}, 200, 0, false, {0, 200}}, // min = max, no page
        {{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX}, 1000, 0, false, {667, 333}},
        {{0, 10, 5, 10}, 300, INT32_MAX, false, {-2147483392, INT32_MAX}}, // (300 - len) in float
    };
    for (const Case& c : cases) {
        oxPoint t = oxRangeLayout::ThumbOnTrack(c.range, c.track, c.minLength, c.reverse);
        EXPECT_EQ(t.x, c.thumb.x) << c.range.minimum << " " << c.range.maximum;
        EXPECT_EQ(t.y, c.thumb.y) << c.range.minimum << " " << c.range.maximum;
    }
}

// Children as wide as the 32-bit range allows wrap and overflow without overflowing a sum.
TEST_F(LayoutsTest, FlowSaturatesAtThe32BitExtremes) {
    root = Make(kAtomBox, {{u"orient", u"horizontal"}, {u"hSpace", u"2000000000"}, {u"vSpace", u"2000000000"}});
    root->SetAttribute(kAtomView, u"flow", true, false);
    for (int i = 0; i < 4; ++i)
        Make(kAtomBox, {{u"width", u"2000000000"}, {u"height", u"2000000000"}, {u"marginLeft", u"2000000000"}}, root);
    oxPlacementRecord r;
    r.Construct(true, 100, 100, 100, 100, 0, 0, 100, 100, 0, 0, false, false, 0);
    root->Arrange(&r);
    auto* flow = static_cast<oxFlowLayout*>(root->GetLayout());
    EXPECT_EQ(flow->GetLines().size(), 1u);
    r.Construct(true, 100, 100, 100, 100, 0, 0, 100, 100, 100, 100, false, false, 0);
    root->Arrange(&r);
    EXPECT_EQ(flow->GetLines().size(), 4u);
    EXPECT_TRUE(flow->IsOverflowX());
    // Balanced columns of the same children, with flexible widths.
    root->SetStyle(u"orient", u"vertical");
    root->SetAttribute(kAtomMaxColumns, u"2", true, false);
    root->SetAttribute(kAtomColFlex, u"true", true, false);
    root->Arrange(&r);
    EXPECT_LE(flow->GetLines().size(), 4u);
}

// A row transition over a flow box moves its children: each shown child's rectangle, scrolled.
TEST_F(LayoutsTest, FlowGivesItsChildrenToARowTransition) {
    root = Make(kAtomBox, {{u"orient", u"horizontal"}});
    root->SetAttribute(kAtomView, u"flow", true, false);
    oxBox* kids[4];
    for (oxBox*& kid : kids)
        kid = Make(kAtomBox, {{u"width", u"40"}, {u"height", u"30"}}, root);
    kids[2]->SetCollapsed(true, false);
    oxPlacementRecord r;
    r.Construct(true, 100, 100, 100, 100, 0, 0, 100, 100, 100, 100, false, false, 0);
    root->Arrange(&r);
    oxSnapshotItemList items;
    root->GetLayout()->CollectSnapshotItems(&items);
    ASSERT_EQ(items.size(), 3u) << "the collapsed child moves nothing";
    for (size_t i = 0; i < items.size(); ++i) {
        oxBox* kid = kids[i < 2 ? i : i + 1];
        EXPECT_EQ(items[i].box, kid) << i;
        EXPECT_EQ(items[i].rect, kid->GetBoxRect()) << i;
        EXPECT_EQ(items[i].flag, 0) << i;
    }
    EXPECT_EQ(items[2].rect.y, 30) << "the third shown child wrapped onto the second row";
}

// Scrolling a flow box to a child: the far edge into view first, then the near one, so a child longer
// than the view shows its start; sums saturate.
TEST_F(LayoutsTest, FlowScrollsAChildIntoView) {
    struct Probe : oxFlowLayout {
        using oxFlowLayout::ScrollInto;
    } flow;
    struct Case {
        int32_t top, size, view, scroll, expected;
    } cases[] = {
        {60, 30, 40, 0, 50},  // below: its bottom at the view's bottom
        {10, 10, 40, 30, 10}, // above: its top at the view's top
        {20, 10, 40, 0, 0},   // in view: unchanged
        {50, 100, 40, 0, 50}, // longer than the view: its start
        {INT32_MAX - 5, 100, 10, 0, INT32_MAX - 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(flow.ScrollInto(c.top, c.size, c.view, c.scroll), c.expected) << c.top << " " << c.size;
}

// Scrolling an MDI container moves its freely placed children by the change of the offset.
TEST_F(LayoutsTest, MdiScrollingMovesTheFreeChildren) {
    root = Make(kAtomMDIContainer);
    root->SetAttribute(kAtomView, u"mdi", true, false);
    oxBox* a = Make(kAtomVbox, {{u"position", u"fixed"}, {u"left", u"-30"}, {u"top", u"-20"}}, root);
    Make(kAtomBox, {{u"width", u"10"}, {u"height", u"10"}}, a);
    oxPlacementRecord r;
    r.Construct(true, 100, 100, 100, 100, 0, 0, 100, 100, 100, 100, false, false, 0);
    root->Arrange(&r);
    oxLayout* mdi = root->GetLayout();
    EXPECT_EQ(mdi->GetScrollX(), 30);
    EXPECT_EQ(mdi->GetScrollY(), 20);
    EXPECT_EQ(mdi->GetContentWidth(), 130);
    mdi->SetScrollX(0);
    mdi->SetScrollY(0);
    oxStyleValue left, top;
    a->GetStyleValue(kStyle_left, &left);
    a->GetStyleValue(kStyle_top, &top);
    EXPECT_EQ(left.GetInt(), 0);
    EXPECT_EQ(top.GetInt(), 0);
    root->Arrange(&r);
    EXPECT_EQ(a->GetPacked(0), (oxPoint{0, 0}));
    EXPECT_FALSE(root->GetStateFlags() & kStateOverflowed);
    // Without overflow the offset stays 0, and so do the children.
    mdi->SetScrollY(50);
    EXPECT_EQ(mdi->GetScrollY(), 0);
    a->GetStyleValue(kStyle_top, &top);
    EXPECT_EQ(top.GetInt(), 0);
}

// The horizontal bar of an MDI container shows the scroll offset; right to left, it starts at its far
// end (its maximum).
TEST_F(LayoutsTest, MdiBarValueRightToLeftIsTheMaximum) {
    for (const WCHAR* dir : {u"ltr", u"rtl"}) {
        root = Make(kAtomMDIContainer, {{u"overflow", u"scroll"}});
        root->SetAttribute(kAtomView, u"mdi", true, false);
        root->SetAttribute(kAtomDir, dir, true, false);
        // Reaches 10 past the left edge and 140 - 100 = 40 past the right: 150 wide, range 50.
        oxBox* a = Make(kAtomVbox, {{u"position", u"fixed"}, {u"left", u"-10"}}, root);
        Make(kAtomBox, {{u"width", u"150"}, {u"height", u"10"}}, a);
        oxPlacementRecord r;
        r.Construct(true, 100, 100, 100, 100, 0, 0, 100, 100, 100, 100, false, false, 0);
        root->Arrange(&r);
        oxBox* bar = root->FindHScrollBar();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomMax)), u"50");
        EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomValue)), dir[0] == u'r' ? u"50" : u"10");
        root->Release();
        root = nullptr;
    }
}

// Rows are the selectable "control" boxes below a box in tree order, not those inside a select box.
TEST_F(LayoutsTest, RowOperationsFindCountAndRemoveSelectableControls) {
    root = Make(kAtomVbox);
    auto kind = [&](oxBox* b, oxBox* parent) {
        b->SetScene(&scene);
        parent->AddChild(b);
        return b;
    };
    auto row = [&](oxBox* parent, bool selected) {
        oxBox* b = kind(new KindBox<kAtomControl>(kAtomControl), parent);
        b->SetSelectableMode(kModeSelectableItem);
        if (selected) b->SetSelected(true, true);
        return b;
    };
    oxBox* r0 = row(root, false);
    oxBox* group = Make(kAtomBox, {}, root);
    oxBox* r1 = row(group, true);
    oxBox* nested = row(r1, false); // inside a selected row: goes with it
    oxBox* select = kind(new KindBox<kAtomSelect>(kAtomSelect), root);
    row(select, true);                                   // a select box's own rows are not ours
    kind(new KindBox<kAtomControl>(kAtomControl), root); // not selectable
    oxBox* r3 = row(root, false);
    oxLayout* layout = root->GetLayout();
    EXPECT_EQ(layout->CountSelectable(root), 4);
    EXPECT_EQ(layout->FindSelectableIndex(root, r0), 0);
    EXPECT_EQ(layout->FindSelectableIndex(root, nested), 2);
    EXPECT_EQ(layout->FindSelectableIndex(root, r3), 3);
    EXPECT_EQ(layout->FindSelectableIndex(root, select), -1);
    EXPECT_EQ(layout->FindSelectableAt(root, 1), r1);
    EXPECT_EQ(layout->FindSelectableAt(root, 4), nullptr);
    EXPECT_EQ(layout->FindSelectableAt(root, -1), nullptr);
    layout->RemoveSelectedRows(root);
    EXPECT_EQ(layout->CountSelectable(root), 2);
    EXPECT_EQ(group->GetChildCount(), 0);
    EXPECT_EQ(select->GetChildCount(), 1);
    layout->RemoveAllRows(root);
    EXPECT_EQ(layout->CountSelectable(root), 0);
    EXPECT_EQ(root->GetChildCount(), 3); // the group, the select box and the plain control
}

} // namespace

namespace {

std::vector<int> Sides(const oxRect& r) {
    return {r.x, r.y, r.width, r.height};
}

// A list of 60 whose rows (30 high, 20 apart) reach 180 scrolls; the second row sticks 20 out on
// the left. What shows of a box is cut by each ancestor that clips its overflow, at the place the
// scrolled content puts it; rectangles are in the frame's client coordinates.
class ScrolledListTest : public LayoutsTest {
protected:
    void Build(const WCHAR* overflow) {
        root = Make(kAtomVbox);
        list = Make(kAtomVbox, {{u"height", u"60"}, {u"maxHeight", u"auto"}, {u"overflow", overflow}}, root);
        for (int i = 0; i < 4; ++i)
            rows[i] = Make(kAtomBox, {{u"height", u"30"}, {u"marginBottom", u"20"}}, list);
        rows[1]->SetStyle(u"marginLeft", u"-20");
        ArrangeLayoutRoot(root, 80, 200);
    }
    oxBox* list = nullptr;
    oxBox* rows[4] = {};
};

TEST_F(ScrolledListTest, TheVisibleRectangleIsCutByScrolledClippingAncestors) {
    struct Case {
        const WCHAR* overflow;
        int32_t scroll;
        std::vector<int> client[3];  // of the first three rows
        std::vector<int> visible[3]; // all zero where nothing shows
    } cases[] = {
        {u"scroll",
         0,
         {{0, 0, 80, 30}, {-20, 50, 100, 30}, {0, 100, 80, 30}},
         {{0, 0, 80, 30}, {0, 50, 80, 10}, {0, 0, 0, 0}}},
        {u"scroll",
         40,
         {{0, -40, 80, 30}, {-20, 10, 100, 30}, {0, 60, 80, 30}},
         {{0, 0, 0, 0}, {0, 10, 80, 30}, {0, 0, 0, 0}}},
        {u"hidden",
         0,
         {{0, 0, 80, 30}, {-20, 50, 100, 30}, {0, 100, 80, 30}},
         {{0, 0, 80, 30}, {0, 50, 80, 10}, {0, 0, 0, 0}}},
        // Content that shows past the list is not cut: the row outside it shows whole.
        {u"visible",
         0,
         {{0, 0, 80, 30}, {-20, 50, 100, 30}, {0, 100, 80, 30}},
         {{0, 0, 80, 30}, {-20, 50, 100, 30}, {0, 100, 80, 30}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::string(k.overflow, k.overflow + 6) << " " << k.scroll);
        if (root) root->Release();
        Build(k.overflow);
        if (k.scroll) list->SetScrollY(k.scroll);
        ASSERT_EQ(list->GetScrollY(), k.scroll);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Sides(rows[i]->GetFrameClientRect()), k.client[i]) << "row " << i;
            EXPECT_EQ(Sides(rows[i]->GetVisibleRect()), k.visible[i]) << "row " << i;
        }
    }
}

// A box with a frame of its own is at the origin of its frame's client area, and what lies below it
// is measured from there, not from the top of the tree.
TEST_F(ScrolledListTest, AFramedAncestorIsTheOriginOfTheClientRectangle) {
    Build(u"scroll");
    oxBox* outer = root;
    root = Make(kAtomVbox);
    root->AddChild(outer);
    ArrangeLayoutRoot(root, 80, 200);
    list->SetScrollY(40);
    outer->SetChangeFlag(kChangeFramed, true);
    list->SetBoxPosition({5, 7});
    EXPECT_EQ(Sides(outer->GetFrameClientRect()), (std::vector<int>{0, 0, 80, 60}));
    EXPECT_EQ(Sides(list->GetFrameClientRect()), (std::vector<int>{5, 7, 80, 60}));
    EXPECT_EQ(Sides(rows[1]->GetFrameClientRect()), (std::vector<int>{-15, 17, 100, 30}));
    EXPECT_EQ(Sides(rows[1]->GetVisibleRect()), (std::vector<int>{5, 17, 80, 30}));
}

// The space the scroll bars take is what shows of them: none before a bar exists or once it is
// hidden; placed along the far edge of the content when asked with a placement.
TEST_F(ScrolledListTest, ScrollbarSpaceIsWhatTheShownBarsTake) {
    root = Make(kAtomVbox);
    list = Make(kAtomVbox, {{u"height", u"60"}, {u"maxHeight", u"auto"}, {u"overflow", u"scroll"}}, root);
    oxBox::ScrollbarSpace space;
    space.vertical = space.horizontal = true;
    space.width = space.height = 9;
    list->GetScrollbarSpace(nullptr, &space);
    EXPECT_FALSE(space.vertical || space.horizontal || space.width || space.height) << "no bar yet";
    for (int i = 0; i < 4; ++i)
        Make(kAtomBox, {{u"height", u"30"}, {u"marginBottom", u"20"}}, list);
    ArrangeLayoutRoot(root, 80, 200);
    oxBox* bar = list->FindVScrollBar();
    ASSERT_NE(bar, nullptr);
    bar->SetStyle(u"width", u"8");
    oxPlacementRecord placement = *list->GetPlacement();
    list->GetScrollbarSpace(&placement, &space);
    EXPECT_TRUE(space.vertical);
    EXPECT_FALSE(space.horizontal);
    EXPECT_EQ(space.width, 8);
    EXPECT_EQ(space.height, 0);
    EXPECT_EQ(Sides(bar->GetBoxRect()), (std::vector<int>{72, 0, 8, 60}));
    EXPECT_EQ(Sides(list->GetContentRectWithScrollbars()), (std::vector<int>{0, 0, 88, 60}));
    bar->SetHidden(true);
    list->GetScrollbarSpace(&placement, &space);
    EXPECT_FALSE(space.vertical || space.width);
    EXPECT_EQ(Sides(bar->GetBoxRect()), (std::vector<int>{72, 0, 8, 60})) << "a hidden bar is not placed";
}

// Searches by tag: depth-first from the box itself; from a start inside the subtree on; and for a
// part of the box's own layout, passing over boxes of the same tag that belong to a nested one.
TEST_F(LayoutsTest, SearchesByTagKeepToTheirSubtreeAndLayoutRoot) {
    root = Make(kAtomVbox);
    oxBox* a = Make(kAtomHbox, {}, root);
    oxBox* rowsOfNested = Make(kAtomRows, {}, a); // rows belong to the layout of the box above
    oxBox* rows = Make(kAtomRows, {}, root);
    oxBox* deep = Make(kAtomHbox, {}, rows);
    oxBox* stranger = Make(kAtomHbox);

    EXPECT_EQ(root->GetBoxByTag(kAtomVbox), root) << "the box itself counts";
    EXPECT_EQ(root->GetBoxByTag(kAtomHbox), a);
    EXPECT_EQ(root->GetBoxByTag(kAtomRows), rowsOfNested);
    EXPECT_EQ(root->GetBoxByTag(kAtomGrid), nullptr);
    EXPECT_EQ(root->GetBoxByTag(0), nullptr);
    EXPECT_EQ(a->GetBoxByTag(kAtomRows), rowsOfNested);
    EXPECT_EQ(rows->GetBoxByTag(kAtomHbox), deep) << "the walk stays inside the subtree";

    EXPECT_EQ(root->FindBoxByType(kAtomHbox, a->GetNextBox(root, true, false)), deep);
    EXPECT_EQ(root->FindBoxByType(kAtomRows, rows), rows) << "the start itself counts";
    EXPECT_EQ(root->FindBoxByType(kAtomHbox, stranger), nullptr) << "a start outside the subtree";
    EXPECT_EQ(a->FindBoxByType(kAtomHbox, deep), nullptr);

    EXPECT_EQ(root->FindPartByTag(kAtomRows, root), rows) << "not the rows of a nested layout";
    EXPECT_EQ(root->FindPartByTag(kAtomVbox, root), nullptr) << "only boxes below";
    EXPECT_EQ(root->FindPartByTag(kAtomRows, a), rowsOfNested);
    EXPECT_EQ(root->FindPartByTag(kAtomRows, stranger), nullptr);
    stranger->Release();
}

} // namespace
