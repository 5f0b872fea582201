#pragma once
// oxLayoutFactory: makes the layout objects that arrange boxes' children, the default one for a box
// type and one named by a layout atom. Counted; the count starts at 0 and the holder adds the first.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxLayout;

// A layout named in markup: the provider (0 or "toolkit" for the built-in factory) and the name.
struct oxLayoutName {
    oxAtom provider = 0;
    oxAtom name = 0;
};

class oxLayoutFactory {
public:
    oxLayoutFactory() = default;
    oxLayoutFactory(const oxLayoutFactory&) = delete;
    oxLayoutFactory& operator=(const oxLayoutFactory&) = delete;
    virtual ~oxLayoutFactory() = default;

    virtual ULONG AddRef();
    // At zero the count becomes 0xC0000001 and the factory deletes itself.
    virtual ULONG Release();
    // 0 without out or for type 0; else 1, with out null when memory ran out.
    virtual int CreateDefaultLayout(oxAtom boxType, oxLayout** out);
    // 1 when a layout was made into out; for an atom that names no layout, out stays and the answer
    // is whether it holds one.
    virtual int CreateLayout(const oxLayoutName* name, oxLayout** out);

private:
    uint32_t refCount_ = 0;
};
