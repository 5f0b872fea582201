#pragma once
// oxListSelectionModel: the cursor row and the selected rows of one select box. Rows are known only
// by their 0-based index; what a row is, and every visible consequence of a change, goes through
// the owner's oxSelectRowSource. Ranges are kept in the order they were added, neither sorted nor
// merged: enumeration and scripts see that order.
#include <cstdint>
#include <vector>

#include "toolkit/binding/selection_model.h"

class oxBox;

// What the model asks of the select box that owns it.
class oxSelectRowSource {
public:
    virtual int GetRowCount() = 0;
    // Null when out of range.
    virtual oxBox* GetRowBox(int index) = 0;
    // Shows the row selected or not; false when the row refuses selection.
    virtual bool SetRowSelectedAt(int index, bool on) = 0;
    virtual void CursorChanged(int now, int old, int action) = 0;
    virtual void FireSelect(int now, int old, oxBox* row) = 0;
    // Every row box in index order, in one walk.
    virtual void CollectRows(std::vector<oxBox*>* rows) = 0;

protected:
    ~oxSelectRowSource() = default;
};

class oxListSelectionModel final : public oxSelectionModel {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;

    explicit oxListSelectionModel(oxSelectRowSource* source) : source_(source) {}
    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override;

    int GetCursor() override;
    oxBox* GetCursorRow() override;
    int GetFirstSelected() override;
    void SelectIndex(int index) override;
    int GetSelectedCount() override;
    bool IsSelected(int index) override;
    void MoveCursor(int index, int action, bool skipUnselectable) override;
    // A script value converted to a row; false for a negative one.
    bool MoveCursorToValue(const VARIANT& value, int action);
    void SelectOnly(int index);
    void Deselect(int index);
    // Adds the row (in single mode: only this row).
    void Add(int index);
    void SelectRange(int a, int b);
    void SelectAll(int last) override;
    void ClearSelection() override;
    void ResetCursor() { cursor_ = -1; }
    void BeginEnumeration();
    int NextSelected();
    bool ClearAll(bool updateRows) override;
    bool HasMultipleSelected() override;

    void MarkStale() { stale_ = true; }
    int GetAnchor() const { return anchor_; }
    void ForgetOwner() override { source_ = nullptr; }

    // oxSelectionModel, for scripts: the plain rows have no data.
    int GetSelectionIndex() override { return GetFirstSelected(); }
    void SetSelectionIndex(int row) override { SelectIndex(row); }
    void Select(int row) override { SelectOnly(row); }
    void UnselectRow(int row) override { Deselect(row); }
    void SelectRow(int row) override { Add(row); }
    int GetFirstSelectedRow() override;
    int GetNextSelectedRow() override { return NextSelected(); }
    bool GetFirstSelectedData(NUBO::XVariant*, void**) override { return false; }
    bool GetNextSelectedData(NUBO::XVariant*, void**) override { return false; }
    void* FindRowGroup(const VARIANT&) override { return nullptr; }
    bool SelectData(const VARIANT&, void*) override { return false; }
    bool UnselectData(const VARIANT&, void*) override { return false; }
    NUBO::XObject* GetRowGroupObject(void*) override { return nullptr; }
    // Plain rows carry no data: the cursor data is the cursor, and resetting it takes the cursor
    // off its row.
    void ResetCursorData() override;
    bool SetCursorData(const VARIANT&, void*) override { return false; }
    bool GetCursorData(NUBO::XVariant*, void**) override { return false; }

private:
    struct Range {
        int first;
        int last;
    };
    ~oxListSelectionModel() = default;
    int RowCount() { return source_ ? source_->GetRowCount() : 0; }
    int Clamp(int index);
    // Negative indexes and single mode, shared by adding and removing a row; false for the rest.
    bool HandledAsSingle(int index);
    bool IsUnselectable(int index);
    int FindSelectable(int target, int old);
    void AddRange(int first, int last);
    // Rebuilds the ranges and cursor from the rows when they changed.
    void Refresh();

    uint32_t refCount_ = 0;
    oxSelectRowSource* source_;
    int cursor_ = -1;
    int anchor_ = -1;
    bool stale_ = false;
    int enumPosition_ = -1;
    int enumRow_ = -1;
    std::vector<Range> ranges_;
    bool busy_ = false;
};
