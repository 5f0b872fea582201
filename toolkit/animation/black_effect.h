#pragma once
// oxBlackEffect: fades the source out to black, then the target in from black. Each frame redraws
// every other row, alternating with a parity that all black effects of the process share.
#include "toolkit/animation/transition_effect.h"

class oxBlackEffect : public oxTransitionEffect {
public:
    bool RenderFrame(float progress) override;
};
