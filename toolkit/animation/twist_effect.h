#pragma once
// oxTwistEffect: a band twice the picture's height sweeps down; in it each row turns about the
// vertical centre line, narrowing the target to nothing and widening the source again (seen from
// the bottom of the band up), with black margins beside a narrowed row.
#include "toolkit/animation/transition_effect.h"

class oxTwistEffect : public oxTransitionEffect {
public:
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Twist"; }
};
