#pragma once
// oxRadialWipeEffect: a circle about the picture's centre with a lens ring around it. Inward, a
// circle of the target opens from the centre and the source around it is pushed outward through
// the lens, blending into the target over a soft ring at the circle's edge. Outward, the source
// shrinks into a closing circle, the lens draws it toward the centre, and the target shows outside.
// Only the pixels of the circle, the lens and (outward) the outside are written in a frame.
#include <cstdint>

#include "toolkit/animation/transition_effect.h"

class oxRadialWipeEffect : public oxTransitionEffect {
public:
    oxRadialWipeEffect() = default;
    explicit oxRadialWipeEffect(bool out) : out_(out) {}
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Radial Wipe"; }

    // Each channel of b moved toward a by t / 256: b at 0, a from 255 on.
    static uint32_t LerpPixel32(uint32_t a, uint32_t b, uint32_t t);
    // The same on 5-5-5 pixels over 32 levels: b at 0, a from 31 on.
    static uint16_t LerpPixel555(uint16_t a, uint16_t b, uint32_t t);
    // The largest squared distance from (cx, cy) to a corner of (0, 0, w, h).
    static float MaxCornerDistanceSquared(float cx, float cy, int32_t w, int32_t h);

private:
    bool out_ = false;
};
