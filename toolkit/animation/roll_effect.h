#pragma once
// oxRollEffect: rolls the source up from the top like a sheet of paper. A lit cylinder a tenth of
// the picture high moves down; above it the target shows, on it the source rows wrapped around
// it, below it the flat source. It works a row at a time, copies target rows only once, and paints
// only the rows between the last frame's cylinder and this one's.
#include "toolkit/animation/transition_effect.h"

class oxRollEffect : public oxTransitionEffect {
public:
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Roll"; }

    // The rows the cylinder covered in the last frame (left, top, right, bottom).
    const RECT& Band() const { return band_; }

private:
    RECT band_{0, 0, 0, 0};
};
