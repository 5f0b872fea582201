#pragma once
// oxBlurEffect: the source blurs away while the target comes into focus. At the start it makes a
// blurred copy of each picture (freed by Finish); every frame moves the source a step further
// towards its blurred copy, in the second half the blurred target a step towards the sharp one,
// and shows the one fading into the other, over every other row in turn.
#include <cstdint>
#include <memory>

#include "graphics/pixels/dib_bitmap.h"
#include "toolkit/animation/transition_effect.h"

class oxBlurEffect : public oxTransitionEffect {
public:
    explicit oxBlurEffect(int32_t radius = 4) : radius_(radius) {}
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    bool Finish() override;
    const char* GetName() const override { return "Blur"; }

    // Whether the blurred copies are held (between Start and Finish).
    bool HoldsImages() const { return blurredSource_ != nullptr; }

private:
    void FreeImages();

    // The source as the frames blur it: a copy, so that the caller's picture is left as it was.
    std::unique_ptr<oxDibBitmap> work_;
    std::unique_ptr<oxDibBitmap> blurredSource_, blurredTarget_;
    int32_t radius_;
};
