#include "toolkit/binding/list_selection_model.h"

#include <algorithm>

#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scripthost/script_object_cache.h"

ULONG oxListSelectionModel::Release() {
    const ULONG n = --refCount_;
    if (n == 0) {
        refCount_ = kDeletingCount;
        if (scriptCache_) scriptCache_->ForgetSelectionObject(this);
        delete this;
    }
    return n;
}

void oxListSelectionModel::Refresh() {
    if (!stale_ || busy_) return;
    ClearAll(false);
    cursor_ = -1;
    std::vector<oxBox*> rows;
    if (source_) source_->CollectRows(&rows);
    const int n = int(rows.size());
    int start = -1;
    for (int i = 0; i < n; ++i) {
        oxBox* row = rows[size_t(i)];
        if (row->GetStateFlags() & kStateSelected) {
            if (start < 0) start = i;
        } else if (start >= 0) {
            AddRange(start, i - 1);
            start = -1;
        }
        const WCHAR* current = row->GetAttributeText(kAtomCurrent);
        if (current && current[0] == u't') cursor_ = i;
    }
    if (start >= 0) AddRange(start, n - 1);
    stale_ = false;
}

void oxListSelectionModel::AddRange(int first, int last) {
    ranges_.push_back({first, last});
}

int oxListSelectionModel::GetCursor() {
    Refresh();
    return cursor_;
}

oxBox* oxListSelectionModel::GetCursorRow() {
    Refresh();
    return source_ && cursor_ >= 0 ? source_->GetRowBox(cursor_) : nullptr;
}

int oxListSelectionModel::GetFirstSelected() {
    Refresh();
    return ranges_.empty() ? -1 : ranges_.front().first;
}

void oxListSelectionModel::SelectIndex(int index) {
    Refresh();
    if (IsSelected(index)) return;
    const int old = cursor_;
    SelectOnly(index);
    MoveCursor(index, kSelectOnly, false);
    if (source_) source_->FireSelect(index, old, GetCursorRow());
}

int oxListSelectionModel::GetSelectedCount() {
    Refresh();
    int count = 0;
    for (const Range& r : ranges_) count += r.last - r.first + 1;
    return count;
}

bool oxListSelectionModel::IsSelected(int index) {
    Refresh();
    return std::any_of(ranges_.begin(), ranges_.end(),
                       [index](const Range& r) { return r.first <= index && index <= r.last; });
}

int oxListSelectionModel::Clamp(int index) {
    const int n = RowCount();
    if (index >= 0) {
        if (!source_ || index < n) return index;
        return IsWrap() ? 0 : n - 1;
    }
    return IsWrap() && source_ ? n - 1 : 0;
}

bool oxListSelectionModel::IsUnselectable(int index) {
    oxBox* row = source_ ? source_->GetRowBox(index) : nullptr;
    if (!row) return false;
    return row->IsEffectivelyHidden() || row->IsCollapsed() || row->IsEffectivelyDisabled();
}

int oxListSelectionModel::FindSelectable(int target, int old) {
    const int count = RowCount();
    const bool wrap = IsWrap();
    bool forward;
    if (old == -1)
        forward = true;
    else if (old == count - 1 && target == 0)
        forward = true;
    else if (old == 0 && target == count - 1)
        forward = false;
    else
        forward = target > old;
    int n = target;
    for (;;) {
        if (!wrap && (forward ? n >= count - 1 : n < 1)) return old;
        if (forward)
            n = n + 1 > count - 1 && wrap ? 0 : n + 1;
        else
            n = n == 0 && wrap ? count - 1 : n - 1;
        n = Clamp(n);
        if (n == target) return target;
        if (n != cursor_ && (n != count - 1 || (wrap && cursor_ != -1))) {
            if (!IsUnselectable(n)) return n;
            continue;
        }
        // The search reached the cursor row or the last row.
        return IsUnselectable(n) ? target : n;
    }
}

void oxListSelectionModel::MoveCursor(int index, int action, bool skipUnselectable) {
    Refresh();
    busy_ = true;
    const int target = Clamp(index);
    const int old = cursor_;
    int n = target;
    if (action == kSelectOnly && skipUnselectable && IsUnselectable(n)) n = FindSelectable(target, old);
    const bool inPlace = n == old && action != kToggle && IsSelected(n) && n == anchor_ && !HasMultipleSelected();
    if (!inPlace) {
        switch (action) {
        case kSelectOnly:
            SelectOnly(n);
            anchor_ = n;
            break;
        case kToggle:
            if (IsSelected(n))
                Deselect(n);
            else
                Add(n);
            anchor_ = n;
            break;
        case kExtend:
            if (IsSingle()) {
                SelectOnly(n);
            } else if (anchor_ < 0) {
                SelectOnly(n);
                anchor_ = n;
            } else {
                SelectRange(anchor_, n);
            }
            break;
        case kAdd:
            if (!IsSelected(n)) Add(n);
            break;
        default:
            break;
        }
        cursor_ = n;
    }
    if (source_) source_->CursorChanged(n, old, action);
    stale_ = false;
    busy_ = false;
}

bool oxListSelectionModel::MoveCursorToValue(const VARIANT& value, int action) {
    Refresh();
    const int32_t index = NUBO::XVariant(value).ToInt32();
    if (index < 0) return false;
    MoveCursor(index, action, false);
    return true;
}

void oxListSelectionModel::SelectOnly(int index) {
    Refresh();
    if (index < 0) return;
    ClearAll(true);
    if (source_ && source_->SetRowSelectedAt(index, true)) AddRange(index, index);
}

bool oxListSelectionModel::HandledAsSingle(int index) {
    Refresh();
    if (index < 0) return true;
    if (!IsSingle()) return false;
    // One row at most is selected: toggling it keeps it, any other row takes its place.
    if (GetFirstSelected() != index) SelectOnly(index);
    return true;
}

void oxListSelectionModel::Deselect(int index) {
    if (HandledAsSingle(index)) return;
    auto it = std::find_if(ranges_.begin(), ranges_.end(),
                           [index](const Range& r) { return r.first <= index && index <= r.last; });
    if (it == ranges_.end()) return;
    const Range r = *it;
    if (source_) source_->SetRowSelectedAt(index, false);
    ranges_.erase(it);
    if (r.first == r.last) return;
    if (index == r.first) {
        AddRange(r.first + 1, r.last);
    } else if (index == r.last) {
        AddRange(r.first, r.last - 1);
    } else {
        AddRange(r.first, index - 1);
        AddRange(index + 1, r.last);
    }
}

void oxListSelectionModel::Add(int index) {
    if (HandledAsSingle(index)) return;
    if (source_ && source_->SetRowSelectedAt(index, true)) AddRange(index, index);
}

void oxListSelectionModel::SelectRange(int a, int b) {
    Refresh();
    if (a < 0 || b < 0) return;
    const int lo = std::min(a, b), hi = std::max(a, b);
    // Rows selected before and inside the span are neither cleared nor selected again: extending a
    // long selection by one row touches that row only.
    std::vector<Range> kept;
    kept.swap(ranges_);
    const auto wasSelected = [&kept](int i) {
        return std::any_of(kept.begin(), kept.end(), [i](const Range& r) { return r.first <= i && i <= r.last; });
    };
    const int old = cursor_;
    cursor_ = -1;
    if (!source_) return;
    source_->CursorChanged(-1, old, 1);
    for (const Range& r : kept)
        for (int i = r.first; i <= r.last; ++i)
            if (i < lo || i > hi) source_->SetRowSelectedAt(i, false);
    int start = lo;
    for (int i = lo; i <= hi; ++i) {
        if (wasSelected(i) || source_->SetRowSelectedAt(i, true)) continue;
        // A row that refuses closes the run.
        if (start <= i - 1) AddRange(start, i - 1);
        start = i + 1;
    }
    if (start <= hi) AddRange(start, hi);
}

void oxListSelectionModel::SelectAll(int last) {
    Refresh();
    if (last < 0 || IsSingle()) return;
    SelectRange(0, last);
}

void oxListSelectionModel::ClearSelection() {
    Refresh();
    if (ClearAll(true) && source_) source_->FireSelect(-1, -1, nullptr);
}

void oxListSelectionModel::BeginEnumeration() {
    Refresh();
    enumPosition_ = -1;
    enumRow_ = -1;
    if (!ranges_.empty()) {
        enumPosition_ = 0;
        enumRow_ = ranges_.front().first;
    }
}

int oxListSelectionModel::NextSelected() {
    Refresh();
    if (enumPosition_ < 0 || enumPosition_ >= int(ranges_.size())) return -1;
    const Range& r = ranges_[size_t(enumPosition_)];
    if (r.first < enumRow_ + 1 && enumRow_ + 1 <= r.last) return ++enumRow_;
    if (++enumPosition_ >= int(ranges_.size())) return -1;
    enumRow_ = ranges_[size_t(enumPosition_)].first;
    return enumRow_;
}

int oxListSelectionModel::GetFirstSelectedRow() {
    BeginEnumeration();
    return GetFirstSelected();
}

bool oxListSelectionModel::ClearAll(bool updateRows) {
    const bool any = !ranges_.empty();
    const int old = cursor_;
    cursor_ = -1;
    if (updateRows && source_) {
        source_->CursorChanged(-1, old, 1);
        // The list goes first: a row's refusal cannot add to it while it is walked.
        std::vector<Range> ranges;
        ranges.swap(ranges_);
        for (const Range& r : ranges)
            for (int i = r.first; i <= r.last; ++i) source_->SetRowSelectedAt(i, false);
    }
    ranges_.clear();
    return any;
}

bool oxListSelectionModel::HasMultipleSelected() {
    Refresh();
    return ranges_.size() > 1 || (ranges_.size() == 1 && ranges_.front().first != ranges_.front().last);
}

void oxListSelectionModel::ResetCursorData() {
    Refresh();
    const int old = cursor_;
    cursor_ = -1;
    if (source_ && old >= 0) source_->CursorChanged(-1, old, kCursorOnly);
}
