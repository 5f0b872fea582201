#include "toolkit/core/layout_factory.h"

#include <new>

#include "toolkit/core/datacolgrid_layout.h"
#include "toolkit/core/datagrid_layout.h"
#include "toolkit/core/deck_layout.h"
#include "toolkit/core/flex_layout.h"
#include "toolkit/core/flow_layout.h"
#include "toolkit/core/grid_layout.h"
#include "toolkit/core/mdi_layout.h"
#include "toolkit/core/range_layout.h"

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
    if (boxType == kAtomDeck)
        *out = new (std::nothrow) oxDeckLayout;
    else
        *out = new (std::nothrow) oxFlexLayout;
    return 1;
}

int oxLayoutFactory::CreateLayout(const oxLayoutName* name, oxLayout** out) {
    if (!out) return 0;
    oxLayout* made = nullptr;
    switch (name ? name->name : 0) {
    case kAtomFlex:
        made = new (std::nothrow) oxFlexLayout;
        break;
    case kAtomDeck:
        made = new (std::nothrow) oxDeckLayout;
        break;
    case kAtomRange:
        made = new (std::nothrow) oxRangeLayout;
        break;
    case kAtomFlow:
        made = new (std::nothrow) oxFlowLayout;
        break;
    case kAtomMdi:
        made = new (std::nothrow) oxMDILayout;
        break;
    case kAtomGrid:
        made = new (std::nothrow) oxGridLayout;
        break;
    case kAtomDatagrid:
        made = new (std::nothrow) oxDataGridLayout;
        break;
    case kAtomDatacolgrid:
        made = new (std::nothrow) oxDataColGridLayout;
        break;
    default:
        return *out != nullptr;
    }
    *out = made;
    return made != nullptr;
}
