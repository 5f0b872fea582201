#include "toolkit/animation/black_effect.h"

#include <cmath>

#include "toolkit/animation/effect_pixels_internal.h"

namespace {

// Shared by every black effect and never reset: the rows a frame draws depend on all frames before.
int g_parity = 0;

constexpr uint32_t kBlack = 0xFF000000u;

} // namespace

bool oxBlackEffect::RenderFrame(float a) {
    if (a >= 1.0f) a = 0.9999f;
    surface_.BeginBatch();
    oxEffectViews views(surface_.Target(), source_, target_);
    oxPixelBuffer& surface = views.surface;
    const oxPixelBuffer& image = a <= 0.75f ? views.source : views.target;
    if (!views.Fit()) {
        surface_.EndBatch();
        return false;
    }
    float g = float(std::fabs(0.75 - double(a)) * 1.3333333);
    if (a > 0.75f) g *= 3.0f;
    const uint32_t level = uint32_t(std::min(double(g) * 255.0 + 0.5, 255.0));
    g_parity ^= 1;
    const int32_t w = image.width, h = image.height;
    if (surface.bpp == 32) {
        for (int32_t y = g_parity; y < h; y += 2) {
            const uint32_t* from = image.GetRow32(y);
            uint32_t* to = surface.GetRow32(y);
            for (int32_t x = 0; x < w; ++x)
                to[x] = oxMix32(kBlack, from[x], level);
        }
    } else {
        SetPixelFormatForLayout(surface.layout);
        for (int32_t y = g_parity; y < h; y += 2) {
            const uint16_t* from = image.GetRow16(y);
            uint16_t* to = surface.GetRow16(y);
            // The level's dithered 5-bit weight: a weight of level / 8 / 8 would reach only 4 of 32,
            // leaving every row close to black.
            for (int32_t x = 0; x < w; ++x)
                to[x] = oxMix16(0, from[x], oxDitheredWeight(level, x, y));
        }
    }
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}
