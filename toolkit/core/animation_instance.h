#pragma once
// oxAnimationInstance: one running style animation, as the scheduler sees it. The animation module
// makes the instances; the scheduler advances the listed ones together on its timer and destroys
// them when they leave its list.
#include <cstdint>

#include "platform/types.h"

class oxBox;

class oxAnimationInstance {
public:
    oxAnimationInstance(uint32_t animationId, oxBox* target, oxAnimationInstance* owner)
        : animationId_(animationId), target_(target), owner_(owner) {}
    oxAnimationInstance(const oxAnimationInstance&) = delete;
    oxAnimationInstance& operator=(const oxAnimationInstance&) = delete;
    virtual ~oxAnimationInstance() = default;

    // The progress of the current pass, 0 to 1.
    virtual float GetProgress() const = 0;
    // One step at `time` (the timer queue's tick count); may remove the instance from the scheduler,
    // which destroys it, so nothing of the instance may be touched after that.
    virtual void Advance(DWORD time) = 0;

    uint32_t GetAnimationId() const { return animationId_; }
    oxBox* GetTarget() const { return target_; }
    oxAnimationInstance* GetOwner() const { return owner_; }
    // The target goes away: the instance runs on without it and without its owner.
    void ForgetTarget() {
        target_ = nullptr;
        owner_ = nullptr;
    }

private:
    uint32_t animationId_;
    oxBox* target_;
    oxAnimationInstance* owner_;
};
