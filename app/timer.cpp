#include "app/timer.h"

#include <new>

#include "runtime/atomic.h"
#include "toolkit/base/referenced.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// Timers with a pending call, for CancelAll: the head of their list.
Timer* firstPending = nullptr;
int pendingCount = 0;

// What a pending entry calls: counted on its own, holding the Timer, the target and the name.
class TimerCallback final : public oxReferenced {
public:
    TimerCallback(Timer* timer, XObject* target, const NUBO::TWString& method)
        : timer_(timer), target_(target), method_(method) {
        timer_->AddRef();
        if (target_) target_->AddRef();
    }

    ULONG AddRef() override { return ULONG(NUBO::AtomicIncrement(&refs_)); }
    ULONG Release() override {
        LONG left = NUBO::AtomicDecrement(&refs_);
        if (left == 0) {
            if (target_) target_->Release();
            if (timer_) timer_->Release();
            delete this;
        }
        return ULONG(left);
    }

    void OnTimer(oxTimerEntry*) override {
        if (!timer_) return;
        Timer* timer = timer_;
        timer_ = nullptr;
        timer->ForgetFiredEntry();
        timer->Release();
        if (target_) XObject::CallMethod0NoResult(target_, method_.GetString());
        Release(); // the entry's
    }

private:
    ~TimerCallback() = default;

    volatile LONG refs_ = 0;
    Timer* timer_;
    XObject* target_;
    NUBO::TWString method_;
};

int32_t ScheduleBody(Timer* timer, XArgList* args, XVariant*) {
    XObject* target = script_class::ArgObject(args, 0);
    NUBO::XArgString method(args->GetArg(1));
    int32_t rc = timer->Schedule(target, method.Get(), script_class::ArgInt(args, 2));
    if (target) target->Release();
    return rc;
}

int32_t CancelBody(Timer* timer, XArgList*, XVariant*) {
    timer->Cancel();
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("setTimeoutObject", script_class::Method<Timer, 3, ScheduleBody>),
    NUBO::XMethod("setForOffset", script_class::Method<Timer, 3, ScheduleBody>),
    NUBO::XMethod("cancel", script_class::Method<Timer, 0, CancelBody>),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Timer::Descriptor = {"Timer", 4, kMembers, &XObject::Descriptor, 0, {}};

Timer::~Timer() {
    Unlist();
}

void Timer::List() {
    if (pending_ == nullptr || previousPending_ || firstPending == this) return;
    nextPending_ = firstPending;
    if (firstPending) firstPending->previousPending_ = this;
    firstPending = this;
    ++pendingCount;
}

void Timer::Unlist() {
    if (!previousPending_ && firstPending != this) return;
    if (previousPending_)
        previousPending_->nextPending_ = nextPending_;
    else
        firstPending = nextPending_;
    if (nextPending_) nextPending_->previousPending_ = previousPending_;
    previousPending_ = nextPending_ = nullptr;
    --pendingCount;
}

void Timer::ForgetFiredEntry() {
    pending_ = nullptr;
    Unlist();
}

int32_t Timer::Schedule(XObject* target, const NUBO::TWString& method, int32_t delayMs) {
    Cancel();
    // An entry that no queue takes would never be freed.
    if (!oxTimerQueue::Instance()) return NUBO::XR_OUT_OF_MEMORY;
    oxTimerEntry* entry = oxTimerEntry::Create();
    if (!entry) return NUBO::XR_OUT_OF_MEMORY;
    auto* callback = new (std::nothrow) TimerCallback(this, target, method);
    if (!callback) {
        delete entry;
        return NUBO::XR_OUT_OF_MEMORY;
    }
    callback->AddRef();
    pending_ = entry;
    entry->StartOnce(DWORD(delayMs), callback);
    List();
    return 0;
}

void Timer::Cancel() {
    Unlist();
    if (!pending_) return;
    oxTimerEntry* entry = pending_;
    pending_ = nullptr;
    oxReferenced* callback = entry->GetTarget();
    entry->Cancel();
    if (callback) callback->Release();
}

int Timer::CancelAll() {
    int count = 0;
    while (Timer* timer = firstPending) {
        timer->AddRef();
        timer->Cancel();
        timer->Release();
        ++count;
    }
    return count;
}

int Timer::PendingCount() {
    return pendingCount;
}

int32_t CreateTimer(Timer** out) {
    return script_class::CreateInstance<Timer>(out);
}
