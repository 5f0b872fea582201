#pragma once
// oxMotionElement (`animateMotion`): moves its box along the x axis over the animation, by `by`
// units or from `from` to `to`, starting where the box stands.
#include "toolkit/animation/animation_element.h"

class oxMotionElement : public oxAnimationElement {
public:
    using oxAnimationElement::oxAnimationElement;

    int32_t SetAttribute(oxAtom attribute, const WCHAR* value) override;
    oxTimedAnimationInstance* CreateInstance(oxBox* target) override;

    int32_t GetMode() const { return mode_; }
    int32_t GetFrom() const { return from_; }
    int32_t GetTo() const { return to_; }
    int32_t GetBy() const { return by_; }

private:
    int32_t mode_ = 3;
    int32_t from_ = 0, to_ = 0, by_ = 0;
};
