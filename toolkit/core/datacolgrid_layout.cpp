#include "toolkit/core/datacolgrid_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/grid_layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/row_source.h"

oxLayout* oxDataColGridLayout::CreateInstance() const {
    return new (std::nothrow) oxDataColGridLayout;
}

oxRowSource* oxDataColGridLayout::Source(oxBox* box) const {
    return oxFindRowSource(oxFindColumnsBox(box));
}

void oxDataColGridLayout::Normalise() {
    if (requestedFirst_ < 0 || count_ <= 0)
        firstVisible_ = 0;
    else
        firstVisible_ = std::min(requestedFirst_, count_ - 1);
}

int32_t oxDataColGridLayout::PlaceColumns(oxBox* box, oxRowSource* source, oxPlacementRecord* placement,
                                          bool measureOnly) {
    int64_t total = 0;
    int32_t visible = 0;
    const int32_t first = measureOnly ? count_ - 1 : firstVisible_;
    const int step = measureOnly ? -1 : 1;
    const int32_t end = measureOnly ? -1 : count_;
    oxLayoutItemList list;
    list.hAlign = list.vAlign = -1;
    for (int32_t i = first; i != end; i += step) {
        oxBox* column = source->GetRowBoxAt(i);
        oxLayoutItem it;
        if (!column || !FillLayoutItem(column, &it, &list, false)) continue;
        const int32_t outerW = oxLengthSum(int64_t(it.prefWidth) + it.paddingWidth);
        const int32_t outerH = oxLengthSum(int64_t(it.prefHeight) + it.paddingHeight);
        if (!measureOnly) {
            column->SetBoxPosition({oxLengthSum(int64_t(area_.x) + total), area_.y});
            const bool noMaxW = it.maxWidth == -1, noMaxH = it.maxHeight == -1;
            oxPlacementRecord p;
            p.Construct(false, area_.width, area_.height, outerW, outerH, it.paddingLeft, it.paddingTop, it.prefWidth,
                        it.prefHeight, noMaxW ? it.prefWidth : it.maxWidth, noMaxH ? it.prefHeight : it.maxHeight,
                        noMaxW, noMaxH, placement ? placement->nesting : 0);
            column->Arrange(&p);
            CommitLayoutItem(&it);
            if (hasMaxHeight_ && maxHeight_ < outerH) {
                overflowY_ = true;
                tallest_ = std::max(tallest_, outerH);
            }
        }
        total += outerW;
        if (hasMaxWidth_ && total > maxWidth_) {
            if (!measureOnly) overflowX_ = true;
            break;
        }
        ++visible;
    }
    if (!measureOnly) totalWidth_ = oxLengthSum(total);
    (void)box;
    return visible;
}

void oxDataColGridLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement) return;
    box_ = box;
    const bool restore = placement->nesting != 0;
    if (box->FindVScrollBar()) {
        if (restore)
            scrollY_ = savedScrollY_;
        else
            savedScrollY_ = scrollY_;
    }
    oxRowSource* source = Source(box);
    count_ = source ? std::max(0, source->CountRows()) : 0;
    if (box->FindHScrollBar()) {
        if (restore)
            requestedFirst_ = savedFirst_;
        else
            savedFirst_ = requestedFirst_;
    }
    Normalise();
    maxWidth_ = placement->maxWidth;
    maxHeight_ = placement->maxHeight;
    hasMaxWidth_ = maxWidth_ != 0 || (placement->flags & oxPlacementRecord::kNoMaxWidth);
    hasMaxHeight_ = maxHeight_ != 0 || (placement->flags & oxPlacementRecord::kNoMaxHeight);
    area_ = oxContentArea::Of(box);
    overflowY_ = false;
    tallest_ = 0;
    if (source && box->IsOverflowScroll()) {
        fitAtEnd_ = PlaceColumns(box, source, placement, true);
        largestFirst_ = std::max(0, count_ - fitAtEnd_);
        firstVisible_ = std::min(firstVisible_, largestFirst_);
    }
    totalWidth_ = 0;
    visibleCount_ = 0;
    overflowX_ = false;
    if (source) visibleCount_ = PlaceColumns(box, source, placement, false);
    if (firstVisible_ != 0) overflowX_ = true;
    placement->SetExtra(false, overflowX_ || overflowY_, area_.width, area_.height, overflowX_ ? totalWidth_ : 0,
                        overflowY_ ? tallest_ : 0);
}

void oxDataColGridLayout::SetScrollX(int32_t column) {
    if (!box_ || column == firstVisible_) return;
    direction_ = column < requestedFirst_ ? 2 : 1;
    requestedFirst_ = column;
    Normalise();
    firstVisible_ = std::min(firstVisible_, largestFirst_);
    requestedFirst_ = firstVisible_;
    ClearValidity();
    ArrangeInLastPlacement(box_);
    direction_ = 0;
}

void oxDataColGridLayout::SetScrollY(int32_t y) {
    if (!overflowY_) return;
    scrollY_ = y;
    if (box_) box_->RequestRepaint();
}

void oxDataColGridLayout::SetColumnBar(int32_t column) {
    oxBox* bar = box_ ? box_->FindHScrollBar() : nullptr;
    if (!bar) return;
    WCHAR text[16];
    swprintf(text, 16, u"%d", std::min(column, largestFirst_));
    bar->SetAttribute(kAtomValue, text, true, false);
}

void oxDataColGridLayout::EnsureColumnVisible(int32_t column) {
    if (column < 0 || column >= count_ || visibleCount_ <= 0) return;
    int32_t first = firstVisible_;
    if (column < firstVisible_)
        first = column;
    else if (column < firstVisible_ + visibleCount_)
        return;
    else if (column == count_ - 1)
        first = largestFirst_;
    else
        first = column + 1 - visibleCount_;
    SetColumnBar(first);
}

void oxDataColGridLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    oxRowSource* source = box ? Source(box) : nullptr;
    if (!source) return;
    oxBoxPaintServices& paint = oxGetBoxPaintServices();
    if (overflowY_) paint.OffsetOrigin(canvas, 0, -scrollY_);
    const int64_t end = int64_t(area_.x) + area_.width;
    for (int32_t i = firstVisible_; i < count_; ++i) {
        oxBox* column = source->GetRowBoxAt(i);
        if (!column) continue;
        const int64_t right = int64_t(column->GetPacked(0).x) + column->GetPacked(1).x;
        if (right >= 0) oxBox::PaintChild(canvas, column);
        if (overflowX_ && right >= end) break;
    }
    if (overflowY_) paint.OffsetOrigin(canvas, 0, scrollY_);
}

oxBox* oxDataColGridLayout::HitTest(const oxPoint& point, oxBox* box) {
    oxRowSource* source = box ? Source(box) : nullptr;
    if (!source) return box;
    const oxPoint p{point.x, overflowY_ ? oxLengthSum(int64_t(point.y) + scrollY_) : point.y};
    const int64_t end = int64_t(area_.x) + area_.width;
    for (int32_t i = firstVisible_; i < count_; ++i) {
        oxBox* column = source->GetRowBoxAt(i);
        if (!column) continue;
        const int64_t right = int64_t(column->GetPacked(0).x) + column->GetPacked(1).x;
        if (right >= 0)
            if (oxBox* hit = column->HitTest(p)) return hit;
        if (overflowX_ && right >= end) break;
    }
    return box;
}

void oxDataColGridLayout::UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) {
    if (!box_) return;
    if (vertical)
        UpdateScrollbarBox(placement, box_, scrollbar, tallest_ - area_.height, area_.height, scrollY_, 1);
    else
        UpdateScrollbarBox(placement, box_, scrollbar, largestFirst_, fitAtEnd_, firstVisible_, 0);
}

int32_t oxDataColGridLayout::FindSelectableIndex(oxBox* box, oxBox* column) {
    if (oxRowSource* source = Source(box)) return source->FindRowOfBox(column, true);
    return oxLayout::FindSelectableIndex(box, column);
}

oxBox* oxDataColGridLayout::FindSelectableAt(oxBox* box, int32_t index) {
    if (oxRowSource* source = Source(box)) return index >= 0 ? source->GetRowBoxAt(index) : nullptr;
    return oxLayout::FindSelectableAt(box, index);
}

int32_t oxDataColGridLayout::CountSelectable(oxBox* box) {
    oxRowSource* source = Source(box);
    return source ? std::max(0, source->CountRows()) : 0;
}
