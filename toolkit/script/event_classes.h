#pragma once
// The script classes of events. Each wraps one event record for the length of one handler call (the
// record lives only for its dispatch): the handler invoker detaches the object afterwards, and from
// then on its properties fail with 1 and its methods do nothing. A UserEvent owns the record that a
// script made with Shell.create and keeps it after a dispatch detached it, so it can be renamed.
#include "toolkit/script/native_wrapper.h"

class oxBox;
class oxEvent;
class oxQualifiedName;

class UserEventObject : public oxNativeWrapper {
public:
    explicit UserEventObject(oxEvent* event);
    oxEvent* GetOwnedEvent() const { return owned_; }

protected:
    ~UserEventObject() override;

private:
    oxEvent* owned_;
};

// Runs a box's handler with the event: the event's object becomes the current event for the call
// and is detached when it returns. Installed as the boxes' reaction runner.
void RunScriptReaction(oxBox* box, const oxQualifiedName& action, oxEvent* event);
