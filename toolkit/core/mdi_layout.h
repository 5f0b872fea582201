#pragma once
// oxMDILayout: the layout of an MDIContainer box. Its freely placed children keep their own
// positions (`left`, `top`); when they reach past the container's content area on any side, the
// container scrolls over the whole of them, with the scroll offset at the child furthest up or left.
#include "toolkit/core/flex_layout.h"

class oxMDILayout : public oxFlexLayout {
public:
    oxAtom GetLayoutType() const override { return kAtomMdi; }
    oxLayout* CreateInstance() const override;
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    // Moves the freely placed children by the change of the offset and lays the container out again.
    void SetScrollX(int32_t x) override;
    void SetScrollY(int32_t y) override;

    // How far the freely placed children reach past the content area: {left, up} and {right, down}.
    static void GetExtents(oxBox* box, oxPoint* before, oxPoint* after);

private:
    // The freely placed children move by the change of the offset, and the container lays out again.
    void MoveBy(int propertyId, int32_t old, int32_t now);
};
