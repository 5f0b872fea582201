#include "toolkit/core/datagrid_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/placement_record.h"

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
}

oxLayout* oxDataGridLayout::CreateInstance() const {
    return new (std::nothrow) oxDataGridLayout;
}

oxBoundRows* oxDataGridLayout::Source() const {
    return oxFindBoundRows(oxFindChildByTag(owner_, kAtomRows));
}

oxBox* oxDataGridLayout::GetRowBox(int32_t row) {
    oxBoundRows* source = Source();
    oxBox* box = source && row >= 0 ? source->GetRowBox(row) : nullptr;
    return box;
}

oxGridRowRecord* oxDataGridLayout::GetRowRecord(int32_t row) {
    if (row < 0) return nullptr;
    if (row < int32_t(records_.size()) && records_[size_t(row)]) return records_[size_t(row)];
    auto* rec = new (std::nothrow) DataRowRecord;
    if (!rec) return nullptr;
    if (row >= int32_t(records_.size())) records_.resize(size_t(row) + 1, nullptr);
    oxBoundRows* source = Source();
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
    oxBoundRows* source = oxFindBoundRows(rows);
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
    if (oxBoundRows* source = Source()) return source->FindRowOfBox(row);
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

void oxDataGridLayout::RemoveRow(oxBox* box, oxBox* row) {
    if (!box || !row) return;
    owner_ = box;
    box->InvalidateSubtree(true, true);
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
    // The source knows the row's number; without one the made records are searched.
    int32_t index = -1;
    if (oxBoundRows* source = Source())
        index = source->FindRowOfBox(row);
    else
        FindRowRecord(row, &index);
    if (index < 0 || GetRowBox(index) != row) return;
    oxBox* candidate = RemoveRowAt(index, row, false);
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
    if (box->GetBoxType() == kAtomSelect && candidate) oxGetGridServices().SetSelection(box, candidate);
}

void oxDataGridLayout::RemoveSelectedRows(oxBox* box) {
    if (!box) return;
    owner_ = box;
    box->InvalidateSubtree(true, true);
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
    oxBox* candidate = nullptr;
    bool fromStart = false, any = false;
    // Only rows that were made can be selected; the walk goes over the records made so far.
    for (int32_t i = 0; i < int32_t(records_.size());) {
        oxGridRowRecord* rec = records_[size_t(i)];
        oxBox* row = rec ? rec->row : nullptr;
        if (!row || !(row->GetStateFlags() & kStateSelected)) {
            ++i;
            continue;
        }
        if (!any) {
            any = true;
            fromStart = i == 0;
            if (!fromStart) candidate = records_[size_t(i - 1)] ? records_[size_t(i - 1)]->row : nullptr;
        }
        const bool nested = HasNestedRows(row);
        const int32_t count = rowCount_;
        RemoveRowAt(i, row, true);
        rowCount_ = count; // the source counts the rows
        box->RequestRepaint();
        if (nested) {
            box->InvalidateUpToPopup();
            MeasureRows();
            i = 0;
        }
    }
    if (fromStart) candidate = !records_.empty() && records_[0] ? records_[0]->row : nullptr;
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
    if (box->GetBoxType() == kAtomSelect && candidate) oxGetGridServices().SetSelection(box, candidate);
}
