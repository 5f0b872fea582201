#pragma once
// oxImageMorphEffect: morphs a set of pictures. The n-th image item of the first snapshot turns
// into the n-th of the second: its rectangle moves and resizes while the first picture fades out
// and the second fades in, over a background picture or the fill colour.
#include <cstdint>
#include <vector>

#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition_effect.h"

class oxImageMorphEffect : public oxTransitionEffect {
public:
    bool RenderFrame(float progress) override;
    const char* GetName() const override { return "Image Morph"; }

    // The snapshots' lists, not owned: they must stand while the effect renders.
    void SetImageItems(const std::vector<oxSnapshotImageItem>* from, const std::vector<oxSnapshotImageItem>* to) {
        from_ = from;
        to_ = to;
    }
    void SetFillColor(uint32_t argb) { fillColor_ = argb; }

private:
    const std::vector<oxSnapshotImageItem>* from_ = nullptr;
    const std::vector<oxSnapshotImageItem>* to_ = nullptr;
    uint32_t fillColor_ = 0xFF000000u;
};
