#include "toolkit/core/datagrid_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/row_source.h"

namespace {

// A record whose height is its layout item's.
struct DataRowRecord final : oxGridRowRecord {
    int32_t GetHeight() const override { return item.height; }
    void SetHeight(int32_t h) override { item.height = h; }
};

} // namespace

oxDataGridLayout::oxDataGridLayout() : oxGridLayout(false) {
    extraRowsPastMax_ = 1;
    clearsLayoutRoots_ = false;
    removalKeepsCount_ = true;
}

oxLayout* oxDataGridLayout::CreateInstance() const {
    return new (std::nothrow) oxDataGridLayout;
}

oxRowSource* oxDataGridLayout::Source() const {
    return oxFindRowSource(oxFindChildByTag(owner_, kAtomRows));
}

oxBox* oxDataGridLayout::GetRowBox(int32_t row) {
    oxRowSource* source = Source();
    oxBox* box = source && row >= 0 ? source->GetRowBoxAt(row) : nullptr;
    return box;
}

oxGridRowRecord* oxDataGridLayout::GetRowRecord(int32_t row) {
    if (row < 0) return nullptr;
    if (row < int32_t(records_.size()) && records_[size_t(row)]) return records_[size_t(row)];
    auto* rec = new (std::nothrow) DataRowRecord;
    if (!rec) return nullptr;
    if (row >= int32_t(records_.size())) records_.resize(size_t(row) + 1, nullptr);
    oxRowSource* source = Source();
    rec->level = int16_t(std::clamp(source ? source->GetRowLevel(row) : 0, 0, 32767));
    rec->row = GetRowBox(row);
    for (oxBox* b = rec->row ? rec->row->GetParent() : nullptr; b; b = b->GetParent()) {
        if (b->GetTag() == kAtomRows) {
            rec->rows = b;
            break;
        }
    }
    records_[size_t(row)] = rec;
    return rec;
}

void oxDataGridLayout::RefillRowItem(oxBox* rows, int32_t index) {
    oxLayoutItemList list;
    oxGridFillRowAlignment(rows, &list);
    oxGridRowRecord* rec = index >= 0 && index < int32_t(records_.size()) ? records_[size_t(index)] : nullptr;
    if (!rec) return;
    oxBox* row = GetRowBox(index);
    if (row && FillLayoutItem(row, &rec->item, &list, false)) FillNewRecord(rec, rec->item);
    totalRowFlex_ = list.totalFlex;
}

void oxDataGridLayout::PrepareRow(oxGridRowRecord* rec, int32_t index) {
    if (!keepHeights_) RefillRowItem(rec->rows, index);
}

int32_t oxDataGridLayout::CountRows() {
    oxBox* rows = oxFindChildByTag(owner_, kAtomRows);
    oxRowSource* source = oxFindRowSource(rows);
    if (!rows || !source) return 0;
    if (owner_->TestChangeFlags(kChangeLayoutStale)) CountShownRows(rows, false);
    return std::max(0, source->CountRows());
}

void oxDataGridLayout::SetScrollY(int32_t row) {
    if (owner_) owner_->SetChangeFlag(kChangeLayoutStale, false);
    oxGridLayout::SetScrollY(row);
}

int32_t oxDataGridLayout::FindSelectableIndex(oxBox* box, oxBox* row) {
    if (!owner_) return oxLayout::FindSelectableIndex(box, row);
    if (oxRowSource* source = Source()) return source->FindRowOfBox(row, true);
    return oxGridLayout::FindSelectableIndex(box, row);
}

void oxDataGridLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    oxGridLayout::Layout(placement, box);
    if (!box || !placement) return;
    if (oxBox* bar = box->FindVScrollBar()) {
        WCHAR text[16];
        swprintf(text, 16, u"%d", rowsPerPage_);
        bar->SetAttribute(kAtomPageNumRows, text, true, false);
        if (rowCount_ == 0) bar->SetAttribute(kAtomValue, u"0", true, false);
    }
    collapsingBefore_ = false;
}

oxBox* oxDataGridLayout::HitTest(const oxPoint& point, oxBox* box) {
    return box ? HitTestRows(point, box) : nullptr;
}

oxBox* oxDataGridLayout::ClearLayoutRoot(oxBox* box) {
    if (box) box->SetChangeFlag(kChangeLayoutRoot, false);
    return box;
}

// Mended: the rows a binding made are its own and change through its data; the datagrid takes out
// only rows that no binding holds (a binding's boxes destroyed under it would be left in its hands).
int32_t oxDataGridLayout::FindRowToRemove(oxBox* row) {
    if (Source()) return -1;
    int32_t index = -1;
    FindRowRecord(row, &index);
    return index;
}

oxBox* oxDataGridLayout::GetRemovableRow(int32_t index) {
    if (Source()) return nullptr;
    // Only rows that were made can be selected: the walk goes over the records made so far.
    oxGridRowRecord* rec = index >= 0 && index < int32_t(records_.size()) ? records_[size_t(index)] : nullptr;
    return rec ? rec->row : nullptr;
}

void oxDataGridLayout::FinishSelectedRemoval(oxBox* box) {
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
}
