#include "toolkit/core/z_order_list.h"

#include "toolkit/core/box.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

// The current record's value, not resolved afresh: boxes enter the list from inside their own style
// reactions.
int32_t ZIndexOf(oxBox* box) {
    oxBoxStyle* record = box->GetStyleRecord();
    if (!record) return 0;
    oxStyleValue z;
    record->GetProperty(&z, kStyle_zIndex);
    return z.GetInt();
}

} // namespace

int32_t oxZOrderList::IndexOf(const oxBox* child) const {
    for (size_t i = 0; i < children_.size(); ++i)
        if (children_[i] == child) return int32_t(i);
    return -1;
}

bool oxZOrderList::Insert(oxBox* child) {
    if (!child) return true;
    ++busy_;
    const int32_t z = ZIndexOf(child);
    const bool negative = z < 0;
    size_t at = children_.size();
    for (size_t i = 0; i < children_.size(); ++i) {
        if (ZIndexOf(children_[i]) > z) {
            at = i;
            break;
        }
    }
    const bool inserted = children_.InsertN(at, 1, child) != 0;
    if (inserted) {
        if (boundary_ != -1 && negative)
            ++boundary_;
        else if (boundary_ == -1 && !negative)
            boundary_ = int32_t(at);
    }
    --busy_;
    return inserted;
}

void oxZOrderList::Remove(oxBox* child) {
    const int32_t i = IndexOf(child);
    if (i < 0) return;
    const bool last = size_t(i) + 1 == children_.size();
    children_.Erase(size_t(i));
    if (i == boundary_ && last)
        boundary_ = -1;
    else if (i < boundary_)
        --boundary_;
}

int32_t oxZOrderList::CountShown() const {
    constexpr uint32_t kNotShown = kStateHidden | kStateCollapsed | kStateHiddenByAncestor | kStateExcluded;
    int32_t n = 0;
    for (size_t i = 0; i < children_.size(); ++i)
        if (children_[i] && !(children_[i]->GetStateFlags() & kNotShown)) ++n;
    return n;
}

oxBox* oxZOrderList::At(int32_t index) const {
    return index >= 0 && size_t(index) < children_.size() ? children_[size_t(index)] : nullptr;
}
