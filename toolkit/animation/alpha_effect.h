#pragma once
// oxAlphaEffect: dissolves from source to target in the order of a smooth random mask. At the
// start it scales 16 random levels up into an 8-bit mask of the picture's size (freed by Finish)
// and notes where each level lies; every frame redraws only the pixels whose levels the moving
// threshold passed or now blends.
#include <cstdint>
#include <memory>

#include "graphics/pixels/dib_bitmap.h"
#include "toolkit/animation/transition_effect.h"

class oxAlphaEffect : public oxTransitionEffect {
public:
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    bool Finish() override;
    const char* GetName() const override { return "Alpha"; }

    // The mask between Start and Finish, else null.
    const oxPixelBuffer* Mask() const { return mask_ ? &mask_->pixels : nullptr; }

private:
    std::unique_ptr<oxDibBitmap> mask_;
    int32_t low_ = 0, high_ = -1; // the levels the last frame blended
    RECT boxes_[256] = {};        // where each mask level lies; right and bottom exclusive
};

// Scales an 8-bit picture into another, each pixel the nearest sample or, with `bilinear`, the
// mix of its four neighbours, stepping in 16.16.
void ScaleMask8(oxPixelBuffer& destination, const oxPixelBuffer& source, bool bilinear);
