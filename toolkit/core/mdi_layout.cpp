#include "toolkit/core/mdi_layout.h"

#include <algorithm>
#include <climits>
#include <new>

#include "toolkit/core/box.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

bool IsFree(const oxBox* child) {
    return !child->TestChangeFlags(kChangeFlowed) && child->GetTag() != kAtomScrollbar;
}

int32_t StyleInt(oxBox* box, int propertyId) {
    oxStyleValue v;
    box->GetStyleValue(propertyId, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

int32_t Saturate(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Moves each freely placed child by `delta` along one axis of its `left` or `top`.
bool MoveFreeChildren(oxBox* box, int propertyId, int64_t delta) {
    bool any = false;
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!IsFree(child)) continue;
        any = true;
        // A percentage or "center" becomes the pixel value it gives now, which the move then shifts.
        child->ResolvePercentGeometry();
        const int32_t now = Saturate(StyleInt(child, propertyId) + delta);
        if (propertyId == kStyle_left)
            child->SetLeft(now);
        else
            child->SetTop(now);
    }
    return any;
}

} // namespace

oxLayout* oxMDILayout::CreateInstance() const {
    return new (std::nothrow) oxMDILayout;
}

void oxMDILayout::GetExtents(oxBox* box, oxPoint* before, oxPoint* after) {
    *before = *after = {0, 0};
    if (!box) return;
    oxPoint view = box->GetPacked(3);
    oxBox::ScrollbarSpace space;
    box->GetScrollbarSpace(nullptr, &space);
    view.x = std::max(0, view.x - space.width);
    view.y = std::max(0, view.y - space.height);
    int64_t left = 0, up = 0, right = 0, down = 0;
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!IsFree(child)) continue;
        const oxPoint pos = child->GetPacked(0), size = child->GetPacked(1);
        left = std::max<int64_t>(left, -int64_t(pos.x));
        up = std::max<int64_t>(up, -int64_t(pos.y));
        right = std::max<int64_t>(right, int64_t(pos.x) + size.x - view.x);
        down = std::max<int64_t>(down, int64_t(pos.y) + size.y - view.y);
    }
    *before = {Saturate(left), Saturate(up)};
    *after = {Saturate(right), Saturate(down)};
}

void oxMDILayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement || box->GetBoxType() != kAtomMDIContainer) return;
    box_ = box;
    const oxPoint avail = box->GetPacked(3);
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (child->GetBoxType() == kAtomPopup || child->IsCollapsed() || (child->GetStateFlags() & kStateExcluded))
            continue;
        child->ResolveStyle();
        if (oxLayout* own = child->GetLayoutIfMade()) own->ClearValidity();
        // The child places itself by its own `left` and `top`; its own layout answers the size its
        // content needs.
        oxPlacementRecord rec;
        rec.Construct(false, avail.x, avail.y, 0, 0, 0, 0, 0, 0, 0, 0, false, false, placement->nesting);
        child->Arrange(&rec);
    }
    placement->SetExtra(false, false, avail.x, avail.y, 0, 0);
    scrollX_ = scrollY_ = 0;
    overflowX_ = overflowY_ = false;
    oxPoint before, after;
    GetExtents(box, &before, &after);
    const bool hasMaxW = placement->maxWidth != 0 || (placement->flags & oxPlacementRecord::kNoMaxWidth);
    const bool hasMaxH = placement->maxHeight != 0 || (placement->flags & oxPlacementRecord::kNoMaxHeight);
    if (before.x || after.x) {
        contentWidth_ = Saturate(int64_t(before.x) + after.x + avail.x);
        overflowX_ = hasMaxW && placement->maxWidth < contentWidth_;
        if (overflowX_) placement->extraContentWidth = contentWidth_;
        scrollX_ = before.x;
        UpdateScrollbar(placement, false, box->FindHScrollBar());
    }
    if (before.y || after.y) {
        contentHeight_ = Saturate(int64_t(before.y) + after.y + avail.y);
        overflowY_ = hasMaxH && placement->maxHeight < contentHeight_;
        if (overflowY_) placement->extraContentHeight = contentHeight_;
        scrollY_ = before.y;
        UpdateScrollbar(placement, true, box->FindVScrollBar());
    }
    if (overflowX_ || overflowY_) placement->flags |= oxPlacementRecord::kOverflow;
}

void oxMDILayout::MoveBy(int propertyId, int32_t old, int32_t now) {
    if (!box_ || box_->GetBoxType() != kAtomMDIContainer || old == now) return;
    if (MoveFreeChildren(box_, propertyId, int64_t(old) - now)) box_->RequestLayout();
}

void oxMDILayout::SetScrollX(int32_t x) {
    const int32_t old = scrollX_;
    oxFlexLayout::SetScrollX(x);
    // Differs on purpose: the children move by the change of the stored offset, which the clamp of
    // the offset (and a container that does not overflow) may keep from x.
    MoveBy(kStyle_left, old, scrollX_);
}

void oxMDILayout::SetScrollY(int32_t y) {
    const int32_t old = scrollY_;
    oxFlexLayout::SetScrollY(y);
    MoveBy(kStyle_top, old, scrollY_);
}
