#pragma once
// oxEvent: the record of one toolkit event (a click, a key, a command, a notification), built by
// whoever notices it, dispatched through the scene and destroyed afterwards. Its type is an atom;
// its target is held with a counted reference.
#include <cstdint>

#include "toolkit/base/atoms.h"

class oxReferenced;

// Flag bits of an event record.
constexpr uint16_t kEventBubbles = 0x1;
constexpr uint16_t kEventPropagating = 0x2;
constexpr uint16_t kEventDefaultPrevented = 0x4;
constexpr uint16_t kEventToScene = 0x8;
constexpr uint16_t kEventHandledByReaction = 0x10;
constexpr uint16_t kEventUser = 0x40; // made by a script, owned by its script object
constexpr uint16_t kEventStopped = 0x80;

// Stores `value` in `slot` with a reference, releasing what the slot held; the same object stays held.
void oxHoldReference(oxReferenced*& slot, oxReferenced* value);

class oxEvent {
public:
    oxEvent(oxAtom type, oxReferenced* target);
    oxEvent(const oxEvent&) = delete;
    oxEvent& operator=(const oxEvent&) = delete;
    virtual ~oxEvent();

    oxAtom GetType() const { return oxAtom(type_); }
    void SetType(oxAtom type) { type_ = type; }
    oxReferenced* GetTarget() const { return target_; }
    // Null allowed.
    void SetTarget(oxReferenced* target);

    uint16_t GetFlags() const { return flags_; }
    void SetFlags(uint16_t flags) { flags_ = flags; }
    void AddFlags(uint16_t flags) { flags_ = uint16_t(flags_ | flags); }

protected:
    uint32_t type_;
    oxReferenced* target_ = nullptr;
    uint16_t flags_ = 0;
};
