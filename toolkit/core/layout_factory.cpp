#include "toolkit/core/layout_factory.h"

#include <new>

#include "toolkit/core/flex_layout.h"

ULONG oxLayoutFactory::AddRef() {
    return ++refCount_;
}

ULONG oxLayoutFactory::Release() {
    uint32_t count = --refCount_;
    if (count == 0) {
        refCount_ = 0xC0000001u;
        delete this;
    }
    return count;
}

int oxLayoutFactory::CreateDefaultLayout(oxAtom boxType, oxLayout** out) {
    if (!out || boxType == 0) return 0;
    // FIXME: deck boxes get the deck layout once it exists; until then they line up as flex boxes.
    *out = new (std::nothrow) oxFlexLayout;
    return 1;
}

int oxLayoutFactory::CreateLayout(const oxLayoutName* name, oxLayout** out) {
    if (!out) return 0;
    switch (name ? name->name : 0) {
    case kAtomFlex:
        *out = new (std::nothrow) oxFlexLayout;
        return *out != nullptr;
    // FIXME: "deck", "range", "datagrid", "datacolgrid", "flow", "grid" and "mdi" make their layouts
    // here once those exist; until then they leave out as it is.
    default:
        return *out != nullptr;
    }
}
