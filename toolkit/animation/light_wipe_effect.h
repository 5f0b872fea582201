#pragma once
// oxLightWipeEffect: a band through the centre, at an angle drawn when the effect is made, widens
// until it covers the picture. Inside it the target shows; outside it the source is averaged with
// the target pixel on the band's edge along the ray from the centre, so the opening's edge seems to
// shine outward in streaks.
#include <cstdint>
#include <vector>

#include "toolkit/animation/transition_effect.h"

class oxLightWipeEffect : public oxTransitionEffect {
public:
    // The angle, 0 to 180 degrees, comes from the platform's random numbers.
    oxLightWipeEffect();
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Light Wipe"; }

    float Angle() const { return angle_; }
    // The band's half-width in the last frame, in pixels along the wipe direction.
    float Position() const { return position_; }
    POINT Centre() const { return POINT{cx_, cy_}; }

private:
    template <typename Pixel>
    void Draw(oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target);

    int32_t width_ = 0, height_ = 0;
    float extent_ = 0;
    float position_ = 0;
    int32_t cx_ = 0, cy_ = 0;
    bool prepared_ = false;
    float rotation_[4] = {};
    float direction_[2] = {};
    float angle_;
    std::vector<uint32_t> plus_, minus_; // the edge lines' samples
};
