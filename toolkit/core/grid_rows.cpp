// The grid's row services beside the pass: scrolling by whole rows, bringing a row into view,
// removing rows, walking the row tree, opening and closing nested rows (animated through the grid
// services when they can), snapshot items for transitions, and sorting by a column.
#include <algorithm>
#include <new>
#include <unordered_map>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/grid_layout.h"
#include "toolkit/core/grid_row_listener.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/color_transform.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

void SetDecimal(oxBox* box, oxAtom atom, int32_t value) {
    if (!box) return;
    WCHAR text[16];
    swprintf(text, 16, u"%d", value);
    box->SetAttribute(atom, text, true, false);
}

void Dispose(oxBox* row) {
    if (oxBoxScene* scene = row->GetScene())
        scene->DestroyBox(row);
    else
        row->Release();
}

// The "control" box of a cell: the cell itself or its first control descendant.
oxBox* FindControl(oxBox* cell) {
    for (oxBox* b = cell; b; b = b->GetNextBox(cell, false, false))
        if (b->GetBoxType() == kAtomControl) return b;
    return nullptr;
}

bool IsSelect(const oxBox* box) {
    return box && box->GetBoxType() == kAtomSelect;
}

} // namespace

void oxGridRowListener::OnAttributeChanged(oxBox* box, oxAtom attribute) {
    if (layout_ && box && attribute == kAtomExpanded) layout_->ApplyRowToggle(box);
}

int32_t oxGridLayout::RowDistance(int32_t from, int32_t to) {
    int64_t sum = 0;
    // Only the records made so far: a row not made yet counts its fixed height.
    for (int32_t i = std::max(0, std::min(from, to)); i < std::max(from, to); ++i) {
        oxGridRowRecord* rec = i < int32_t(records_.size()) ? records_[size_t(i)] : nullptr;
        sum += rec ? int64_t(rec->GetHeight()) + rec->topGap + rec->bottomGap : fixedRowHeight_;
    }
    return oxLengthSum(sum);
}

void oxGridLayout::SetScrollY(int32_t row) {
    if (!owner_ || row == firstVisibleRow_) return;
    const int32_t old = firstVisibleRow_;
    rowScrollDirection_ = row < requestedFirstRow_ ? 2 : 1;
    requestedFirstRow_ = row;
    firstVisibleRow_ = ClampFirstRow(row);
    if (owner_->IsOverflowScroll() && fixedHeight_) firstVisibleRow_ = std::min(firstVisibleRow_, largestFirstRow_);
    const bool changed = firstVisibleRow_ != old;
    if (changed) SetDecimal(owner_, kAtomScrollRowChanged, firstVisibleRow_);
    const int32_t page = rowsPerPage_;
    const int32_t distance = changed ? RowDistance(old, firstVisibleRow_) : 0;
    // Differs on purpose: the rows of the new page are placed by a pass over that page rather than
    // by moving the rows that stay; the rectangles are the same and the pass costs one page.
    if (changed || owner_->TestChangeFlags(kChangeLayoutQueued | kChangeLayoutStale)) {
        ClearValidity();
        ArrangeInLastPlacement(owner_);
    }
    if (changed) owner_->ScrollPaintedContent({0, firstVisibleRow_ > old ? -distance : distance});
    if (rowsPerPage_ != page) SetDecimal(owner_->FindVScrollBar(), kAtomPageNumRows, rowsPerPage_);
    rowScrollDirection_ = 0;
}

void oxGridLayout::SetScrollbarRow(int32_t row) {
    oxBox* bar = owner_ ? owner_->FindVScrollBar() : nullptr;
    if (bar) SetDecimal(bar, kAtomValue, std::min(row, largestFirstRow_));
}

void oxGridLayout::EnsureRowVisible(int32_t row) {
    if (!owner_ || !fixedHeight_ || row < 0 || row >= rowCount_ || rowsPerPage_ < 1) return;
    int32_t first = firstVisibleRow_;
    if (row < first) {
        first = row;
    } else if (first + rowsPerPage_ < row + 1) {
        // The rows that fit when stacked upwards from this one.
        int32_t n = 0, height = 0;
        PlaceRows(row, -1, &n, &height, kMeasureOnly, headerHeight_);
        first = std::max(0, row - n + 1);
    }
    if (first == firstVisibleRow_) return;
    owner_->RequestRepaint();
    SetScrollbarRow(first);
}

// -- removing rows ---------------------------------------------------------------------------------

void oxGridLayout::RemoveRecordAt(int32_t index) {
    if (index < 0 || index >= int32_t(records_.size())) return;
    delete records_[size_t(index)];
    records_.erase(records_.begin() + index);
}

oxBox* oxGridLayout::RemoveRowAt(int32_t index, oxBox* rowBox, bool sortEntryAtIndex) {
    oxGridRowRecord* rec = GetRowRecord(index);
    oxBox* candidate = nullptr;
    if (rowBox->GetModeFlags() & kModeBit14) {
        if (sortList_.empty())
            candidate = index > 0 ? GetRowBox(index - 1) : (rec && rec->rows ? GetNextRow(rowBox, true) : nullptr);
        else if (rec && rec->rows)
            candidate = GetRowBox(1);
    }
    RemoveRecordAt(index);
    if (!sortList_.empty()) {
        auto at =
            sortEntryAtIndex && index < int32_t(sortList_.size())
                ? sortList_.begin() + index
                : std::find_if(sortList_.begin(), sortList_.end(), [&](const SortEntry& e) { return e.row == rowBox; });
        if (at != sortList_.end()) sortList_.erase(at);
    }
    if (rowCount_ > 0) --rowCount_;
    if (oxBox* parent = rowBox->GetParent(); parent && parent->RemoveChild(rowBox, false)) Dispose(rowBox);
    return candidate == rowBox ? nullptr : candidate;
}

int32_t oxGridLayout::FindRowToRemove(oxBox* row) {
    int32_t index = -1;
    if (!sortList_.empty()) {
        FindRowRecord(row, &index);
        return index;
    }
    for (int32_t i = 0; i < int32_t(records_.size()); ++i)
        if (GetRowBox(i) == row) return i;
    return -1;
}

oxBox* oxGridLayout::GetRemovableRow(int32_t index) {
    return GetRowBox(index);
}

void oxGridLayout::FinishSelectedRemoval(oxBox* box) {
    box->SetChangeFlag(kChangeLayoutStale, false);
}

void oxGridLayout::BeginRemoval(oxBox* box) {
    owner_ = box;
    box->InvalidateSubtree(true, true);
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
}

void oxGridLayout::RemoveRow(oxBox* box, oxBox* row) {
    if (!box || !row) return;
    BeginRemoval(box);
    const int32_t index = FindRowToRemove(row);
    if (index < 0) return;
    oxBox* candidate = RemoveRowAt(index, row, false);
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
    if (IsSelect(box) && candidate) oxGetGridServices().SetSelection(box, candidate);
}

void oxGridLayout::RemoveSelectedRows(oxBox* box) {
    if (!box) return;
    BeginRemoval(box);
    oxBox* candidate = nullptr;
    bool fromStart = false, any = false;
    for (int32_t i = 0; i < int32_t(records_.size());) {
        oxBox* row = GetRemovableRow(i);
        if (!row || !(row->GetStateFlags() & kStateSelected)) {
            ++i;
            continue;
        }
        if (!any) {
            any = true;
            fromStart = i == 0;
            if (!fromStart) candidate = GetRemovableRow(i - 1);
        }
        const bool nested = HasNestedRows(row);
        const int32_t count = rowCount_;
        RemoveRowAt(i, row, true);
        if (removalKeepsCount_) rowCount_ = count;
        box->RequestRepaint();
        if (nested) {
            // The nested rows went with it: the records are built afresh and the walk restarts.
            box->InvalidateUpToPopup();
            MeasureRows();
            i = 0;
        }
    }
    if (fromStart) candidate = GetRemovableRow(0);
    FinishSelectedRemoval(box);
    if (IsSelect(box) && candidate) oxGetGridServices().SetSelection(box, candidate);
}

void oxGridLayout::RemoveAllRows(oxBox* box) {
    if (!box) return;
    owner_ = box;
    box->InvalidateSubtree(true, true);
    if (oxBox* rows = oxFindChildByTag(box, kAtomRows)) rows->DestroyChildren();
    DestroyRecords();
    sortList_.clear();
    rowCount_ = 0;
    if (box->TestChangeFlags(kChangeLayoutStale)) MeasureRows();
}

// -- the row tree ----------------------------------------------------------------------------------

oxBox* oxGridLayout::GetFirstRow() {
    oxBox* rows = oxFindChildByTag(owner_, kAtomRows);
    return rows ? rows->GetFirstChild(false) : nullptr;
}

oxBox* oxGridLayout::GetNextRow(oxBox* row, bool skipNested) {
    if (!row || !owner_) return nullptr;
    oxBox* top = oxFindChildByTag(owner_, kAtomRows);
    oxBox* nested = oxFindChildByTag(row, kAtomRows);
    if (!skipNested && nested && nested->GetChildCount() > 0) return nested->GetChildAt(0, false);
    for (oxBox* b = row; b;) {
        oxBox* parent = b->GetParent();
        if (!parent) return nullptr;
        if (b->GetIndex() + 1 < parent->GetChildCount()) return parent->GetChildAt(b->GetIndex() + 1, false);
        if (parent == top) return nullptr;
        b = parent->GetParent(); // the row that holds these nested rows
    }
    return nullptr;
}

int32_t oxGridLayout::GetRowLevel(int32_t row) {
    oxGridRowRecord* rec = GetRowRecord(row);
    return rec ? rec->level : -1;
}

bool oxGridLayout::HasNestedRows(oxBox* row) const {
    return oxFindChildByTag(row, kAtomRows) != nullptr;
}

bool oxGridLayout::IsRowExpanded(oxBox* row) const {
    oxBox* nested = oxFindChildByTag(row, kAtomRows);
    return nested && !nested->IsCollapsed();
}

void oxGridLayout::GetRowSiblingInfo(int32_t row, int32_t* before, int32_t* siblings, int32_t* nested) {
    oxGridRowRecord* rec = GetRowRecord(row);
    oxBox* rowBox = GetRowBox(row);
    if (!rec || !rowBox || !rec->rows || rec->rows->GetTag() != kAtomRows) return;
    int32_t shown = 0, ahead = 0;
    for (int i = 0, n = rec->rows->GetChildCount(); i < n; ++i) {
        oxBox* b = rec->rows->GetChildAt(i, false);
        if (b->IsCollapsed()) continue;
        if (i < rowBox->GetIndex()) ++ahead;
        ++shown;
    }
    if (siblings) *siblings = shown;
    if (before) *before = ahead;
    if (nested) {
        int32_t count = 0;
        if (oxBox* inner = oxFindChildByTag(rowBox, kAtomRows))
            for (int i = 0, n = inner->GetChildCount(); i < n; ++i)
                if (!inner->GetChildAt(i, false)->IsCollapsed()) ++count;
        *nested = count;
    }
}

// -- opening and closing nested rows ---------------------------------------------------------------

void oxGridLayout::ToggleRowControl(oxBox* row) {
    oxBox* cell = row ? row->GetChildAt(firstVisibleColumn_, false) : nullptr;
    if (oxBox* control = cell ? FindControl(cell) : nullptr) oxGetGridServices().RaiseCommand(control);
}

void oxGridLayout::ExpandRow(oxBox* row, bool animate, bool keepSelection) {
    if (!row) return;
    oxBox* nested = oxFindChildByTag(row, kAtomRows);
    oxBox* cell = row->GetChildAt(firstVisibleColumn_, false);
    oxBox* control = cell ? FindControl(cell) : nullptr;
    oxGridServices& services = oxGetGridServices();
    if (nested && control && nested->IsCollapsed()) {
        animateRowToggles_ = animate;
        services.RaiseCommand(control);
        animateRowToggles_ = true;
    } else if (!keepSelection && owner_) {
        services.SelectIndex(owner_, services.GetCurrentIndex(owner_) + 1);
    }
}

void oxGridLayout::CollapseRow(oxBox* row, bool animate, bool keepSelection) {
    if (!row) return;
    oxBox* nested = oxFindChildByTag(row, kAtomRows);
    oxBox* cell = row->GetChildAt(firstVisibleColumn_, false);
    oxBox* control = cell ? FindControl(cell) : nullptr;
    oxGridServices& services = oxGetGridServices();
    if (nested && control && !nested->IsCollapsed()) {
        animateRowToggles_ = animate;
        services.RaiseCommand(control);
        animateRowToggles_ = true;
        return;
    }
    if (keepSelection || !owner_) return;
    int32_t index = -1;
    oxGridRowRecord* rec = FindRowRecord(row, &index);
    oxBox* holder = rec && rec->rows ? rec->rows->GetParent() : nullptr;
    if (holder && holder != owner_ && oxFindChildByTag(holder, kAtomRows) == rec->rows)
        services.SelectIndex(owner_, FindSelectableIndex(owner_, holder));
}

int32_t oxRowTransitionBackground(oxBox* grid) {
    oxStyleValue fill;
    grid->GetStyleValue(kStyle_fill, &fill);
    if (fill.GetType() != kStyleColor) return -1;
    // Shown where no row stands, so it looks as the painted fill does: through the box's colours.
    uint32_t colour = uint32_t(fill.GetValue());
    oxBoxStyle* style = grid->GetStyle();
    oxColorGroup* group = style ? style->GetColorGroup() : nullptr;
    if (group && group->IsActive()) {
        oxBoxScene* scene = grid->GetScene();
        oxColorTransform transform(scene ? scene->GetStyleLibrary() : nullptr, group->Member(kStyle_colorAdd));
        colour = transform.TransformPixel(colour);
    }
    return int32_t(colour);
}

// The change a row's cell asked for, applied between the two pictures of a transition.
class GridRowToggle final : public oxRowToggle {
public:
    GridRowToggle(oxGridLayout* layout, oxBox* nested, bool expand)
        : layout_(layout), nested_(nested), expand_(expand) {}
    void Apply() override {
        oxBox* grid = layout_->owner_;
        if (!expand_ && layout_->listener_ && layout_->listener_->IsEnabled() && IsSelect(grid))
            oxGetGridServices().MoveSelectionOutOf(grid, nested_);
        nested_->SetCollapsed(!expand_, true);
        grid->InvalidateUpToPopup();
        grid->RequestLayout();
    }
    void CollectItems(oxSnapshotItemList* items) override {
        oxBox* grid = layout_->owner_;
        if (grid->TestChangeFlags(kChangeLayoutStale)) ArrangeInLastPlacement(grid);
        layout_->CollectSnapshotItems(items);
    }

private:
    oxGridLayout* layout_;
    oxBox* nested_;
    bool expand_;
};

void oxGridLayout::ApplyRowToggle(oxBox* cell) {
    oxBox* row = cell->GetParent();
    if (!row || !owner_) return;
    oxBox* nested = oxFindChildByTag(row, kAtomRows);
    if (!nested || nested == cell) return;
    const bool expand = (cell->GetStateFlags() & kStateExpanded) != 0;
    if (nested->IsCollapsed() != expand) return;
    GridRowToggle toggle(this, nested, expand);
    oxGridServices& services = oxGetGridServices();
    const bool animate = animateRowToggles_ && !owner_->IsCollapsed() && !owner_->IsEffectivelyHidden() &&
                         !(owner_->GetStateFlags() & kStateExcluded) &&
                         (!IsSelect(owner_) || services.AnimatesRows(owner_));
    if (animate) {
        if (services.AnimateRowToggle(owner_, toggle, u"rectSorter", 250, u"smoothSpline",
                                      oxRowTransitionBackground(owner_)))
            return;
    }
    toggle.Apply();
}

void oxGridLayout::CollectSnapshotItems(oxSnapshotItemList* items) {
    if (!owner_ || !items) return;
    if (header_) items->push_back({oxRect{area_.x, area_.y, area_.width, headerHeight_}, 1, header_});
    const oxRect vbar = owner_->GetVScrollBarRect(), hbar = owner_->GetHScrollBarRect();
    if (vbar.width || vbar.height) items->push_back({vbar, 1, owner_->FindVScrollBar()});
    if (hbar.width || hbar.height) items->push_back({hbar, 1, owner_->FindHScrollBar()});
    const int64_t scroll = overflowY_ ? pixelScrollY_ : 0;
    const int64_t bandTop = scroll - headerHeight_;
    const int64_t bandEnd = scroll + area_.height;
    const int32_t width = std::max(0, area_.width - vbar.width);
    const int32_t headerBottom = area_.y + headerHeight_;
    int64_t mean = 0;
    int32_t firstTop = 0, last = firstVisibleRow_ - 1;
    bool any = false;
    for (int32_t i = firstVisibleRow_; i < rowCount_; ++i) {
        oxGridRowRecord* rec = GetRowRecord(i);
        oxBox* row = GetRowBox(i);
        if (!rec || !row || row->IsCollapsed()) continue;
        const int64_t extent = int64_t(rec->GetHeight()) + rec->topGap + rec->bottomGap;
        const int64_t bottom = rec->y + extent;
        if (bottom <= bandTop) continue;
        int64_t top = rec->y - scroll + area_.y, height = extent;
        if (top < headerBottom) {
            height -= headerBottom - top;
            top = headerBottom;
        }
        items->push_back({oxRect{area_.x, oxLengthSum(top), width, oxLengthSum(std::max<int64_t>(0, height))}, 0, row});
        mean = any ? (extent + mean) / 2 : extent;
        if (!any) firstTop = oxLengthSum(top);
        any = true;
        last = i;
        if (bottom - scroll > bandEnd - scroll) break;
    }
    if (!overflowY_ || !any || mean <= 0) return;
    // Rows out of view slide in from above and below, at the mean height.
    const int32_t reach = OffViewRowLimit(mean);
    for (int32_t i = firstVisibleRow_ - 2; i >= 0 && firstVisibleRow_ - 2 - i < reach; --i) {
        oxBox* row = GetRowBox(i);
        const int64_t top = firstTop - mean * (firstVisibleRow_ - i);
        if (row) items->push_back({oxRect{area_.x, oxLengthSum(top), width, oxLengthSum(mean)}, 0, row});
    }
    int64_t top = area_.y + area_.height;
    for (int32_t i = last + 1; i < rowCount_ && i - last <= reach; ++i, top += mean) {
        if (oxBox* row = GetRowBox(i))
            items->push_back({oxRect{area_.x, oxLengthSum(top), width, oxLengthSum(mean)}, 0, row});
    }
}

// -- sorting ---------------------------------------------------------------------------------------

void oxGridLayout::SetSortColumn(int32_t column) {
    if (column == sortColumn_) return;
    sortColumn_ = column;
    if (owner_) owner_->InvalidateSubtree(true, true);
    if (column == 0 && !sortList_.empty()) {
        sortList_.clear();
        // The records were in sorted order: they are built again in the rows' own order.
        if (owner_) owner_->InvalidateUpToPopup();
    }
}

void oxGridLayout::SortRows(int32_t direction) {
    if (!sortColumn_ || !owner_) return;
    sortDirection_ = direction;
    owner_->InvalidateSubtree(true, true);
    oxGridServices& services = oxGetGridServices();
    oxBox* selection = services.GetSelection(owner_);
    sortList_.clear();
    for (int32_t i = 0; i < int32_t(records_.size()); ++i) {
        oxBox* row = GetRecordRowBox(i);
        if (!row) continue;
        oxBox* cell = row->GetChildAt(sortColumn_ - 1, false);
        const WCHAR* text = nullptr;
        if (cell && (cell->GetBoxType() == kAtomControl || cell->GetBoxType() == kAtomText))
            text = services.GetValueText(cell);
        sortList_.push_back(SortEntry{NUBO::TBstr(text ? text : u""), row});
    }
    // Differs on purpose: a stable sort, so that rows with equal keys keep their order in either
    // direction (a gapped insertion sort does not).
    std::stable_sort(sortList_.begin(), sortList_.end(), [&](const SortEntry& a, const SortEntry& b) {
        const int c = a.key.Compare(b.key.GetString());
        return direction == 1 ? c < 0 : c > 0;
    });
    // Mended: the records follow the sorted order, so that a row's record and its sorted position
    // agree when the rows are placed.
    if (sortList_.size() == records_.size()) {
        std::unordered_map<oxBox*, oxGridRowRecord*> byRow;
        for (oxGridRowRecord* rec : records_)
            if (rec) byRow[rec->row] = rec;
        for (size_t i = 0; i < sortList_.size(); ++i)
            records_[i] = byRow[sortList_[i].row];
    }
    services.SetSelection(owner_, selection);
}
