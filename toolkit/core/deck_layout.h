#pragma once
// oxDeckLayout: shows one child of a deck box at a time, the one at the deck's top index, over the
// whole content area; the others are hidden. The deck takes the size of its largest child, so that
// switching children does not resize it. It never scrolls.
#include "toolkit/core/layout.h"

class oxDeckLayout : public oxLayout {
public:
    oxAtom GetLayoutType() const override { return kAtomDeck; }
    oxLayout* CreateInstance() const override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    // Only the shown child is tried; null when it does not take the point.
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    // The deck's top index, -1 for none.
    int32_t GetCurrentIndex(oxBox* box) const override;
};
