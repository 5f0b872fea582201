#pragma once
// oxSlideUncoverEffect: the source slides off in the direction (dx, dy), each -1, 0 or 1, easing in
// and out, and uncovers the still target. It keeps the base's display name.
#include "toolkit/animation/transition_effect.h"

class oxSlideUncoverEffect : public oxTransitionEffect {
public:
    oxSlideUncoverEffect(float dx, float dy) {
        parameters_[0] = dx;
        parameters_[1] = dy;
    }
    bool RenderFrame(float progress) override;
};
