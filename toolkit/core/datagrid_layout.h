#pragma once
// oxDataGridLayout: the grid layout of datagrid boxes, whose rows come from the row source that a
// data binding registers for the "rows" box. Row boxes and their records are made when a pass first
// needs them, so a pass over a list of any length touches only the rows it shows. The rows are
// never sorted, and closing a row does not ask a select box to move its selection first.
#include <algorithm>

#include "toolkit/core/grid_layout.h"

class oxRowSource;

class oxDataGridLayout : public oxGridLayout {
public:
    oxDataGridLayout();

    oxAtom GetLayoutType() const override { return kAtomDatagrid; }
    oxLayout* CreateInstance() const override;
    void SetScrollY(int32_t row) override;
    int32_t FindSelectableIndex(oxBox* box, oxBox* row) override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    // Clears the box's layout-root flag and answers the box.
    oxBox* ClearLayoutRoot(oxBox* box);

    oxBox* GetRecordRowBox(int32_t row) override { return GetRowBox(row); }
    oxBox* GetRowBox(int32_t row) override;
    // The record of a row, made now when missing; null for a negative row.
    oxGridRowRecord* GetRowRecord(int32_t row) override;
    int32_t CountRows() override;
    // The records made so far (the array grows to the highest row asked for).
    int32_t GetRecordCapacity() const { return int32_t(records_.size()); }

protected:
    // Gives the grid's items, where a datagrid gave none (its row toggles then showed the old picture
    // for the run and jumped); out of view only as many rows as fit the view again, since every row
    // asked for is a row box made and the list may be long.
    int32_t OffViewRowLimit(int64_t mean) const override {
        return mean > 0 ? int32_t(std::min<int64_t>(area_.height / mean + 2, rowCount_)) : 0;
    }
    void BuildRowRecords(oxBox* rows, int32_t* count, int32_t level) override { (void)rows, (void)count, (void)level; }
    void RefillRowItem(oxBox* rows, int32_t index) override;
    void PrepareRow(oxGridRowRecord* rec, int32_t index) override;
    int32_t FindRowToRemove(oxBox* row) override;
    oxBox* GetRemovableRow(int32_t index) override;
    void FinishSelectedRemoval(oxBox* box) override;

private:
    oxRowSource* Source() const;
};
