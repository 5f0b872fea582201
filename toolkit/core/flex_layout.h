#pragma once
// oxFlexLayout: the layout of every box that names no other. It lines the children up along one axis
// (x for horizontal boxes, y for vertical ones), shares the free space among flexible children in
// proportion to their `flex`, stretches or aligns them across, grows the box when the children need
// more room (up to its maximum), and otherwise marks it overflowing so that it can scroll. A pass
// may run again when a child answers that it grew, at most ten times per child.
#include <memory>

#include "toolkit/core/layout.h"

class oxFlexLayout : public oxLayout {
public:
    oxAtom GetLayoutType() const override { return kAtomFlex; }
    oxLayout* CreateInstance() const override;
    int32_t GetScrollX() const override { return overflowX_ ? scrollX_ : 0; }
    void SetScrollX(int32_t x) override;
    int32_t GetScrollY() const override { return overflowY_ ? scrollY_ : 0; }
    // Clamped to the scroll range; the box's painted content follows.
    void SetScrollY(int32_t y) override;
    int32_t GetContentWidth() const override { return overflowX_ ? contentWidth_ : 0; }
    int32_t GetContentHeight() const override { return overflowY_ ? contentHeight_ : 0; }
    void ScrollToBox(oxBox* target) override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    void UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) override;
    // The child is arranged at its new size and the children after it move by the change of its
    // length along the run. Only where that is what a whole pass gives: the last pass ran once and
    // did not grow the box, no child is flexible, the run starts at the box's start, the child stays
    // in the run with a length, and neither the box's size, its overflow nor its extent across
    // changes.
    bool FollowChild(oxPlacementRecord* placement, oxBox* box, oxBox* child) override;

    bool IsOverflowX() const { return overflowX_; }
    bool IsOverflowY() const { return overflowY_; }

protected:
    // The scroll offset that shows the span [top, top + size) in a view of `view` scrolled by `scroll`.
    virtual int32_t ScrollInto(int32_t top, int32_t size, int32_t view, int32_t scroll) const;
    // Scrolled painting and hit testing apply while the box is overflowed along an axis with content.
    bool ScrollsX(oxBox* box) const;
    bool ScrollsY(oxBox* box) const;

    oxBox* box_ = nullptr;
    int32_t savedScrollY_ = 0;
    int32_t savedScrollX_ = 0;
    int32_t contentWidth_ = 0;
    int32_t contentHeight_ = 0;
    bool overflowX_ = false;
    bool overflowY_ = false;
    int32_t scrollX_ = 0; // 31 significant bits
    int32_t scrollY_ = 0;

private:
    // What the last pass leaves for FollowChild, per child index: a child's margins and length
    // along the run (padding and size) and its extent across, as the pass counted them; `inRun` 0
    // for children the pass left out.
    struct Followed {
        int32_t lead = 0;
        int32_t outer = 0;
        int32_t trail = 0;
        int32_t across = 0;
        uint8_t inRun = 0;
    };

    // Keeps the run of a pass for FollowChild; false when memory ran out.
    bool KeepRun(oxBox* box, const oxLayoutItemList& list);

    std::unique_ptr<Followed[]> followed_;
    int32_t followedCount_ = 0;
    int32_t followedCapacity_ = 0;
    bool followable_ = false;
    uint8_t runVertical_ = 0;
    int32_t runSpace_ = 0;
    int32_t runHAlign_ = -1;
    int32_t runVAlign_ = -1;
    int32_t runAvail_[2] = {0, 0};
    int32_t runOrigin_[2] = {0, 0};
    int32_t runMax_[2] = {0, 0};
    bool runHasMax_[2] = {false, false};
};
