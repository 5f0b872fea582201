#pragma once
// oxSpinZoomEffect: one picture drawn over the other, scaled about the centre and, with an angle,
// turned: the target grows in over the source (zoom 1), the source shrinks away over the target
// (zoom -1), or the target turns at full size (zoom 0). The turn left to go falls to 0 as the
// moving picture reaches its full size, so a growing picture ends upright.
#include <vector>

#include "toolkit/animation/transition_effect.h"

class oxSpinZoomEffect : public oxTransitionEffect {
public:
    // `angle` in degrees over the whole transition; `zoom` 1 grows, -1 shrinks, 0 keeps the size.
    oxSpinZoomEffect(float angle, int32_t zoom) : angle_(angle), zoom_(zoom) {}
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "SpinZoom"; }

private:
    // The texture of the turn: the moving picture itself, or its 32-bit copy when it has 16 bits,
    // which the textured fill does not read; made on a run's first frame.
    const oxPixelBuffer& Texture(const oxPixelBuffer& moving);

    float angle_;
    int32_t zoom_;
    std::vector<uint32_t> wide_;
    oxPixelBuffer wideView_;
};
