#pragma once
// oxBoxFactory: turns a box kind atom and a tag atom into a new box of the kind's class. The kind
// picks the class, the tag becomes the box's tag, so one class serves several tags. Counted; the
// count starts at 0 and the runtime adds the first reference when it keeps the factory.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/base/atoms.h"

class oxBox;

// Makes a box of one kind's class for a tag (count 1), or null when memory ran out.
using oxBoxMaker = oxBox* (*)(oxAtom tag);

class oxBoxFactory {
public:
    oxBoxFactory() = default;
    oxBoxFactory(const oxBoxFactory&) = delete;
    oxBoxFactory& operator=(const oxBoxFactory&) = delete;
    virtual ~oxBoxFactory() = default;

    virtual ULONG AddRef();
    // At zero the count becomes 0xC0000001 and the factory deletes itself.
    virtual ULONG Release();
    // A new box (count 1, taken over by the caller), or null when memory ran out. `reserved` is not read.
    virtual oxBox* CreateBox(oxAtom kind, int reserved, oxAtom tag);

    // Kinds whose classes live in modules above the box tree are registered by those modules; a
    // registered maker wins over the built-in one. Null forgets the kind's maker. False when the
    // table is full.
    static bool RegisterKind(oxAtom kind, oxBoxMaker make);

private:
    uint32_t refCount_ = 0;
};
