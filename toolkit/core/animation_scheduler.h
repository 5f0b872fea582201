#pragma once
// oxAnimationScheduler: drives every running style animation of the process from one periodic
// 10 ms entry of the toolkit timer queue. The entry is taken when the first animation is added and
// given back when the last one leaves, so an idle user interface costs no timer ticks. The listed
// animations are owned: leaving the list destroys them.
#include <cstdint>
#include <list>

#include "platform/types.h"
#include "toolkit/base/referenced.h"

class oxAnimationInstance;
class oxBox;
class oxTimerEntry;

class oxAnimationScheduler : public oxReferenced {
public:
    static constexpr DWORD kPeriodMs = 10;

    static oxAnimationScheduler& Instance();

    oxAnimationScheduler() = default;
    oxAnimationScheduler(const oxAnimationScheduler&) = delete;
    oxAnimationScheduler& operator=(const oxAnimationScheduler&) = delete;
    // Stops the timer and destroys the animations still listed.
    virtual ~oxAnimationScheduler();

    // Lives as long as the process: the counts do nothing.
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    // One step of every listed animation, in the order added.
    void OnTimer(oxTimerEntry* entry) override;

    // Ignored for null, for an animation without a target and for one listed already.
    void Add(oxAnimationInstance* animation);
    // Unlinks and destroys the animation; `reason` says why it ended (0 finished).
    void Remove(oxAnimationInstance* animation, int reason);
    // Removes the animation the walk of a tick is advancing.
    void RemoveCurrent(int reason);
    // Every animation of the box goes on without it.
    void ForgetTarget(oxBox* box);
    oxAnimationInstance* Find(uint32_t animationId, const oxBox* target) const;
    // Walks the list; null at the end.
    oxAnimationInstance* First();
    oxAnimationInstance* Next();
    // Gives the timer entry back (when the timer window goes away).
    void StopTimer();

    int GetCount() const { return int(animations_.size()); }
    const oxTimerEntry* GetTimer() const { return timer_; }

private:
    using List = std::list<oxAnimationInstance*>;
    bool TargetsBox(const oxBox* box) const;

    oxTimerEntry* timer_ = nullptr;
    List animations_;
    // The next animation of a walk; a removal moves it past the animation removed.
    List::iterator cursor_ = animations_.end();
    oxAnimationInstance* current_ = nullptr; // the one a tick is advancing
};
