#include "toolkit/core/deck_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/placement_record.h"

oxLayout* oxDeckLayout::CreateInstance() const {
    return new (std::nothrow) oxDeckLayout;
}

int32_t oxDeckLayout::GetCurrentIndex(oxBox* box) const {
    if (!box || box->GetBoxType() != kAtomDeck) return -1;
    const WCHAR* text = box->GetAttribute(kAtomTopIndex);
    return text ? _wtoi(text) : -1;
}

void oxDeckLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement || box->GetBoxType() != kAtomDeck) return;
    const int32_t sel = GetCurrentIndex(box);
    oxLayoutItemList list;
    BuildLayoutItems(box, &list, false);
    const oxPoint start = box->GetPacked(3), origin = box->GetPacked(2);
    oxPoint size = start;
    bool grew = false;
    const int limit = 10 * list.count;
    int answers = 0;
    for (bool again = true; again;) {
        again = false;
        // The size is the largest preferred size, so one walk finds it.
        for (int i = 0; i < list.count; ++i) {
            const oxLayoutItem& it = list.items[i];
            size.x = std::max(size.x, it.prefWidth);
            size.y = std::max(size.y, it.prefHeight);
            // Differs on purpose: a child is hidden or shown only when that changes, so a pass does
            // not announce every child's `hidden` again.
            const bool hide = i != sel;
            if (((it.box->GetStateFlags() & kStateHidden) != 0) != hide) it.box->SetHidden(hide);
        }
        if (sel < 0 || sel >= list.count) break;
        oxLayoutItem& it = list.items[sel];
        it.box->SetBoxPosition(origin);
        oxPlacementRecord rec;
        rec.Construct(false, size.x, size.y, size.x, size.y, it.paddingLeft, it.paddingTop,
                      std::max(0, size.x - it.paddingWidth), std::max(0, size.y - it.paddingHeight),
                      it.maxWidth == -1 ? it.width : it.maxWidth, it.maxHeight == -1 ? it.height : it.maxHeight, false,
                      false, placement->nesting);
        it.box->Arrange(&rec);
        if (!(rec.flags & oxPlacementRecord::kGrew)) break;
        const int64_t w = int64_t(it.paddingWidth) + rec.extraWidth, h = int64_t(it.paddingHeight) + rec.extraHeight;
        size.x = int32_t(std::clamp<int64_t>(std::max<int64_t>(size.x, w), 0, INT32_MAX));
        size.y = int32_t(std::clamp<int64_t>(std::max<int64_t>(size.y, h), 0, INT32_MAX));
        grew = true;
        again = ++answers < limit;
    }
    if (sel >= 0 && sel < list.count) CommitLayoutItem(&list.items[sel]);
    list.Free();
    // Differs on purpose: growing to a child's preferred size counts as growth too, or the parent
    // would never give the deck the size of its largest child.
    grew = grew || size.x > start.x || size.y > start.y;
    placement->SetExtra(grew, false, size.x, size.y, 0, 0);
}

void oxDeckLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    if (!box) return;
    oxBox* child = box->GetChildAt(GetCurrentIndex(box), false);
    if (child && !child->IsEffectivelyHidden() && !child->IsCollapsed()) oxBox::PaintChild(canvas, child);
}

oxBox* oxDeckLayout::HitTest(const oxPoint& point, oxBox* box) {
    if (!box) return nullptr;
    oxBox* child = box->GetChildAt(GetCurrentIndex(box), false);
    oxBox* hit = child ? child->HitTest(point) : nullptr;
    return hit && !box->TestChangeFlags(kChangeIgnoreEvents) ? hit : nullptr;
}
