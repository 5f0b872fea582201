#include "toolkit/animation/animation_timing.h"

#include <algorithm>
#include <vector>

#include "platform/win/clock.h"
#include "toolkit/animation/animation_element.h"
#include "toolkit/core/animation_scheduler.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/scene.h"

oxTimedAnimationInstance::oxTimedAnimationInstance(oxAnimationElement* element, oxBox* target)
    : oxAnimationInstance(element ? element->GetSerial() : 0, target, nullptr), element_(element) {
    if (element_) element_->AddInstance(this);
}

namespace {

// The style animations running, one per box at most.
std::vector<oxTimedAnimationInstance*>& StyleStarted() {
    static std::vector<oxTimedAnimationInstance*> instances;
    return instances;
}

} // namespace

oxTimedAnimationInstance::~oxTimedAnimationInstance() {
    SetStyleStarted(false);
    if (element_) element_->RemoveInstance(this);
}

void oxTimedAnimationInstance::SetStyleStarted(bool on) {
    if (on == styleStarted_) return;
    styleStarted_ = on;
    auto& list = StyleStarted();
    if (on) list.push_back(this);
    else list.erase(std::find(list.begin(), list.end(), this));
}

oxTimedAnimationInstance* oxTimedAnimationInstance::FindStyleStarted(const oxBox* box) {
    if (!box) return nullptr;
    for (oxTimedAnimationInstance* instance : StyleStarted())
        if (instance->GetTarget() == box && !instance->IsStopped() && !instance->IsCancelled()) return instance;
    return nullptr;
}

void oxTimedAnimationInstance::Advance(DWORD time) {
    // A held instance's clock stands still, so the time it was held is not counted afterwards.
    const int elapsed = registered_ ? int(time - lastTick_) : 0;
    lastTick_ = time;
    Step(elapsed);
}

float oxTimedAnimationInstance::GetProgress() const {
    if (!element_) return 0.0f;
    const int dur = element_->GetDur();
    const float p = dur == 0 ? 0.0f : (float(timeInPass_) - float(element_->GetBegin())) / float(dur);
    return oxDynamics::Apply(element_->GetDynamics(), p);
}

void oxTimedAnimationInstance::Step(int elapsed) {
    if (!element_) return Stop(false);
    if (held_ || stopped_) {
        if (!GetTarget()) Stop(false);
        return;
    }
    timeInPass_ += elapsed;
    totalTime_ += elapsed;
    const int repeatDur = element_->GetRepeatDur();
    if (repeatDur > 0 && totalTime_ > repeatDur) return Stop(false);

    bool frame;
    if (IsGroup() && element_->GetDur() == 0) {
        frame = true; // a group without its own duration has no window
    } else if (timeInPass_ < element_->GetBegin()) {
        return; // waiting for the begin
    } else {
        frame = timeInPass_ <= element_->GetEnd();
    }

    if (frame) {
        framesInPass_ += 1;
        if (framesInPass_ == 1) {
            FireEvent(kAtomFirstFrame);
            if (cancelled_) return Cancel(false);
            if (stopRequested_) return Stop(false);
        }
        FireEvent(kAtomFrame);
        if (cancelled_) return Cancel(false);
        if (stopRequested_) return Stop(false);
        if (IsGroup() || (element_ && element_->GetDur() != 0)) return;
        // A leaf without duration ends at its first frame.
        FireEvent(kAtomLastFrame);
        if (stopRequested_) return Stop(false);
        return EndOfPass();
    }

    framesInPass_ += 1;
    FireEvent(kAtomLastFrame);
    if (cancelled_) return Cancel(false);
    if (stopRequested_) return Stop(false);
    EndOfPass();
}

void oxTimedAnimationInstance::EndOfPass() {
    bool repeat = !element_;
    if (!repeat) {
        const int repeatDur = element_->GetRepeatDur();
        const int repeatCount = element_->GetRepeatCount();
        // The count is compared before the reset bumps it: repeatCount n >= 1 plays n + 2 passes.
        repeat = repeatDur == -1 || repeatCount == -1 || (repeatDur != 0 && repeatDur >= totalTime_) ||
                 (repeatCount != 0 && repeatCount >= iteration_);
    }
    if (repeat) ResetTiming();
    else Stop(false);
}

void oxTimedAnimationInstance::ResetTiming() {
    iteration_ += 1;
    framesInPass_ = 0;
    timeInPass_ = 0;
    stopped_ = held_ = firstFrameSent_ = frameSent_ = false;
}

void oxTimedAnimationInstance::Schedule() {
    oxAnimationScheduler& scheduler = oxAnimationScheduler::Instance();
    scheduler.Add(this);
    if (!registered_) {
        registered_ = scheduler.Find(GetAnimationId(), GetTarget()) != nullptr;
        lastTick_ = GetTickCount();
    }
    held_ = true;
}

void oxTimedAnimationInstance::Play() {
    firstFrameSent_ = frameSent_ = false;
    if (!held_) Schedule();
    FireEvent(kAtomPlay);
    if (stopRequested_) return Stop(false);
    held_ = stopped_ = false;
    Step(0);
}

void oxTimedAnimationInstance::Pause() {
    FireEvent(kAtomPause);
    if (stopRequested_) return Stop(false);
    held_ = true;
}

void oxTimedAnimationInstance::Stop(bool fromScheduler) {
    (void)fromScheduler; // the scheduler's removal finds the instance wherever its walk stands
    if (eventDepth_ > 0) {
        stopRequested_ = true;
        return;
    }
    const bool wasStopped = stopped_;
    stopped_ = true;
    // A stopped child without its element is stopped again at every tick: its group hears it once.
    if (parent_) return wasStopped ? void() : parent_->OnChildStopped();
    if (GetTarget()) FireEvent(kAtomStop);
    else OnTargetGone();
    Finish();
}

void oxTimedAnimationInstance::Cancel(bool fromScheduler) {
    (void)fromScheduler;
    cancelled_ = true;
    if (eventDepth_ > 0) {
        stopRequested_ = true;
        return;
    }
    if (parent_) return parent_->OnChildCancelled();
    FireEvent(kAtomCancel);
    Finish();
}

void oxTimedAnimationInstance::Finish() {
    oxAnimationScheduler& scheduler = oxAnimationScheduler::Instance();
    // An instance that never reached the list (its box was gone) is freed here instead.
    if (registered_ && GetTarget()) scheduler.Remove(this, 0);
    else if (registered_) scheduler.Remove(this, 0);
    else delete this;
}

void oxTimedAnimationInstance::FireEvent(oxAtom type) {
    eventDepth_ += 1;
    if (type == kAtomLastFrame) {
        // Catch-up events for a pass that jumped past its end; the hooks do not run for them.
        if (!firstFrameSent_) SendToBox(kAtomFirstFrame);
        if (!frameSent_) SendToBox(kAtomFrame);
    } else {
        SendToBox(type);
    }
    switch (type) {
    case kAtomPlay: OnPlay(); break;
    case kAtomPause: OnPause(); break;
    case kAtomStop: OnStop(); break;
    case kAtomCancel: OnCancel(); break;
    case kAtomFirstFrame:
        firstFrameSent_ = true;
        OnFirstFrame();
        break;
    case kAtomFrame:
        frameSent_ = true;
        OnFrame();
        break;
    case kAtomLastFrame:
        OnLastFrame();
        SendToBox(kAtomLastFrame);
        break;
    default: break;
    }
    eventDepth_ -= 1;
}

void oxTimedAnimationInstance::SendToBox(oxAtom type) {
    oxBox* target = GetTarget();
    if (!element_ || !target) return;
    auto* scene = dynamic_cast<oxScene*>(target->GetScene());
    if (!scene) return;
    oxAnimationEvent event(type, target, this);
    scene->DispatchEvent(&event);
}

oxTimedAnimationInstance* oxTimedAnimationInstance::FindOrCreate(oxAnimationElement* element, oxBox* target) {
    if (!element) return nullptr;
    oxAnimationScheduler& scheduler = oxAnimationScheduler::Instance();
    auto* found = static_cast<oxTimedAnimationInstance*>(scheduler.Find(element->GetSerial(), target));
    if (found && !found->IsStopped() && !found->IsCancelled()) return found;
    oxTimedAnimationInstance* made = element->CreateInstance(target);
    if (!made) return nullptr;
    oxAnimationElement* parentElement = element->GetParentElement();
    made->SetParent(parentElement ? static_cast<oxTimedAnimationInstance*>(
                                        scheduler.Find(parentElement->GetSerial(), target))
                                  : nullptr);
    return made;
}
