#pragma once
// oxSelectBox: a control whose descendant rows (boxes of selectable mode "item") form a list, list
// box or, with a grid layout, a table. It owns the cursor and selection (its oxListSelectionModel,
// or the data selection model of the collection binding that makes its rows), turns clicks, focus
// and the built-in cursor commands into cursor moves, mirrors the cursor row's value and label into
// itself, and raises "select" events. The datagrid box is the same class: a grid layout chosen by
// style makes the grid.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/list_selection_model.h"
#include "toolkit/widgets/control_box.h"

class oxSelectBox : public oxControlBox, public oxSelectRowSource, public oxSelectionOwner {
public:
    explicit oxSelectBox(oxAtom tag);
    ~oxSelectBox() override;

    oxAtom GetBoxType() const override { return kAtomSelect; }
    void OnSceneAttached() override;
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) override;
    void SetSelectMode(uint32_t value) override;
    void SetCursorMode(uint32_t value) override;
    void SetChangeFlag(uint32_t mask, bool on) override;
    void SetValue(const WCHAR* text) override;
    int32_t HandleEvent(oxEvent* event) override;

    // Null when the model could not be made.
    oxSelectionModel* GetSelectionModel() const override { return model_; }
    // Takes a reference to the model; the one it replaces is left without rows.
    void SetSelectionModel(oxSelectionModel* model) override;
    // The rows changed behind the model's back: a list model reads them again before it answers.
    void MarkModelStale();
    oxBox* GetSelectedBox();
    void SelectRowBox(oxBox* row) { MoveCursorToBox(row, 1); }
    oxBox* GetCursorBox() { return model_ ? model_->GetCursorRow() : nullptr; }
    void MoveCursorToBox(oxBox* row, int action);
    // Rows of a datagrid open and close through its layout; other layouts have no nested rows.
    void ExpandRow(int row, bool animate, bool keepSelection);
    void ContractRow(int row, bool animate, bool keepSelection);
    void ToggleRow(int row);
    // Scrolls the row to the top of the box, as far as the scroll range goes.
    void ScrollToRow(int32_t index) override;
    // The sort column of a grid layout (0 for other layouts) and the sort by it.
    int32_t GetSortColumn();
    void SetSortColumn(int32_t column);
    void SortByValue(bool animate, bool ascending);
    // The rows below a nested rows box that closes lose their marks; the cursor among them moves
    // to the row that holds them.
    void MoveSelectionOutOf(oxBox* rows);
    bool AnimatesRows() const { return enableTransitions_ != 0; }
    int GetFirstVisibleRowIndex();
    int GetLastVisibleRowIndex();
    int GetRowIndex(oxBox* row);
    // The index of the first row whose control value is `text`, counting the controls before it.
    int FindRowByValue(const WCHAR* text);
    int CountRowsIn(oxBox* box);

    // oxSelectRowSource, and (CursorChanged) oxSelectionOwner.
    int GetRowCount() override;
    oxBox* GetRowBox(int index) override;
    bool SetRowSelectedAt(int index, bool on) override { return SetRowSelected(GetRowBox(index), on); }
    void CursorChanged(int now, int old, int action) override;
    void FireSelect(int now, int old, oxBox* row) override;
    void CollectRows(std::vector<oxBox*>* rows) override;

    // False for a null row or a "block" row.
    bool SetRowSelected(oxBox* row, bool on);
    void SetRowCurrent(oxBox* row, bool on);
    void DeleteRow(oxBox* row);
    void DeleteSelectedRows();
    void DeleteAllRows();
    void SelectAllRows();

    // oxSelectionOwner: a repeater's rows under this box show their selection here.
    void MarkRowSelected(oxBox* row, bool selected) override { SetRowSelected(row, selected); }
    void MarkRowCurrent(oxBox* row, bool current) override { SetRowCurrent(row, current); }

private:
    // The row under a mouse event's target and the action its modifiers ask for; null when none.
    oxBox* FindClickedRow(oxEvent* event, int* action, bool* block);
    void OnMouseDown(oxEvent* event);
    void OnMouseUp(oxEvent* event);
    // A right click by `rightMouseMode`; a left click moves the cursor with the action.
    void ApplyClick(int index, int action, bool block, int button, bool skip);
    bool IsFocusedBox() const { return (GetStateFlags() & kStateFocused) != 0; }
    // Marks the rows, scrolls to the cursor row and, for an action, takes its value and fires.
    void ShowCursorChange(int now, int old, int action);
    // The first and last row at least partly in view; -1 when none.
    void FindVisibleRows(int* first, int* last);
    // The rows in index order, walked again after children came or went.
    const std::vector<oxBox*>& Rows();

    oxSelectionModel* model_ = nullptr; // one reference
    uint8_t selectOnMouseUp_ = 0;
    uint8_t enableTransitions_ = 1;
    std::vector<oxBox*> rows_;
    // Row box -> index, made on the first lookup after the rows were walked.
    std::unordered_map<const oxBox*, int> rowIndexes_;
    bool rowsValid_ = false;
};

// Makes the box factory build select boxes for the `select` and `datagrid` kinds.
void oxRegisterSelectBoxKinds();
