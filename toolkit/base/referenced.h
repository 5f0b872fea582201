#pragma once
// The counted-reference interface of the toolkit objects that events aim at and timer entries call
// back (boxes, scenes, the animation scheduler). Holders add a reference when they store a pointer
// and release it when they drop it.
#include "platform/types.h"
#include "toolkit/base/rect.h"

class oxTimerEntry;

class oxReferenced {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Called when a timer entry aimed at this object becomes due.
    virtual void OnTimer(oxTimerEntry* entry) { (void)entry; }
    // Where the object stands in its frame's coordinates; boxes answer their position, other
    // objects the origin.
    virtual oxPoint GetPositionInFrame() const { return {}; }

protected:
    ~oxReferenced() = default;
};
