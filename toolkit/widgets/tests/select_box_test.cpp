#include "toolkit/widgets/select_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/core/box_factory.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/tests/control_test_scene.h"

namespace {

// A select box with six control rows (values "v0".."v5", labels "L0".."L5") in a scene that logs
// the select events it dispatches.
class SelectBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        root = new oxBox(kAtomBox);
        select = new oxSelectBox(kAtomSelect);
        root->AddChild(select);
        for (int i = 0; i < 6; ++i) {
            auto* row = new oxControlBox(kAtomControl);
            row->SetSelectableMode(kModeSelectableItem);
            const std::u16string n(1, char16_t(u'0' + i));
            row->SetValue((u"v" + n).c_str());
            row->SetLabel((u"L" + n).c_str());
            auto* cell = new oxBox(kAtomBox);
            row->AddChild(cell);
            select->AddChild(row);
            rows.push_back(row);
            cells.push_back(cell);
        }
        scene.onDispatch = [this](oxEvent* event) {
            if (auto* s = dynamic_cast<oxSelectionEvent*>(event))
                selects.push_back({s->index, s->oldIndex, s->GetTarget() == static_cast<oxReferenced*>(select)});
        };
        root->AttachSubtreeToScene(&scene);
    }
    void TearDown() override { root->Release(); }

    oxListSelectionModel* model() { return dynamic_cast<oxListSelectionModel*>(select->GetSelectionModel()); }
    void Mouse(oxAtom type, oxBox* target, int button = 1, bool shift = false, bool ctrl = false) {
        oxMouseEvent event(type, target, nullptr, button, nullptr, 0, oxPoint{}, oxPoint{}, shift, ctrl, false);
        select->HandleEvent(&event);
    }
    void Click(oxBox* target, int button = 1, bool shift = false, bool ctrl = false) {
        Mouse(kAtomMouseDown, target, button, shift, ctrl);
        Mouse(kAtomMouseUp, target, button, shift, ctrl);
    }
    std::vector<int> Selected() {
        std::vector<int> out;
        for (int i = 0; i < int(rows.size()); ++i)
            if (rows[size_t(i)]->GetStateFlags() & kStateSelected) out.push_back(i);
        return out;
    }
    std::u16string Attr(oxAtom atom) {
        const WCHAR* text = select->GetAttribute(atom);
        return text ? text : u"";
    }

    struct Fired {
        int index, old;
        bool atList;
    };
    ControlScene scene;
    oxBox* root = nullptr;
    oxSelectBox* select = nullptr;
    std::vector<oxControlBox*> rows;
    std::vector<oxBox*> cells;
    std::vector<Fired> selects;
};

TEST_F(SelectBoxTest, ItIsASelectBoxWhoseRowsAreItsItemControls) {
    EXPECT_EQ(select->GetBoxType(), kAtomSelect);
    EXPECT_EQ(select->GetRowCount(), 6);
    EXPECT_EQ(select->GetRowBox(4), rows[4]);
    EXPECT_EQ(select->GetRowIndex(rows[2]), 2);
    EXPECT_EQ(select->GetRowIndex(cells[2]), -1);
    EXPECT_EQ(select->FindRowByValue(u"v3"), 3);
    EXPECT_EQ(select->FindRowByValue(u"V3"), -1);
    oxRegisterSelectBoxKinds();
    oxBoxFactory factory;
    oxBox* made = factory.CreateBox(kAtomDatagrid, 0, kAtomDatagrid);
    ASSERT_NE(dynamic_cast<oxSelectBox*>(made), nullptr);
    EXPECT_EQ(made->GetBoxType(), kAtomSelect);
    made->Release();
}

TEST_F(SelectBoxTest, AClickSelectsTheRowMirrorsItsValueAndLabelAndFiresTwice) {
    Click(cells[2]);
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    EXPECT_EQ(Attr(kAtomCursorIndex), u"2");
    EXPECT_EQ(std::u16string(select->GetValue()), u"v2");
    EXPECT_EQ(std::u16string(select->GetLabel()), u"L2");
    EXPECT_EQ(std::u16string(cells[2]->GetAttributeText(kAtomItemSelected)), u"true");
    EXPECT_EQ(std::u16string(rows[2]->GetAttributeText(kAtomCurrent)), u"true");
    ASSERT_EQ(selects.size(), 2u);
    EXPECT_EQ(selects[0].index, 2);
    EXPECT_EQ(selects[0].old, -1);
    EXPECT_FALSE(selects[0].atList);
    EXPECT_TRUE(selects[1].atList);
    Click(cells[4]);
    EXPECT_EQ(Selected(), (std::vector<int>{4}));
    EXPECT_EQ(std::u16string(cells[2]->GetAttributeText(kAtomItemSelected)), u"false");
    EXPECT_EQ(std::u16string(rows[2]->GetAttributeText(kAtomCurrent)), u"false");
}

TEST_F(SelectBoxTest, ShiftExtendsControlTogglesAndAPressOnAMultipleSelectionWaitsForTheRelease) {
    select->SetSelectMode(kModeSelectMultiple);
    Click(cells[1]);
    Click(cells[3], 1, true);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3}));
    Click(cells[5], 1, false, true);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3, 5}));
    Mouse(kAtomMouseDown, cells[2]);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3, 5})) << "untouched while pressed";
    Mouse(kAtomMouseUp, cells[2]);
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
}

TEST_F(SelectBoxTest, WithSelectOnMouseUpNothingHappensOnPress) {
    select->SetAttribute(kAtomSelectOnMouseUp, u"TRUE", true, false);
    EXPECT_EQ(Attr(kAtomSelectOnMouseUp), u"true");
    Mouse(kAtomMouseDown, cells[3]);
    EXPECT_TRUE(Selected().empty());
    Mouse(kAtomMouseUp, cells[3]);
    EXPECT_EQ(Selected(), (std::vector<int>{3}));
}

TEST_F(SelectBoxTest, RightClicksFollowTheRightMouseMode) {
    select->SetSelectMode(kModeSelectMultiple);
    EXPECT_EQ(Attr(kAtomRightMouseMode), u"none");
    Click(cells[1], 2);
    EXPECT_TRUE(Selected().empty());
    select->SetAttribute(kAtomRightMouseMode, u"select", true, false);
    EXPECT_EQ(Attr(kAtomRightMouseMode), u"select");
    Click(cells[1], 2);
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    Click(cells[3], 1, true);
    Click(cells[2], 2); // a selected row: only the cursor moves
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(model()->GetCursor(), 2);
    select->SetAttribute(kAtomRightMouseMode, u"cursor", true, false);
    Click(cells[5], 2);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(model()->GetCursor(), 5);
    select->SetAttribute(kAtomRightMouseMode, u"other", true, false);
    EXPECT_EQ(Attr(kAtomRightMouseMode), u"cursor");
}

TEST_F(SelectBoxTest, ABlankClickClearsTheSelectionButKeepsTheCursorWhenAsked) {
    Click(cells[3]);
    Click(select);
    EXPECT_EQ(Selected(), (std::vector<int>{3}));
    select->SetAttribute(kAtomClearSelectionOnBlankClick, u"true", true, false);
    Click(select);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(model()->GetCursor(), 3);
}

TEST_F(SelectBoxTest, DisabledAndBlockRowsAreNeverSelected) {
    rows[1]->SetDisabled(true, false);
    Click(cells[1]);
    EXPECT_TRUE(Selected().empty());
    rows[4]->SetSelectableMode(kModeSelectableBlock);
    Click(cells[4]);
    EXPECT_TRUE(Selected().empty());
    EXPECT_FALSE(select->SetRowSelected(rows[4], true));
    EXPECT_FALSE(select->SetRowSelected(nullptr, true));
    select->SetAttribute(kAtomIgnoreMouseDown, u"true", true, false);
    Click(cells[0]);
    EXPECT_TRUE(Selected().empty());
}

TEST_F(SelectBoxTest, FocusPutsTheCursorOnTheFirstRowWithoutSelectingIt) {
    oxDOMEvent focus(kAtomFocus, select, nullptr);
    select->HandleEvent(&focus);
    EXPECT_EQ(model()->GetCursor(), 0);
    EXPECT_TRUE(Selected().empty());
}

TEST_F(SelectBoxTest, CursorIndexSelectedIndexAndValueMoveTheCursor) {
    select->SetSelectMode(kModeSelectMultiple);
    Click(cells[0]);
    select->SetAttribute(kAtomCursorIndex, u"3", true, false);
    EXPECT_EQ(Attr(kAtomCursorIndex), u"3");
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
    select->SetAttribute(kAtomSelectedIndex, u"4", true, false);
    EXPECT_EQ(Attr(kAtomSelectedIndex), u"4");
    EXPECT_EQ(Selected(), (std::vector<int>{4}));
    EXPECT_EQ(model()->GetCursor(), 4);
    select->SetValue(u"v2");
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
    select->SetAttribute(kAtomCursorIndex, u"x", true, false); // no number reads as 0
    EXPECT_EQ(Attr(kAtomCursorIndex), u"0");
    EXPECT_EQ(Selected(), (std::vector<int>{2}));
}

TEST_F(SelectBoxTest, TheSelectionFollowsRowsInsertedRemovedAndReordered) {
    select->SetSelectMode(kModeSelectMultiple);
    Click(cells[2]);
    Click(cells[3], 1, true);
    // A row above the selection: the selected rows are now 3 and 4.
    auto* added = new oxControlBox(kAtomControl);
    added->SetSelectableMode(kModeSelectableItem);
    select->InsertChildrenAt(0, reinterpret_cast<oxBox* const*>(&added), 1, nullptr, false);
    EXPECT_EQ(model()->GetFirstSelected(), 3);
    EXPECT_EQ(model()->GetSelectedCount(), 2);
    EXPECT_EQ(model()->GetCursor(), 4);
    // Inside the selection.
    auto* inside = new oxControlBox(kAtomControl);
    inside->SetSelectableMode(kModeSelectableItem);
    select->InsertChildrenAt(4, reinterpret_cast<oxBox* const*>(&inside), 1, nullptr, false);
    EXPECT_TRUE(model()->IsSelected(3));
    EXPECT_FALSE(model()->IsSelected(4));
    EXPECT_TRUE(model()->IsSelected(5));
    // Removed above, then the first selected row itself.
    oxBox* gone = select->RemoveChild(added, false);
    gone->Release();
    EXPECT_EQ(model()->GetFirstSelected(), 2);
    gone = select->RemoveChild(rows[2], false);
    gone->Release();
    EXPECT_EQ(model()->GetSelectedCount(), 1);
    EXPECT_EQ(model()->GetCursor(), 3);
    // Sorted: the cursor row moves to the top (the parent takes the reference back).
    oxBox* last = select->RemoveChild(rows[3], false);
    select->InsertChildrenAt(0, &last, 1, nullptr, false);
    EXPECT_EQ(model()->GetFirstSelected(), 0);
    EXPECT_EQ(model()->GetCursor(), 0);
    EXPECT_EQ(std::u16string(select->GetAttribute(kAtomSelectedIndex)), u"0");
}

TEST_F(SelectBoxTest, DeletingRowsTakesTheSelectedOnesOrAll) {
    select->SetSelectMode(kModeSelectMultiple);
    select->SelectAllRows();
    model()->Deselect(1);
    select->DeleteSelectedRows();
    EXPECT_EQ(select->GetRowCount(), 1);
    EXPECT_EQ(select->GetRowBox(0), rows[1]);
    select->DeleteAllRows();
    EXPECT_EQ(select->GetRowCount(), 0);
    EXPECT_EQ(model()->GetCursor(), -1);
}

} // namespace
