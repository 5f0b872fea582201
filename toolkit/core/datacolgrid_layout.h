#pragma once
// oxDataColGridLayout: shows the data-bound columns of a box side by side and scrolls sideways by
// whole columns. The box's "columns" child is filled by a data binding, one column box per item;
// the layout places the columns from the first visible one until the width is used up. Vertically
// it scrolls by pixels.
#include "toolkit/core/layout.h"

class oxRowSource;

class oxDataColGridLayout : public oxLayout {
public:
    oxAtom GetLayoutType() const override { return kAtomDatacolgrid; }
    oxLayout* CreateInstance() const override;
    // Scrolls so that the column is the first visible one.
    void SetScrollX(int32_t column) override;
    int32_t GetScrollY() const override { return overflowY_ ? scrollY_ : 0; }
    void SetScrollY(int32_t y) override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    void UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) override;
    int32_t FindSelectableIndex(oxBox* box, oxBox* column) override;
    oxBox* FindSelectableAt(oxBox* box, int32_t index) override;
    int32_t CountSelectable(oxBox* box) override;

    // Sets the horizontal scroll bar's value to min(column, largest first column).
    void SetColumnBar(int32_t column);
    void EnsureColumnVisible(int32_t column);
    int32_t GetFirstVisibleColumn() const { return firstVisible_; }
    int32_t GetEndOfVisibleColumns() const { return firstVisible_ + visibleCount_; }
    int32_t GetScrollDirection() const { return direction_; }
    int32_t GetColumnCount() const { return count_; }
    int32_t GetLargestFirstColumn() const { return largestFirst_; }
    int32_t GetTotalWidth() const { return totalWidth_; }
    bool IsOverflowX() const { return overflowX_; }

private:
    oxRowSource* Source(oxBox* box) const;
    void Normalise();
    // Places the columns from `first` on (backwards when `backwards`); the visible count comes back.
    int32_t PlaceColumns(oxBox* box, oxRowSource* source, oxPlacementRecord* placement, bool measureOnly);

    oxBox* box_ = nullptr;
    int32_t savedScrollY_ = 0;
    int32_t savedFirst_ = 0;
    oxContentArea area_;
    bool overflowX_ = false;
    bool overflowY_ = false;
    int32_t totalWidth_ = 0;
    int32_t maxWidth_ = 0;
    int32_t maxHeight_ = 0;
    bool hasMaxWidth_ = false;
    bool hasMaxHeight_ = false;
    int32_t tallest_ = 0;
    int32_t requestedFirst_ = 0;
    int32_t firstVisible_ = 0;
    int32_t scrollY_ = 0;
    int32_t count_ = 0;
    int32_t visibleCount_ = 0;
    int32_t largestFirst_ = 0;
    int32_t fitAtEnd_ = 0;
    int32_t direction_ = 0;
};
