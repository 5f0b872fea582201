#include "toolkit/animation/slide_uncover_effect.h"

#include "graphics/raster/blitter.h"

bool oxSlideUncoverEffect::RenderFrame(float progress) {
    const bool reverse = mode_ != 0;
    const float p = reverse ? 1.0f - progress : progress;
    const int32_t w = source_.width, h = source_.height;
    const float e = p * p * (3.0f - 2.0f * p);
    const int32_t ox = int32_t(float(w) * parameters_[0] * e), oy = int32_t(float(h) * parameters_[1] * e);
    RecastUpdateItems(reverse);
    surface_.BeginBatch();
    oxPixelBuffer surface = surface_.Target();
    const RECT whole{0, 0, w, h}, moved{ox, oy, w + ox, h + oy};
    oxBlitter().DrawImage(surface, &whole, target_, nullptr, false, false);
    oxBlitter().DrawImage(surface, &moved, source_, nullptr, false, false);
    oxUpdateItem item;
    item.source = item.destination = whole;
    SetUpdateItem(item);
    surface_.EndBatch();
    return DrawProgress(p, false);
}
