#pragma once
// The root of every COM interface: identity, interface lookup and reference counting.
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

struct IUnknown {
    // A returned interface carries a reference; an unknown IID gives E_NOINTERFACE and null.
    virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects go away through Release, never through delete on an interface pointer.
    ~IUnknown() = default;
};
