#include "toolkit/binding/list_selection_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"

namespace {

// Rows as plain boxes; a row refuses selection when its index is in `refuse`.
class Rows : public oxSelectRowSource {
public:
    explicit Rows(int n) {
        for (int i = 0; i < n; ++i) boxes.push_back(new oxBox(kAtomBox));
    }
    ~Rows() {
        for (oxBox* b : boxes) b->Release();
    }
    int GetRowCount() override { return int(boxes.size()); }
    oxBox* GetRowBox(int index) override {
        return index >= 0 && index < int(boxes.size()) ? boxes[size_t(index)] : nullptr;
    }
    bool SetRowSelectedAt(int index, bool on) override {
        oxBox* row = GetRowBox(index);
        if (!row || std::find(refuse.begin(), refuse.end(), index) != refuse.end()) return false;
        row->SetSelected(on, true);
        return true;
    }
    void CursorChanged(int now, int old, int action) override { cursorMoves.push_back({now, old, action}); }
    void FireSelect(int now, int old, oxBox* row) override { selects.push_back({now, old, row}); }
    void CollectRows(std::vector<oxBox*>* rows) override { *rows = boxes; }

    struct Move {
        int now, old, action;
    };
    struct Fired {
        int now, old;
        oxBox* row;
    };
    std::vector<oxBox*> boxes;
    std::vector<int> refuse;
    std::vector<Move> cursorMoves;
    std::vector<Fired> selects;
};

class ListSelectionTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
    void TearDown() override {
        if (model) model->Release();
    }
    oxListSelectionModel* Make(int rows, uint32_t selectMode = 2048) {
        source = std::make_unique<Rows>(rows);
        model = new oxListSelectionModel(source.get());
        model->AddRef();
        model->SetSelectMode(selectMode);
        return model;
    }
    // The selected rows by enumeration, in range order.
    std::vector<int> Enumerate() {
        std::vector<int> out;
        model->BeginEnumeration();
        for (int r = model->GetFirstSelected(); r >= 0; r = model->NextSelected()) out.push_back(r);
        return out;
    }
    std::vector<int> ShownSelected() {
        std::vector<int> out;
        for (int i = 0; i < int(source->boxes.size()); ++i)
            if (source->boxes[size_t(i)]->GetStateFlags() & kStateSelected) out.push_back(i);
        return out;
    }

    std::unique_ptr<Rows> source;
    oxListSelectionModel* model = nullptr;
};

TEST_F(ListSelectionTest, ANewModelHasNoCursorAndNoSelection) {
    Make(4);
    EXPECT_EQ(model->GetCursor(), -1);
    EXPECT_EQ(model->GetFirstSelected(), -1);
    EXPECT_EQ(model->GetSelectedCount(), 0);
    EXPECT_FALSE(model->HasMultipleSelected());
    EXPECT_EQ(model->GetCursorRow(), nullptr);
}

TEST_F(ListSelectionTest, CursorIndexesAreClampedOrWrapped) {
    struct Case {
        int index;
        bool wrap;
        int expected;
    };
    for (Case c : {Case{9, false, 5}, Case{9, true, 0}, Case{-3, false, 0}, Case{-3, true, 5}, Case{2, true, 2}}) {
        Make(6);
        model->SetCursorMode(c.wrap ? 8192 : 0);
        model->MoveCursor(c.index, 0, false);
        EXPECT_EQ(model->GetCursor(), c.expected) << c.index << " wrap " << c.wrap;
        EXPECT_EQ(model->GetSelectedCount(), 0);
        model->Release();
        model = nullptr;
    }
}

TEST_F(ListSelectionTest, SelectingSkipsUnselectableRowsInTheDirectionOfTravel) {
    Make(6);
    source->boxes[2]->SetDisabled(true, true);
    source->boxes[3]->SetDisabled(true, true);
    model->MoveCursor(1, 1, true);
    model->MoveCursor(2, 1, true);
    EXPECT_EQ(model->GetCursor(), 4);
    EXPECT_EQ(Enumerate(), (std::vector<int>{4}));
    model->MoveCursor(3, 1, true);
    EXPECT_EQ(model->GetCursor(), 1);
    EXPECT_EQ(ShownSelected(), (std::vector<int>{1}));
    // Without the skip the disabled row is taken as it is.
    model->MoveCursor(2, 1, false);
    EXPECT_EQ(model->GetCursor(), 2);
}

TEST_F(ListSelectionTest, DeselectingInsideARangeSplitsIt) {
    Make(8);
    model->SelectRange(2, 6);
    model->Deselect(4);
    EXPECT_EQ(Enumerate(), (std::vector<int>{2, 3, 5, 6}));
    EXPECT_EQ(ShownSelected(), (std::vector<int>{2, 3, 5, 6}));
    model->Deselect(2);
    model->Deselect(6);
    EXPECT_EQ(Enumerate(), (std::vector<int>{3, 5})); // what remains of a range goes to the end
    EXPECT_EQ(model->GetSelectedCount(), 2);
}

TEST_F(ListSelectionTest, SingleModeToggleKeepsTheSelectedRowAndMovesToAnother) {
    Make(5, 1024);
    model->MoveCursor(1, 1, false);
    model->MoveCursor(1, 2, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{1}));
    model->MoveCursor(3, 2, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{3}));
    EXPECT_EQ(ShownSelected(), (std::vector<int>{3}));
    // Extend in single mode selects only the target.
    model->MoveCursor(0, 3, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{0}));
}

TEST_F(ListSelectionTest, RowsThatRefuseSelectionCloseTheRun) {
    struct Case {
        int refused;
        std::vector<int> rows;
    };
    for (const Case& c : {Case{0, {1, 2, 3, 4, 5}}, Case{3, {0, 1, 2, 4, 5}}}) {
        Make(6);
        source->refuse = {c.refused};
        model->SelectRange(5, 0);
        EXPECT_EQ(Enumerate(), c.rows);
        EXPECT_EQ(model->HasMultipleSelected(), true);
        model->Release();
        model = nullptr;
    }
}

TEST_F(ListSelectionTest, ExtendStartsAtTheAnchorAndToggleAndAddGrowTheSelection) {
    Make(10);
    model->MoveCursor(4, 3, false); // no anchor yet: select-only, anchor 4
    EXPECT_EQ(Enumerate(), (std::vector<int>{4}));
    EXPECT_EQ(model->GetAnchor(), 4);
    model->MoveCursor(7, 3, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{4, 5, 6, 7}));
    model->MoveCursor(2, 3, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(ShownSelected(), (std::vector<int>{2, 3, 4}));
    model->MoveCursor(9, 2, false);
    model->MoveCursor(0, 4, false);
    EXPECT_EQ(Enumerate(), (std::vector<int>{2, 3, 4, 9, 0}));
    EXPECT_EQ(model->GetAnchor(), 9);
    EXPECT_EQ(model->GetCursor(), 0);
}

TEST_F(ListSelectionTest, ClearSelectionTellsOnlyWhenSomethingWasSelected) {
    Make(4);
    model->ClearSelection();
    EXPECT_TRUE(source->selects.empty());
    model->SelectOnly(2);
    model->ClearSelection();
    ASSERT_EQ(source->selects.size(), 1u);
    EXPECT_EQ(source->selects[0].now, -1);
    EXPECT_EQ(source->selects[0].row, nullptr);
    EXPECT_TRUE(ShownSelected().empty());
}

TEST_F(ListSelectionTest, SelectAllGivenTheCountSelectsEveryRowAndNothingInSingleMode) {
    Make(5);
    model->SelectAll(5);
    EXPECT_EQ(Enumerate(), (std::vector<int>{0, 1, 2, 3, 4}));
    model->Release();
    Make(5, 1024);
    model->SelectAll(4);
    EXPECT_EQ(model->GetSelectedCount(), 0);
}

TEST_F(ListSelectionTest, EnumerationFollowsTheOrderRangesWereAdded) {
    Make(8);
    model->Add(4);
    model->Add(5); // a range of its own: ranges are not merged
    model->Add(1);
    model->BeginEnumeration();
    EXPECT_EQ(model->GetFirstSelected(), 4);
    EXPECT_EQ(model->NextSelected(), 5);
    EXPECT_EQ(model->NextSelected(), 1);
    EXPECT_EQ(model->NextSelected(), -1);
    EXPECT_EQ(model->NextSelected(), -1);
}

TEST_F(ListSelectionTest, SelectIndexSelectsOnceAndFiresWithTheOldCursor) {
    Make(6);
    model->SetCursor(1);
    model->SelectIndex(3);
    EXPECT_EQ(model->GetCursor(), 3);
    EXPECT_EQ(Enumerate(), (std::vector<int>{3}));
    ASSERT_EQ(source->selects.size(), 1u);
    EXPECT_EQ(source->selects[0].now, 3);
    EXPECT_EQ(source->selects[0].row, source->boxes[3]);
    model->SelectIndex(3);
    EXPECT_EQ(source->selects.size(), 1u);
    // A negative value is no row.
    NUBO::XVariant minus(-2);
    EXPECT_FALSE(model->MoveCursorToValue(minus, 1));
    NUBO::XVariant two(2);
    EXPECT_TRUE(model->MoveCursorToValue(two, 1));
    EXPECT_EQ(model->GetCursor(), 2);
}

TEST_F(ListSelectionTest, AStaleModelIsReadAgainFromTheRows) {
    Make(6);
    model->SelectRange(1, 2);
    // Two rows came in above the selection: the rows keep their marks and the model follows them.
    source->boxes.insert(source->boxes.begin(), {new oxBox(kAtomBox), new oxBox(kAtomBox)});
    source->boxes[4]->SetAttribute(kAtomCurrent, u"true", false, false);
    model->MarkStale();
    EXPECT_EQ(Enumerate(), (std::vector<int>{3, 4}));
    EXPECT_EQ(model->GetCursor(), 4);
    // Sorted: the selected rows end up apart.
    std::swap(source->boxes[3], source->boxes[7]);
    model->MarkStale();
    EXPECT_EQ(Enumerate(), (std::vector<int>{4, 7}));
    EXPECT_EQ(model->GetSelectedCount(), 2);
}

} // namespace
