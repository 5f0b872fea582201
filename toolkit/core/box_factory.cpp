#include "toolkit/core/box_factory.h"

#include <new>

#include "toolkit/core/box.h"
#include "toolkit/core/collapsed_container_box.h"
#include "toolkit/core/deck_box.h"
#include "toolkit/core/mdi_container_box.h"

namespace {

using MakeFn = oxBoxMaker;

template <class T> oxBox* Make(oxAtom tag) {
    return new (std::nothrow) T(tag);
}

struct Kind {
    oxAtom atom;
    MakeFn make;
};

// Kind atom -> class, unless a module registered the kind's class (the widgets register text,
// simpleText, vectorText, control, input, image, popup, window, menu, menu bar, range, handle, dhtml,
// select and data grid).
constexpr Kind kKinds[] = {
    {kAtomText, &Make<oxBox>},
    {kAtomSimpleText, &Make<oxBox>},
    {kAtomCollapsedContainer, &Make<oxCollapsedContainerBox>},
    {kAtomControl, &Make<oxBox>},
    {kAtomDeck, &Make<oxDeckBox>},
    {kAtomDhtml, &Make<oxBox>},
    {kAtomHandle, &Make<oxBox>},
    {kAtomImage, &Make<oxBox>},
    {kAtomInput, &Make<oxBox>},
    {kAtomNativeText, &Make<oxBox>},
    {kAtomMenu, &Make<oxBox>},
    {kAtomMenuBar, &Make<oxBox>},
    {kAtomMDIContainer, &Make<oxMDIContainerBox>},
    {kAtomPopup, &Make<oxBox>},
    {kAtomRange, &Make<oxBox>},
    {kAtomSelect, &Make<oxBox>},
    {kAtomVectorText, &Make<oxBox>},
    {kAtomWindow, &Make<oxBox>},
    {kAtomDatagrid, &Make<oxBox>},
};

// Makers registered from above the box tree; a handful of kinds at most.
Kind gRegistered[32];

} // namespace

bool oxBoxFactory::RegisterKind(oxAtom kind, oxBoxMaker make) {
    Kind* free = nullptr;
    for (Kind& k : gRegistered) {
        if (k.atom == kind) {
            k.make = make;
            if (!make) k.atom = 0;
            return true;
        }
        if (!k.atom && !free) free = &k;
    }
    if (!make) return true;
    if (!free) return false;
    *free = Kind{kind, make};
    return true;
}

ULONG oxBoxFactory::AddRef() {
    return ++refCount_;
}

ULONG oxBoxFactory::Release() {
    uint32_t count = --refCount_;
    if (count == 0) {
        refCount_ = 0xC0000001u;
        delete this;
    }
    return count;
}

oxBox* oxBoxFactory::CreateBox(oxAtom kind, int reserved, oxAtom tag) {
    (void)reserved;
    for (const Kind& k : gRegistered)
        if (k.atom && k.atom == kind) return k.make(tag);
    for (const Kind& k : kKinds)
        if (k.atom == kind) return k.make(tag);
    return Make<oxBox>(tag);
}
