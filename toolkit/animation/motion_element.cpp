#include "toolkit/animation/motion_element.h"

#include <new>

#include "toolkit/core/box.h"

namespace {

// Moves the box from where it stood at the first frame by the distance times the progress.
class MotionInstance : public oxTimedAnimationInstance {
public:
    MotionInstance(oxMotionElement* element, oxBox* target) : oxTimedAnimationInstance(element, target) {}

protected:
    void OnFirstFrame() override {
        auto* element = static_cast<oxMotionElement*>(element_);
        oxBox* target = GetTarget();
        if (!target || !element) return;
        start_ = target->GetBoxRect();
        distance_ = element->GetBy() != 0 ? element->GetBy() : element->GetTo() - element->GetFrom();
        begun_ = true;
        OnFrame();
    }
    void OnFrame() override { MoveTo(int32_t(float(distance_) * GetProgress())); }
    void OnLastFrame() override { MoveTo(distance_); }

private:
    void MoveTo(int32_t offset) {
        oxBox* target = GetTarget();
        if (target && begun_) target->SetBoxPosition(oxPoint{start_.x + offset, start_.y});
    }

    oxRect start_;
    int32_t distance_ = 0;
    bool begun_ = false;
};

} // namespace

int32_t oxMotionElement::SetAttribute(oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomBy:
        by_ = ParseRepeatCount(value);
        return 0;
    case kAtomFrom:
        from_ = ParseRepeatCount(value);
        return 0;
    case kAtomTo:
        to_ = ParseRepeatCount(value);
        return 0;
    case kAtomCalcMode:
        return 0; // accepted; the motion is always linear in the progress
    default:
        return oxAnimationElement::SetAttribute(attribute, value);
    }
}

oxTimedAnimationInstance* oxMotionElement::CreateInstance(oxBox* target) {
    return new (std::nothrow) MotionInstance(this, target);
}
