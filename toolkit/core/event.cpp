#include "toolkit/core/event.h"

#include "toolkit/base/referenced.h"

void oxHoldReference(oxReferenced*& slot, oxReferenced* value) {
    if (slot == value) return;
    // The new one is held before the old one goes, in case the old one owns it.
    if (value) value->AddRef();
    oxReferenced* old = slot;
    slot = value;
    if (old) old->Release();
}

oxEvent::oxEvent(oxAtom type, oxReferenced* target) : type_(type) {
    oxHoldReference(target_, target);
}

oxEvent::~oxEvent() {
    oxHoldReference(target_, nullptr);
}

void oxEvent::SetTarget(oxReferenced* target) {
    oxHoldReference(target_, target);
}
