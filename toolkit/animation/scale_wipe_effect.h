#pragma once
// oxScaleWipeEffect: a straight wipe line at a random angle sweeps across the picture. Behind it
// each pixel shows the source sampled close to the line, its distance compressed, so the strip of
// source next to the line is stretched over the whole passed side; a sample outside the picture
// shows the target. The side not yet reached keeps the source.
#include "toolkit/animation/transition_effect.h"

class oxScaleWipeEffect : public oxTransitionEffect {
public:
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Scale Wipe"; }

    // The integer just above x: floor(x + 1.5e-8) + 1.
    static double NextIntAbove(double x);
    // The wipe direction (cos, sin) that every scale wipe shares; (1, 0) until a first angle is drawn.
    static void Direction(float* c, float* s);
};
