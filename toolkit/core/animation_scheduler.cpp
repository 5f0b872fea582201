#include "toolkit/core/animation_scheduler.h"

#include <algorithm>

#include "platform/win/clock.h"
#include "toolkit/core/animation_instance.h"
#include "toolkit/core/box.h"
#include "toolkit/core/timer_queue.h"

oxAnimationScheduler& oxAnimationScheduler::Instance() {
    static oxAnimationScheduler scheduler;
    return scheduler;
}

oxAnimationScheduler::~oxAnimationScheduler() {
    StopTimer();
    List left;
    left.swap(animations_);
    cursor_ = animations_.end();
    for (oxAnimationInstance* a : left)
        delete a;
}

void oxAnimationScheduler::Add(oxAnimationInstance* animation) {
    if (!animation || !animation->GetTarget()) return;
    if (std::find(animations_.begin(), animations_.end(), animation) != animations_.end()) return;
    // The box shows it runs an animation while one of its own is listed.
    animation->GetTarget()->SetAnimating(true);
    animations_.push_back(animation);
    if (timer_) return;
    if (!oxTimerQueue::Instance()) return;
    timer_ = oxTimerEntry::Create();
    if (timer_) timer_->StartRepeating(kPeriodMs, this);
}

bool oxAnimationScheduler::TargetsBox(const oxBox* box) const {
    for (oxAnimationInstance* a : animations_)
        if (a->GetTarget() == box) return true;
    return false;
}

void oxAnimationScheduler::Remove(oxAnimationInstance* animation, int reason) {
    (void)reason;
    if (!animation) return;
    auto it = std::find(animations_.begin(), animations_.end(), animation);
    if (it == animations_.end()) return;
    if (cursor_ == it) ++cursor_;
    animations_.erase(it);
    if (current_ == animation) current_ = nullptr;
    oxBox* target = animation->GetTarget();
    delete animation;
    if (target && !TargetsBox(target)) target->SetAnimating(false);
    if (animations_.empty()) StopTimer();
}

void oxAnimationScheduler::RemoveCurrent(int reason) {
    Remove(current_, reason);
}

void oxAnimationScheduler::ForgetTarget(oxBox* box) {
    if (!box) return;
    for (oxAnimationInstance* a : animations_)
        if (a->GetTarget() == box) a->ForgetTarget();
}

oxAnimationInstance* oxAnimationScheduler::Find(uint32_t animationId, const oxBox* target) const {
    for (oxAnimationInstance* a : animations_)
        if (a->GetAnimationId() == animationId && a->GetTarget() == target) return a;
    return nullptr;
}

oxAnimationInstance* oxAnimationScheduler::First() {
    cursor_ = animations_.begin();
    return Next();
}

oxAnimationInstance* oxAnimationScheduler::Next() {
    if (cursor_ == animations_.end()) return nullptr;
    return *cursor_++;
}

void oxAnimationScheduler::StopTimer() {
    if (!timer_) return;
    // The queue drops a cancelled entry when it is next due.
    timer_->Cancel();
    timer_ = nullptr;
}

void oxAnimationScheduler::OnTimer(oxTimerEntry* entry) {
    (void)entry;
    if (!timer_) return;
    const DWORD now = GetTickCount();
    for (cursor_ = animations_.begin(); cursor_ != animations_.end();) {
        oxAnimationInstance* a = *cursor_++;
        current_ = a;
        const float progress = a->GetProgress();
        if (oxBox* target = a->GetTarget(); target && progress > 0.0f && progress < 1.0f) target->RequestRepaint();
        a->Advance(now);
    }
    current_ = nullptr;
}
