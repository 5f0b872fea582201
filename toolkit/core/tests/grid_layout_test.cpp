// The grid family on boxes built in code: column collapsing by weight, alternate rows, scrolling by
// rows and pages, opening and closing nested rows (and the transition that animates it), sorting,
// removal and the selection it leaves, the tree walk, the datagrid over a row source that makes its
// boxes on demand, and the datacolgrid.
#include "toolkit/core/grid_layout.h"
#include "toolkit/core/grid_services.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/datacolgrid_layout.h"
#include "toolkit/core/datagrid_layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/style_rule_maps.h"

namespace {

template <oxAtom kType> class KindBox : public oxBox {
public:
    using oxBox::oxBox;
    oxAtom GetBoxType() const override { return kType; }
};

// Scroll bars report their value to the box they scroll, as the scene's listener does.
class BarListener : public oxChangeListener {
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void OnAttributeChanged(oxBox* bar, oxAtom attribute) override {
        oxBox* target = bar->GetScrolledBox();
        if (!target || attribute != kAtomValue) return;
        const int32_t n = _wtoi(bar->GetAttributeText(kAtomValue));
        const WCHAR* axis = bar->GetAttributeText(kAtomAxis);
        if (axis && axis[0] == u'y')
            target->SetScrollY(n);
        else
            target->SetScrollX(n);
    }
    void OnStyleChanged(oxBox*, int) override {}
};

class Scene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        oxBox* box = nullptr;
        if (tag == kAtomControl)
            box = new (std::nothrow) KindBox<kAtomControl>(tag);
        else if (tag == kAtomText)
            box = new (std::nothrow) KindBox<kAtomText>(tag);
        else if (tag == kAtomSelect)
            box = new (std::nothrow) KindBox<kAtomSelect>(tag);
        else
            box = new (std::nothrow) oxBox(tag);
        if (!box) return nullptr;
        box->SetScene(this);
        if (tag == kAtomScrollbar) box->SetStyle(u"width", u"8");
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxChangeListener* GetScrollbarListener() override { return &bars; }
    oxStyleRuleMaps rules;
    BarListener bars;
};

// Services as the widgets and the transition module give them: a control's command opens or closes
// its row, values come from the "value" attribute, and transitions are recorded.
class Services : public oxGridServices {
public:
    void RaiseCommand(oxBox* control) override {
        ++commands;
        control->SetExpanded(!(control->GetStateFlags() & kStateExpanded), false);
    }
    const WCHAR* GetValueText(oxBox* box) override { return box->GetAttributeText(kAtomValue); }
    oxBox* GetSelection(oxBox*) override { return selection; }
    void SetSelection(oxBox*, oxBox* row) override { selection = row; }
    int32_t GetCurrentIndex(oxBox*) override { return current; }
    void SelectIndex(oxBox*, int32_t index) override { current = index; }
    bool AnimateRowToggle(oxBox* grid, oxRowToggle& toggle, const WCHAR* effect, int32_t duration, const WCHAR* curve,
                          int32_t background) override {
        if (!animate) return false;
        animated.grid = grid;
        animated.effect = effect;
        animated.curve = curve;
        animated.duration = duration;
        animated.background = background;
        toggle.CollectItems(&animated.before);
        toggle.Apply();
        toggle.CollectItems(&animated.after);
        return true;
    }
    struct {
        oxBox* grid = nullptr;
        std::u16string effect, curve;
        int32_t duration = 0, background = 0;
        oxSnapshotItemList before, after;
    } animated;
    bool animate = false;
    int commands = 0;
    oxBox* selection = nullptr;
    int32_t current = 0;
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxSetGridServices(&services);
    }
    void TearDown() override {
        if (root) root->Release();
        oxSetGridServices(nullptr);
    }
    oxBox* Make(oxAtom tag, std::initializer_list<std::pair<const WCHAR*, const WCHAR*>> style = {},
                oxBox* parent = nullptr, const char* id = nullptr) {
        oxBox* box = scene.CreateBox(kAtomBoxNamespace, tag);
        for (const auto& [name, value] : style)
            box->SetStyle(name, value);
        if (parent) parent->AddChild(box);
        if (id) box->SetId(oxAtoms::Intern(std::u16string(id, id + strlen(id)).c_str()));
        return box;
    }
    // A grid of `n` rows `height` high, with columns of the given widths and one cell per column.
    oxBox* MakeGrid(oxAtom type, int n, int height, std::initializer_list<const WCHAR*> widths,
                    const WCHAR* view = u"grid") {
        root = Make(type);
        root->SetAttribute(kAtomView, view, true, false);
        columns = Make(kAtomColumns, {}, root);
        for (const WCHAR* w : widths)
            Make(kAtomBox, {{u"width", w}}, columns);
        rows = Make(kAtomRows, {}, root);
        for (int i = 0; i < n; ++i)
            AddRow(rows, height, int(widths.size()));
        return root;
    }
    oxBox* AddRow(oxBox* into, int height, int cells) {
        std::u16string h;
        for (char c : std::to_string(height))
            h += char16_t(c);
        oxBox* row = Make(kAtomBox, {{u"height", h.c_str()}}, into);
        for (int c = 0; c < cells; ++c)
            Make(kAtomBox, {{u"flex", u"1"}}, row);
        return row;
    }
    oxGridLayout* Grid() { return static_cast<oxGridLayout*>(root->GetLayout()); }
    std::vector<int32_t> Tops() {
        std::vector<int32_t> tops;
        for (int i = 0; i < rows->GetChildCount(); ++i)
            tops.push_back(rows->GetChildAt(i, false)->GetBoxRect().y);
        return tops;
    }

    Scene scene;
    Services services;
    oxBox* root = nullptr;
    oxBox* columns = nullptr;
    oxBox* rows = nullptr;
};

// Too narrow a header collapses the lightest column first and, of equal weights, the later one.
TEST_F(GridTest, HeaderCollapsesColumnsByWeight) {
    struct Case {
        const WCHAR* weights[3];
        int32_t width;
        std::vector<bool> collapsed;
    } cases[] = {
        {{u"5", u"2", u"9"}, 100, {false, true, false}},  // 120 > 100: the weight-2 column goes
        {{u"5", u"2", u"9"}, 70, {true, true, false}},    // then the weight-5 one
        {{u"3", u"3", u"9"}, 100, {false, true, false}},  // equal weights: the later one first
        {{u"5", u"2", u"9"}, 120, {false, false, false}}, // it fits
    };
    for (const Case& c : cases) {
        root = Make(kAtomBox);
        root->SetAttribute(kAtomView, u"grid", true, false);
        columns = Make(kAtomColumns, {}, root);
        columns->SetAttribute(kAtomHeader, u"true", true, false);
        columns->SetAttribute(kAtomCollapsable, u"true", true, false);
        for (const WCHAR* w : c.weights) {
            oxBox* cell = Make(kAtomBox, {{u"width", u"40"}, {u"height", u"10"}}, columns);
            cell->SetAttribute(kAtomCollapseWeight, w, true, false);
        }
        rows = Make(kAtomRows, {}, root);
        AddRow(rows, 10, 3);
        ArrangeLayoutRoot(root, c.width, 50);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Grid()->IsColumnCollapsed(i), bool(c.collapsed[size_t(i)])) << c.width << " column " << i;
            EXPECT_EQ(rows->GetChildAt(0, false)->GetChildAt(i, false)->IsCollapsed(), bool(c.collapsed[size_t(i)]));
        }
        // Laid out again wide enough, every column shows once more.
        ArrangeLayoutRoot(root, 200, 50);
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(columns->GetChildAt(i, false)->IsCollapsed());
        root->Release();
        root = nullptr;
    }
}

// Without a "columns" box the rows are laid out whole, each by its own layout, the full width of the
// grid; a nested row's content moves right by the indent of its level.
TEST_F(GridTest, RowsWithoutColumnsAreLaidOutWhole) {
    root = Make(kAtomBox);
    root->SetAttribute(kAtomView, u"grid", true, false);
    root->SetAttribute(kAtomTreeIndent, u"6", true, false);
    rows = Make(kAtomRows, {}, root);
    oxBox* first = Make(kAtomBox, {{u"height", u"12"}}, rows);
    oxBox* cell = Make(kAtomControl, {{u"flex", u"1"}}, first);
    oxBox* nested = Make(kAtomRows, {}, first);
    oxBox* inner = Make(kAtomBox, {{u"height", u"8"}}, nested);
    Make(kAtomBox, {{u"width", u"5"}}, inner);
    oxBox* last = Make(kAtomBox, {{u"height", u"10"}}, rows);
    cell->SetExpanded(true, false);
    ArrangeLayoutRoot(root, 80, 100);
    EXPECT_EQ(Grid()->GetRowCount(), 3);
    EXPECT_EQ(first->GetBoxRect(), (oxRect{0, 0, 80, 12}));
    EXPECT_EQ(inner->GetBoxRect(), (oxRect{0, 12, 80, 8}));
    EXPECT_EQ(inner->GetContentRect().x, 6);
    EXPECT_EQ(last->GetBoxRect(), (oxRect{0, 20, 80, 10}));
}

TEST_F(GridTest, AlternateRowsAndColspanCutAtTheLastColumn) {
    MakeGrid(kAtomBox, 4, 10, {u"30", u"40"});
    root->SetAttribute(oxAtoms::Intern(u"alternateRowStyles"), u"true", true, false);
    oxBox* wide = rows->GetChildAt(0, false)->GetChildAt(1, false);
    wide->SetAttribute(kAtomColspan, u"5", true, false);
    ArrangeLayoutRoot(root, 100, 100);
    for (int i = 0; i < 4; ++i) {
        const WCHAR* alt = rows->GetChildAt(i, false)->GetAttributeText(kAtomAlternateRow);
        EXPECT_EQ(alt != nullptr, i % 2 == 1) << i;
    }
    EXPECT_EQ(wide->GetBoxRect(), (oxRect{30, 0, 40, 10}));
}

// The "columns" box is found depth-first below the grid, also inside a wrapper; a grid tagged
// "columns" itself does not take its own children for column definitions.
TEST_F(GridTest, ColumnsAreFoundBelowTheGridBoxOnly) {
    for (bool wrapped : {false, true}) {
        root = Make(kAtomColumns);
        root->SetAttribute(kAtomView, u"grid", true, false);
        columns = Make(kAtomColumns, {}, wrapped ? Make(kAtomBox, {}, root) : root);
        Make(kAtomBox, {{u"width", u"30"}}, columns);
        Make(kAtomBox, {{u"width", u"40"}}, columns);
        rows = Make(kAtomRows, {}, root);
        oxBox* row = AddRow(rows, 10, 2);
        ArrangeLayoutRoot(root, 100, 50);
        EXPECT_EQ(row->GetChildAt(0, false)->GetBoxRect(), (oxRect{0, 0, 30, 10})) << wrapped;
        EXPECT_EQ(row->GetChildAt(1, false)->GetBoxRect(), (oxRect{30, 0, 40, 10})) << wrapped;
        EXPECT_FALSE(Grid()->IsColumnCollapsed(1));
        root->Release();
        root = nullptr;
    }
    // With no "columns" box below it the grid tagged "columns" lays its rows out whole.
    root = Make(kAtomColumns);
    root->SetAttribute(kAtomView, u"grid", true, false);
    rows = Make(kAtomRows, {}, root);
    oxBox* row = AddRow(rows, 10, 2);
    ArrangeLayoutRoot(root, 100, 50);
    EXPECT_EQ(row->GetBoxRect(), (oxRect{0, 0, 100, 10}));
}

// With a width on the "columns" box the columns share it and the grid scrolls sideways by whole
// columns: the cells of the columns scrolled out are not shown.
TEST_F(GridTest, ScrollsSidewaysByColumns) {
    MakeGrid(kAtomBox, 2, 10, {u"0", u"0", u"0"});
    columns->SetStyle(u"width", u"300");
    ArrangeLayoutRoot(root, 150, 50);
    oxBox* row = rows->GetChildAt(0, false);
    EXPECT_EQ(Grid()->GetColumnWidth(1), 100);
    EXPECT_EQ(row->GetChildAt(1, false)->GetBoxRect(), (oxRect{100, 0, 100, 10}));
    root->SetScrollX(1);
    ArrangeLayoutRoot(root, 150, 50);
    EXPECT_EQ(root->GetScrollX(), 1);
    EXPECT_TRUE(row->GetChildAt(0, false)->IsCollapsed());
    EXPECT_EQ(row->GetChildAt(1, false)->GetBoxRect(), (oxRect{0, 0, 100, 10}));
    EXPECT_EQ(row->GetChildAt(2, false)->GetBoxRect(), (oxRect{100, 0, 100, 10}));
    root->SetScrollX(0);
    ArrangeLayoutRoot(root, 150, 50);
    EXPECT_FALSE(row->GetChildAt(0, false)->IsCollapsed());
    EXPECT_EQ(row->GetChildAt(0, false)->GetBoxRect(), (oxRect{0, 0, 100, 10}));
}

// Fixed-height rows scroll by whole rows: the page moves, the scroll bar follows, the offset read
// through the box stays 0, and a row is brought into view from either side.
TEST_F(GridTest, ScrollsByRowsAndPages) {
    MakeGrid(kAtomBox, 10, 10, {u"50"});
    rows->SetStyle(u"height", u"100"); // ten rows of 10
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 35);
    oxGridLayout* grid = Grid();
    ASSERT_TRUE(grid->HasFixedRowHeight());
    EXPECT_EQ(grid->GetRowsPerPage(), 3);
    EXPECT_EQ(grid->GetLargestFirstRow(), 7);
    oxBox* bar = root->FindVScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomMax)), u"7");

    struct Step {
        int32_t scrollTo; // -1: EnsureRowVisible(ensure) instead
        int32_t ensure;
        int32_t first; // the first visible row after it
    } steps[] = {
        {3, 0, 3},  // a page down
        {6, 0, 6},  // and one more
        {20, 0, 7}, // past the end: the last page
        {-1, 8, 7}, // a visible row changes nothing
        {-1, 1, 1}, // a row above becomes the first
        {-1, 6, 4}, // a row below becomes the last
        {-5, 0, 0}, // before the start: the first page
    };
    for (const Step& s : steps) {
        if (s.scrollTo != -1)
            root->SetScrollY(s.scrollTo);
        else
            grid->EnsureRowVisible(s.ensure);
        EXPECT_EQ(grid->GetFirstVisibleRow(), s.first) << s.scrollTo << "/" << s.ensure;
        EXPECT_EQ(root->GetScrollY(), 0);
        // The page's rows stack from the top; the row after them is placed but cut off.
        for (int k = 0; k < 4 && s.first + k < 10; ++k)
            EXPECT_EQ(rows->GetChildAt(s.first + k, false)->GetBoxRect().y, 10 * k);
    }
    EXPECT_EQ(std::u16string(root->GetAttributeText(kAtomScrollRowChanged)), u"0");
    EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomPageNumRows)), u"3");
    // A script's scrollToRow goes the same way.
    root->ScrollToRow(2);
    EXPECT_EQ(grid->GetFirstVisibleRow(), 2);
    EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomValue)), u"2");
}

TEST_F(GridTest, RowsWithoutFixedHeightIgnoreEnsureVisible) {
    MakeGrid(kAtomBox, 10, 10, {u"50"});
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 35);
    ASSERT_FALSE(Grid()->HasFixedRowHeight());
    Grid()->EnsureRowVisible(8);
    EXPECT_EQ(Grid()->GetFirstVisibleRow(), 0);
}

// A tree: the first cell's `expanded` state opens and closes the nested rows, directly or through
// the transition, and the rows below move by the nested rows' height.
class GridTreeTest : public GridTest {
protected:
    void Build() {
        MakeGrid(kAtomBox, 0, 10, {u"50"});
        root->SetAttribute(kAtomTreeIndent, u"10", true, false);
        parent = AddRow(rows, 10, 0);
        expander = Make(kAtomControl, {{u"flex", u"1"}}, parent);
        nested = Make(kAtomRows, {}, parent);
        for (int i = 0; i < 2; ++i)
            AddRow(nested, 10, 1);
        after = AddRow(rows, 10, 1);
        ArrangeLayoutRoot(root, 50, 100);
    }
    oxBox* parent = nullptr;
    oxBox* expander = nullptr;
    oxBox* nested = nullptr;
    oxBox* after = nullptr;
};

TEST_F(GridTreeTest, ExpandedCellOpensAndClosesTheNestedRows) {
    Build();
    EXPECT_TRUE(nested->IsCollapsed());
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    EXPECT_EQ(after->GetBoxRect().y, 10);
    expander->SetExpanded(true, false);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_FALSE(nested->IsCollapsed());
    EXPECT_EQ(Grid()->GetRowCount(), 4);
    EXPECT_EQ(after->GetBoxRect().y, 30);
    EXPECT_EQ(Grid()->GetRowLevel(1), 1);
    // A nested row's first cell is indented by one level.
    EXPECT_EQ(nested->GetChildAt(0, false)->GetChildAt(0, false)->GetBoxRect().x, 10);
    expander->SetExpanded(false, false);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_TRUE(nested->IsCollapsed());
    EXPECT_EQ(after->GetBoxRect().y, 10);
}

TEST_F(GridTreeTest, ToggleRunsTheRowTransition) {
    Build();
    root->SetStyle(u"fill", u"#ff102030");
    services.animate = true;
    Grid()->ExpandRow(parent, true, false);
    EXPECT_EQ(services.commands, 1);
    ASSERT_EQ(services.animated.grid, root);
    EXPECT_EQ(services.animated.effect, u"rectSorter");
    EXPECT_EQ(services.animated.curve, u"smoothSpline");
    EXPECT_EQ(services.animated.duration, 250);
    EXPECT_EQ(uint32_t(services.animated.background), 0xff102030u);
    // Before: the two rows; after: four, the last one moved down by the two nested rows.
    auto rects = [](const oxSnapshotItemList& items) {
        std::vector<oxRect> out;
        for (const oxSnapshotItem& it : items)
            if (it.flag == 0) out.push_back(it.rect);
        return out;
    };
    EXPECT_EQ(rects(services.animated.before), (std::vector<oxRect>{{0, 0, 50, 10}, {0, 10, 50, 10}}));
    EXPECT_EQ(rects(services.animated.after),
              (std::vector<oxRect>{{0, 0, 50, 10}, {0, 10, 50, 10}, {0, 20, 50, 10}, {0, 30, 50, 10}}));
    EXPECT_EQ(services.animated.after.back().box, after);
    // Expanding a row already open moves the selection on by one row; closing goes back through the
    // command.
    services.current = 4;
    Grid()->ExpandRow(parent, false, false);
    EXPECT_EQ(services.current, 5);
    Grid()->CollapseRow(parent, false, false);
    EXPECT_EQ(services.commands, 2);
    EXPECT_TRUE(nested->IsCollapsed());
}

TEST_F(GridTreeTest, WalksTheTreeInOrder) {
    Build();
    expander->SetExpanded(true, false);
    ArrangeLayoutRoot(root, 50, 100);
    oxGridLayout* grid = Grid();
    std::vector<oxBox*> order;
    for (oxBox* r = grid->GetFirstRow(); r; r = grid->GetNextRow(r, false))
        order.push_back(r);
    EXPECT_EQ(order, (std::vector<oxBox*>{parent, nested->GetChildAt(0, false), nested->GetChildAt(1, false), after}));
    EXPECT_EQ(grid->GetNextRow(parent, true), after);
    EXPECT_TRUE(grid->HasNestedRows(parent));
    EXPECT_TRUE(grid->IsRowExpanded(parent));
    int32_t before = -1, siblings = -1, inner = -1;
    grid->GetRowSiblingInfo(0, &before, &siblings, &inner);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(siblings, 2);
    EXPECT_EQ(inner, 2);
    grid->GetRowSiblingInfo(2, &before, &siblings, &inner);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(siblings, 2);
    EXPECT_EQ(inner, 0);
}

// Rows sort by the text of their cell in the sort column, stably in both directions; a cell that is
// neither a control nor a text box sorts as an empty key.
TEST_F(GridTest, SortsRowsByAColumnStably) {
    root = Make(kAtomSelect);
    root->SetAttribute(kAtomView, u"grid", true, false);
    columns = Make(kAtomColumns, {}, root);
    Make(kAtomBox, {{u"width", u"50"}}, columns);
    rows = Make(kAtomRows, {}, root);
    const char16_t* keys[] = {u"b", u"a", u"c", u"a", nullptr};
    std::vector<oxBox*> made;
    for (const char16_t* key : keys) {
        oxBox* row = Make(kAtomBox, {{u"height", u"10"}}, rows);
        oxBox* cell = Make(key ? kAtomText : kAtomBox, {{u"flex", u"1"}}, row);
        if (key) cell->SetAttribute(kAtomValue, key, true, false);
        made.push_back(row);
    }
    ArrangeLayoutRoot(root, 50, 100);
    oxGridLayout* grid = Grid();
    services.selection = made[2];
    grid->SetSortColumn(1);
    grid->SortRows(1);
    ArrangeLayoutRoot(root, 50, 100);
    std::vector<oxBox*> up = {made[4], made[1], made[3], made[0], made[2]};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(grid->GetRowBox(i), up[size_t(i)]) << i;
        EXPECT_EQ(up[size_t(i)]->GetBoxRect().y, 10 * i);
    }
    grid->SortRows(0);
    ArrangeLayoutRoot(root, 50, 100);
    std::vector<oxBox*> down = {made[2], made[0], made[1], made[3], made[4]};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(grid->GetRowBox(i), down[size_t(i)]) << i;
    EXPECT_EQ(services.selection, made[2]);
    // A new row is sorted in when the grid is laid out again.
    oxBox* late = Make(kAtomBox, {{u"height", u"10"}}, rows);
    Make(kAtomText, {{u"flex", u"1"}}, late)->SetAttribute(kAtomValue, u"bb", true, false);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_EQ(grid->GetRowBox(1), late);
    grid->SetSortColumn(0);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_EQ(grid->GetRowBox(0), made[0]);
}

// Removing the first selected row of a select grid selects the row after it, a later one the row
// before it.
TEST_F(GridTest, RemovalSelectsANeighbour) {
    struct Case {
        int removed;
        int expected; // index among the rows before the removal
    } cases[] = {{0, 1}, {2, 1}};
    for (const Case& c : cases) {
        root = nullptr;
        MakeGrid(kAtomSelect, 4, 10, {u"50"});
        ArrangeLayoutRoot(root, 50, 100);
        std::vector<oxBox*> before;
        for (int i = 0; i < 4; ++i)
            before.push_back(rows->GetChildAt(i, false));
        before[size_t(c.removed)]->SetModeBit14(true);
        services.selection = nullptr;
        Grid()->RemoveRow(root, before[size_t(c.removed)]);
        EXPECT_EQ(services.selection, before[size_t(c.expected)]) << c.removed;
        EXPECT_EQ(rows->GetChildCount(), 3);
        ArrangeLayoutRoot(root, 50, 100);
        EXPECT_EQ(Tops(), (std::vector<int32_t>{0, 10, 20}));
        root->Release();
        root = nullptr;
    }
    MakeGrid(kAtomSelect, 5, 10, {u"50"});
    ArrangeLayoutRoot(root, 50, 100);
    oxBox* keep0 = rows->GetChildAt(0, false);
    oxBox* keep3 = rows->GetChildAt(3, false);
    for (int i : {1, 2, 4})
        rows->GetChildAt(i, false)->SetSelected(true, true);
    Grid()->RemoveSelectedRows(root);
    ASSERT_EQ(rows->GetChildCount(), 2);
    EXPECT_EQ(services.selection, keep0);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_EQ(keep3->GetBoxRect().y, 10);
    // A row taken out behind the grid's back is not walked before the next pass: painting waits for
    // it, a hit test runs it first.
    oxBox* gone = rows->RemoveChildAt(0, false);
    gone->Release();
    Grid()->PaintChildren(reinterpret_cast<oxCanvas*>(&services), root);
    EXPECT_EQ(Grid()->HitTest({5, 5}, root), keep3->GetChildAt(0, false));
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    Grid()->RemoveAllRows(root);
    EXPECT_EQ(rows->GetChildCount(), 0);
    ArrangeLayoutRoot(root, 50, 100);
    EXPECT_EQ(Grid()->GetRowCount(), 0);
}

// A row source that makes its boxes when first asked, over a list of numbers.
class ListSource final : public oxRowSource {
public:
    ListSource(oxBoxScene* scene, oxBox* container) : scene_(scene), container_(container) {}
    int CountRows() override { return int(boxes.size()); }
    oxBox* GetRowBoxAt(int row) override {
        if (row < 0 || row >= CountRows()) return nullptr;
        if (!boxes[size_t(row)]) {
            oxBox* box = scene_->CreateBox(kAtomBoxNamespace, kAtomBox);
            box->SetStyle(u"height", u"10");
            oxBox* cell = scene_->CreateBox(kAtomBoxNamespace, kAtomBox);
            cell->SetStyle(u"flex", u"1");
            box->AddChild(cell);
            container_->AddChild(box);
            boxes[size_t(row)] = box;
            ++made;
        }
        return boxes[size_t(row)];
    }
    int FindRowOfBox(oxBox* box, bool) override {
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i] && (boxes[i] == box || boxes[i]->IsAncestorOf(box))) return int32_t(i);
        return -1;
    }
    int GetRowLevel(int) override { return 0; }
    void Insert(int32_t at) {
        boxes.insert(boxes.begin() + at, nullptr);
        container_->InvalidateUpToPopup();
    }
    std::vector<oxBox*> boxes;
    int made = 0;

private:
    oxBoxScene* scene_;
    oxBox* container_;
};

class DataGridTest : public GridTest {
protected:
    void Build(int n) {
        MakeGrid(kAtomBox, 0, 10, {u"50"}, u"datagrid");
        source = new ListSource(&scene, rows);
        source->boxes.resize(size_t(n), nullptr);
        oxSetRowSource(rows, source);
    }
    void TearDown() override {
        if (rows) oxSetRowSource(rows, nullptr);
        GridTest::TearDown();
        delete source;
    }
    oxDataGridLayout* Data() { return static_cast<oxDataGridLayout*>(root->GetLayout()); }
    ListSource* source = nullptr;
};

TEST_F(DataGridTest, WithoutASourceThereAreNoRows) {
    MakeGrid(kAtomBox, 0, 10, {u"50"}, u"datagrid");
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 50);
    EXPECT_EQ(Data()->GetRowCount(), 0);
    EXPECT_EQ(Data()->GetRowBox(0), nullptr);
    // Asking for a record far out grows the records to it, the ones between left empty.
    ASSERT_NE(Data()->GetRowRecord(5), nullptr);
    EXPECT_EQ(Data()->GetRecordCapacity(), 6);
    EXPECT_EQ(Data()->GetRowRecord(-1), nullptr);
}

// Rows are made only for the page shown (and the last page, which tells how far it may scroll); a
// page down makes the next page; a row inserted into the list shows after the next pass.
TEST_F(DataGridTest, MakesOnlyThePagesItShows) {
    Build(1000);
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 25);
    oxDataGridLayout* grid = Data();
    EXPECT_EQ(grid->GetRowCount(), 1000);
    // The third row passes 25: it and one more are placed, two are counted.
    EXPECT_EQ(grid->GetRowsPerPage(), 2);
    EXPECT_EQ(source->boxes[2]->GetBoxRect().y, 20);
    EXPECT_EQ(source->boxes[3]->GetBoxRect().y, 30);
    EXPECT_LE(source->made, 8);
    oxBox* bar = root->FindVScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(std::u16string(bar->GetAttributeText(kAtomValue)), u"0");
    root->SetScrollY(500);
    EXPECT_EQ(grid->GetFirstVisibleRow(), 500);
    EXPECT_EQ(source->boxes[500]->GetBoxRect().y, 0);
    EXPECT_EQ(source->boxes[501]->GetBoxRect().y, 10);
    EXPECT_LE(source->made, 12);
    EXPECT_EQ(grid->FindSelectableIndex(root, source->boxes[501]), 501);
    // Rows made during a pass leave the grid laid out, so it paints and hit-tests them.
    EXPECT_FALSE(root->TestChangeFlags(kChangeLayoutStale));
    EXPECT_EQ(grid->HitTest({5, 15}, root), source->boxes[501]->GetChildAt(0, false));
    // A row inserted before the page shifts it by one.
    oxBox* was500 = source->boxes[500];
    source->Insert(0);
    ArrangeLayoutRoot(root, 50, 25);
    EXPECT_EQ(grid->GetRowCount(), 1001);
    EXPECT_EQ(grid->GetRowBox(501), was500);
    EXPECT_EQ(source->boxes[500]->GetBoxRect().y, 0);
    EXPECT_EQ(was500->GetBoxRect().y, 10);
}

// A transition's items: the rows in view where they stand, and a view's worth of rows on each side
// stacked beyond it, so that rows can slide in; the rest of a long list is never made for them.
TEST_F(DataGridTest, SnapshotItemsCoverTheViewAndAViewAroundIt) {
    Build(1000);
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 25);
    root->SetScrollY(500);
    const int madeBefore = source->made;
    oxSnapshotItemList items;
    Data()->CollectSnapshotItems(&items);
    std::vector<oxSnapshotItem> rowsIn;
    for (const oxSnapshotItem& item : items)
        if (item.flag == 0) rowsIn.push_back(item);
    ASSERT_GE(rowsIn.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(source->boxes[size_t(500 + i)], rowsIn[size_t(i)].box) << i;
        EXPECT_EQ(10 * i, rowsIn[size_t(i)].rect.y) << i;
        EXPECT_EQ(10, rowsIn[size_t(i)].rect.height) << i;
    }
    // 25 / 10 + 2 rows on each side at most.
    EXPECT_LE(rowsIn.size(), 3u + 2 * 4);
    EXPECT_GT(rowsIn.size(), 3u) << "rows stacked beyond the view";
    EXPECT_LE(source->made - madeBefore, 8);
}

// The rows a binding made are its own: removing them through the list leaves them to the binding's
// data, so no box the binding holds is destroyed under it.
TEST_F(DataGridTest, RowsOfABindingStayWithIt) {
    Build(20);
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 45);
    oxBox* first = source->boxes[0];
    source->boxes[1]->SetSelected(true, true);
    Data()->RemoveSelectedRows(root);
    Data()->RemoveRow(root, first);
    EXPECT_EQ(rows->GetChildCount(), source->made);
    EXPECT_EQ(first->GetParent(), rows);
    ArrangeLayoutRoot(root, 50, 45);
    EXPECT_EQ(Data()->GetRowCount(), 20);
    EXPECT_EQ(source->boxes[1]->GetBoxRect().y, 10);
}

TEST_F(DataGridTest, EmptyListSetsTheBarToZero) {
    Build(0);
    root->SetStyle(u"overflow", u"scroll");
    ArrangeLayoutRoot(root, 50, 25);
    EXPECT_EQ(Data()->GetRowCount(), 0);
    EXPECT_EQ(Data()->GetRowsPerPage(), 0);
}

// Columns from a source: as many as fit from the first visible one; scrolling to a late column
// shows the last page of columns.
TEST_F(GridTest, DataColGridPlacesTheColumnsThatFit) {
    root = Make(kAtomBox);
    root->SetAttribute(kAtomView, u"datacolgrid", true, false);
    root->SetStyle(u"overflow", u"scroll");
    columns = Make(kAtomColumns, {}, root);
    ListSource source(&scene, columns);
    source.boxes.resize(10, nullptr);
    for (int i = 0; i < 10; ++i) {
        source.GetRowBoxAt(i)->SetStyle(u"width", u"50");
        source.boxes[size_t(i)]->SetStyle(u"height", u"20");
    }
    auto* layout = static_cast<oxDataColGridLayout*>(root->GetLayout());
    // Without a source there are no columns and the box keeps its size.
    ArrangeLayoutRoot(root, 120, 40);
    EXPECT_EQ(layout->GetColumnCount(), 0);
    EXPECT_EQ(root->GetBoxRect(), (oxRect{0, 0, 120, 40}));
    oxSetRowSource(columns, &source);
    ArrangeLayoutRoot(root, 120, 40);
    EXPECT_EQ(layout->GetColumnCount(), 10);
    EXPECT_EQ(layout->GetEndOfVisibleColumns(), 2);
    EXPECT_TRUE(layout->IsOverflowX());
    EXPECT_EQ(layout->GetTotalWidth(), 150);
    EXPECT_EQ(layout->GetLargestFirstColumn(), 8);
    EXPECT_EQ(source.boxes[1]->GetBoxRect(), (oxRect{50, 0, 50, 20}));
    layout->EnsureColumnVisible(9);
    EXPECT_EQ(layout->GetFirstVisibleColumn(), 8);
    EXPECT_EQ(source.boxes[9]->GetBoxRect().x, 50);
    layout->EnsureColumnVisible(3);
    EXPECT_EQ(layout->GetFirstVisibleColumn(), 3);
    EXPECT_EQ(layout->FindSelectableIndex(root, source.boxes[4]), 4);
    EXPECT_EQ(layout->HitTest({60, 5}, root), source.boxes[4]->GetChildAt(0, false));
    oxSetRowSource(columns, nullptr);
}

} // namespace
