#pragma once
// oxMDIContainerBox: the box of the `MDIContainer` tag, the parent of freely placed child windows
// that the mdi layout arranges. Its children are MDI children; when it paints, the backgrounds of
// its embedded scenes are painted where those scenes stand.
#include "toolkit/core/box.h"

class oxMDIContainerBox : public oxBox {
public:
    explicit oxMDIContainerBox(oxAtom tag) : oxBox(tag) {}

    oxAtom GetBoxType() const override { return kAtomMDIContainer; }
};
