#pragma once
// oxPageTurnEffect: the source is lifted from its bottom-left corner and rolled over a cylinder
// toward the top right like a turned page, showing the target beneath. What has gone over the
// cylinder lies mirrored on the page (its back shows the source), and part of the curl carries a
// highlight. Every surface pixel is written each drawn frame, so a frame does not depend on the last.
#include "toolkit/animation/transition_effect.h"

class oxPageTurnEffect : public oxTransitionEffect {
public:
    oxPageTurnEffect();
    // 0 (nothing drawn, no frame counted) for a progress outside (0, 1].
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Page Turn"; }

    // The curl table's entry for x in [0, 1]: x * 1024 rounded to nearest even, modulo 1024.
    float TableLookup(float x) const;
    static int32_t TableIndex(float x);
    // A curl pixel lit by the highlight of strength J (up to 179): each colour channel moves toward
    // white, alpha stays; 16-bit pixels in the current layout, their channels' top five bits.
    static uint32_t Highlight32(uint32_t c, int32_t j);
    static uint16_t Highlight16(uint16_t c, int32_t j);

private:
    float foldAngle_ = 75.0f;
    float curlRadius_ = 200.0f;
    float curl_[1024];
};
