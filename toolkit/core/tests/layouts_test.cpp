// The deck, range, mdi and flow layouts on boxes built in code: the factory by atom and the `view`
// attribute, growth answers that never stop, sizes at the ends of the 32-bit range, hit tests, MDI
// scrolling, and the row operations every layout shares.
#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <string>

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
    for (oxAtom atom : {kAtomFlex, kAtomDeck, kAtomRange, kAtomFlow, kAtomMdi, kAtomGrid, kAtomDatagrid,
                        kAtomDatacolgrid}) {
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
        {u"flow", kAtomFlow}, {u"toolkit:deck", kAtomDeck}, {u"other:flow", kAtomDeck}, {u"nothing", kAtomDeck},
        {u"MDI", kAtomMdi},   {u"flex", kAtomFlex},
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
        {{5, 5, 0, 5}, 200, 0, false, {0, 200}},       // empty range: no division by zero
        {{0, 0, 0, 0}, 200, 0, false, {0, 200}},       // min = max, no page
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
        {60, 30, 40, 0, 50},   // below: its bottom at the view's bottom
        {10, 10, 40, 30, 10},  // above: its top at the view's top
        {20, 10, 40, 0, 0},    // in view: unchanged
        {50, 100, 40, 0, 50},  // longer than the view: its start
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
    row(select, true);                    // a select box's own rows are not ours
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
