#pragma once
// oxBoxGadget: what a box asks of the gadget element instantiated on it. Gadget elements live in the
// library module above the box tree and install themselves on their boxes through this interface; a
// gadget knows the boxes it is on, so either side may go first.
#include "toolkit/base/atoms.h"

class oxBox;
class oxElement;
class oxEvent;

class oxBoxGadget {
public:
    virtual oxElement* GetGadgetElement() = 0;
    // The box now carries the gadget, or no longer does (it is going away or takes another).
    virtual void AttachBox(oxBox* box) = 0;
    virtual void DetachBox(oxBox* box) = 0;
    // One of the box's attributes changed: the parts that forward it follow.
    virtual void OnAttributeChanged(oxBox* box, oxAtom attribute, bool notify) = 0;
    // The gadget's behaviour, then those of the gadgets it inherits; true when one consumed it.
    virtual bool HandleEvent(oxBox* box, oxEvent* event) = 0;
    // Whether a forwarded attribute `key` of the gadget box leads to `part`.
    virtual bool IsPartWithKey(oxBox* box, oxBox* part, oxAtom key) = 0;
    // Makes the box's gadget script instance on first use.
    virtual void EnsureScriptObject(oxBox* box) = 0;
    // A box built later inside the gadget box's content becomes one of its parts.
    virtual void AdoptPart(oxBox* box, oxBox* part) = 0;
    // The box inside `box` that takes its content children, or null without a content placeholder.
    virtual oxBox* FindContentPart(oxBox* box) = 0;

protected:
    ~oxBoxGadget() = default;
};
