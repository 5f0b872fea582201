#pragma once
// Timer: one call of a named method on an object after a delay, kept by the toolkit's timer queue
// and made on the message-loop thread. Scheduling again replaces the pending call; a pending call
// keeps its Timer alive even after the script let go of it.
#include <cstdint>

#include "runtime/script_object.h"
#include "runtime/wide_string.h"

class oxTimerEntry;

class Timer : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Timer"

    Timer() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Calls `method` on `target` after `delayMs` (0: at the next run of the queue, never inside
    // this call). 0, or 18 when the entry or its record cannot be made.
    int32_t Schedule(NUBO::XObject* target, const NUBO::TWString& method, int32_t delayMs);
    // Forgets the pending call, if any.
    void Cancel();
    bool IsPending() const { return pending_ != nullptr; }

    // The call fired: the Timer is idle again, and the fired entry is the queue's to dispose of.
    void ForgetFiredEntry();

    // Cancels every pending call of the process, so nothing that calls hold outlives the toolkit.
    static int CancelAll();
    // How many Timers have a call pending.
    static int PendingCount();

protected:
    ~Timer() override;

private:
    // The Timers with a pending call form one list, so a Timer joins and leaves it at no cost
    // however many other Timers exist.
    void List();
    void Unlist();

    oxTimerEntry* pending_ = nullptr;
    Timer* previousPending_ = nullptr;
    Timer* nextPending_ = nullptr;
};

// A Timer with one reference in `out`: 10 for a null out pointer, 18 when memory is short.
int32_t CreateTimer(Timer** out);
