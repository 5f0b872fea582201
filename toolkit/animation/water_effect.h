#pragma once
// oxWaterEffect: circular waves run out from the centre and displace pixels radially while the
// picture turns about its centre by an angle that depends on the distance and the progress; the
// change from source to target spreads along a wave front. Each frame fills three radial tables,
// indexed by the squared distance from the centre, then draws each pair of a row from one sample.
#include <cstdint>
#include <vector>

#include "toolkit/animation/transition_effect.h"

class oxWaterEffect : public oxTransitionEffect {
public:
    // Makes the tables for the source's size; false without them.
    bool Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) override;
    bool RenderFrame(float progress) override;
    // Frees the tables, then draws the target.
    bool Finish() override;
    const char* GetName() const override { return "Water"; }

    bool HoldsTables() const { return !scale_.empty(); }
    // Entry k stands for the squared distances 32k to 32k + 31.
    const std::vector<int32_t>& ScaleTable() const { return scale_; }
    const std::vector<int16_t>& SwirlTable() const { return swirl_; }
    const std::vector<uint8_t>& BlendTable() const { return blend_; }

private:
    void FillTables(float a);
    void FreeTables();

    int32_t length_ = 0;
    std::vector<int32_t> scale_;
    std::vector<int16_t> swirl_;
    std::vector<uint8_t> blend_;
    int32_t cx_ = 0, cy_ = 0;
    float r2_ = 0.0f;
    float r_ = 0.0f;
    int32_t width_ = 0, height_ = 0;
};
