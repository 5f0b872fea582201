#pragma once
// Effects that slide or squeeze the two pictures along one axis, (dx, dy) each -1, 0 or 1: the
// target slides in over the still source (move), pushes the source out (push), or the boundary
// between them moves with each picture scaled to its side (squash).
#include "toolkit/animation/transition_effect.h"

class oxAxisEffect : public oxTransitionEffect {
public:
    oxAxisEffect(float dx, float dy) {
        parameters_[0] = dx;
        parameters_[1] = dy;
    }

protected:
    // A whole picture into a rectangle of the surface, scaled when the sizes differ.
    void DrawPicture(const oxPixelBuffer& picture, const RECT& to);
};

class oxMoveEffect : public oxAxisEffect {
public:
    using oxAxisEffect::oxAxisEffect;
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Move"; }

private:
    float last_ = 0.0f;
};

class oxPushEffect : public oxAxisEffect {
public:
    using oxAxisEffect::oxAxisEffect;
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Push"; }
};

class oxSquashEffect : public oxAxisEffect {
public:
    using oxAxisEffect::oxAxisEffect;
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Squash"; }
};
