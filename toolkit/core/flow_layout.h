#pragma once
// oxFlowLayout: wraps a box's children into lines. A horizontal box fills rows from left to right
// and starts a new row below when the next child does not fit; a vertical box fills columns from top
// to bottom and starts a new column to the right, or with `maxColumns` spreads its children over at
// most that many columns of balanced height. Each line is aligned on its own, and the box scrolls
// when the lines do not fit. The line records of the last pass let painting stop at the first line
// past the visible part.
#include <vector>

#include "toolkit/core/flex_layout.h"

class oxFlowLayout : public oxFlexLayout {
public:
    struct Line {
        int32_t count = 0;
        int32_t length = 0;
        int32_t thickness = 0;
    };

    oxAtom GetLayoutType() const override { return kAtomFlow; }
    oxLayout* CreateInstance() const override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    // The shown scroll bars (flag 1) and the shown children (flag 0), each where it stands in the box.
    void CollectSnapshotItems(oxSnapshotItemList* items) override;

    const std::vector<Line>& GetLines() const { return lines_; }

protected:
    // The far edge first, then the near one: a span longer than the view shows its start.
    int32_t ScrollInto(int32_t top, int32_t size, int32_t view, int32_t scroll) const override;

private:
    struct Pass;
    // Scrolled painting and hit testing visit the children line by line and stop at the first line
    // whose near edge lies past the visible part; false from `visit` stops too.
    template <class Visit> void ForVisibleChildren(oxBox* box, bool scrolled, Visit visit);

    int32_t maxColumns_ = 0;
    bool rows_ = true; // the lines of the last pass are rows
    std::vector<Line> lines_;
};
