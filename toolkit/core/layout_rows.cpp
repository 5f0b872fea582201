// The row operations every layout shares: rows are the selectable "control" boxes below a box in
// tree order. The walk is iterative (no recursion however deep the tree) and does not enter "select"
// boxes, whose rows are their own.
#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/row_source.h"

namespace {

bool IsRow(const oxBox* b) {
    return b->GetBoxType() == kAtomControl && b->GetSelectableMode() == kModeSelectableItem;
}

// Calls `visit` for each row below `box` until it answers false.
template <class Visit> void ForEachRow(oxBox* box, Visit visit) {
    if (!box) return;
    for (oxBox* b = box->GetNextBox(box, false, false); b;) {
        if (IsRow(b) && !visit(b)) return;
        b = b->GetNextBox(box, b->GetBoxType() == kAtomSelect, false);
    }
}

void RemoveRows(oxBox* box, bool selectedOnly) {
    if (!box) return;
    std::vector<oxBox*> rows;
    // A row that goes takes its own rows with it: its subtree is not searched.
    for (oxBox* b = box->GetNextBox(box, false, false); b;) {
        bool take = IsRow(b) && (!selectedOnly || (b->GetStateFlags() & kStateSelected));
        if (take) rows.push_back(b);
        b = b->GetNextBox(box, take || b->GetBoxType() == kAtomSelect, false);
    }
    for (oxBox* row : rows) {
        oxBox* parent = row->GetParent();
        if (!parent || !parent->RemoveChild(row, false)) continue;
        if (oxBoxScene* scene = row->GetScene())
            scene->DestroyBox(row);
        else
            row->Release();
    }
}

} // namespace

int32_t oxLayout::FindSelectableIndex(oxBox* box, oxBox* row) {
    int32_t index = 0, found = -1;
    ForEachRow(box, [&](oxBox* b) {
        if (b == row) {
            found = index;
            return false;
        }
        ++index;
        return true;
    });
    return found;
}

oxBox* oxLayout::FindSelectableAt(oxBox* box, int32_t index) {
    oxBox* found = nullptr;
    if (index < 0) return nullptr;
    ForEachRow(box, [&](oxBox* b) {
        if (index-- == 0) {
            found = b;
            return false;
        }
        return true;
    });
    return found;
}

int32_t oxLayout::CountSelectable(oxBox* box) {
    int32_t count = 0;
    ForEachRow(box, [&](oxBox*) {
        ++count;
        return true;
    });
    return count;
}

void oxLayout::RemoveSelectedRows(oxBox* box) {
    RemoveRows(box, true);
}

void oxLayout::RemoveAllRows(oxBox* box) {
    RemoveRows(box, false);
}

void oxLayout::ScrollToRow(oxBox* box, int32_t row) {
    oxRowSource* rows = box ? oxFindRowSource(box) : nullptr;
    oxBox* target = rows && row >= 0 ? rows->GetRowBoxAt(row) : nullptr;
    if (target) box->ScrollToBox(target);
}
