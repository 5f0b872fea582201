#pragma once
// oxRippleEffect: circular waves run out from the centre. Pixels are displaced radially by a wave
// whose strength peaks halfway, and the change from source to target spreads along a wave front.
// Each frame builds two radial tables indexed by the squared distance from the centre (a
// displacement scale and a blend level) and draws every pair of pixels of a row from one sample.
#include <cstdint>
#include <memory>

#include "toolkit/animation/transition_effect.h"

class oxRippleEffect : public oxTransitionEffect {
public:
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    bool Finish() override;
    const char* GetName() const override { return "Ripple"; }

    // The tables of the last frame (null outside a run): the displacement in 8.8 fixed point and
    // the blend level 0..255 at squared distance 32 k from the centre, for k up to TableLength().
    const int32_t* Displacements() const { return displacement_.get(); }
    const uint8_t* Levels() const { return blend_.get(); }
    int32_t TableLength() const { return length_; }

private:
    void BuildTables(float a);

    int32_t length_ = 0;
    std::unique_ptr<int32_t[]> displacement_;
    std::unique_ptr<uint8_t[]> blend_;
    int32_t cx_ = 0, cy_ = 0;
    float r2_ = 0, r_ = 0;
    int32_t width_ = 0, height_ = 0;
};
