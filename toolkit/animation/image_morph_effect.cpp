#include "toolkit/animation/image_morph_effect.h"

#include <algorithm>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/blitter.h"
#include "toolkit/animation/effect_pixels_internal.h"

namespace {

// The picture scaled (nearest sample, 16.16 steps) into `to` on the surface with opacity from
// `fade` (0 opaque, 1 invisible). 32-bit pairs go through the blitter; the blitter copies 16-bit
// pictures without their opacity, so those blends, and mixed depths, are drawn here.
void DrawFaded(oxPixelBuffer& surface, const RECT& to, const oxPixelBuffer& picture, float fade) {
    const int32_t k = OpacityFromFade(fade);
    // Opaque pictures of the surface's depth, and every 32-bit pair, go through the blitter.
    if ((surface.bpp == 32 && picture.bpp == 32) || (k == 256 && surface.bpp == picture.bpp)) {
        oxBlitter blitter;
        blitter.fade = fade;
        blitter.DrawImage(surface, &to, picture, nullptr, false, false);
        return;
    }
    const int32_t w = to.right - to.left, h = to.bottom - to.top;
    if (k == 0 || w <= 0 || h <= 0 || !picture.HasPixels() || (picture.bpp != 16 && picture.bpp != 32) ||
        (surface.bpp != 16 && surface.bpp != 32))
        return;
    const int64_t stepX = (int64_t(picture.width) << 16) / w, stepY = (int64_t(picture.height) << 16) / h;
    const int32_t x0 = std::max(to.left, 0), x1 = std::min(to.right, surface.width);
    const int32_t y0 = std::max(to.top, 0), y1 = std::min(to.bottom, surface.height);
    // A 16-bit picture keeps its own layout until it meets a 32-bit surface.
    SetPixelFormatForLayout(surface.bpp == 16 ? surface.layout : picture.layout);
    for (int32_t y = y0; y < y1; ++y) {
        const int32_t sy = std::min(int32_t(((y - to.top) * stepY) >> 16), picture.height - 1);
        const uint16_t* narrow = picture.GetRow16(sy);
        const uint32_t* wide = picture.GetRow32(sy);
        uint16_t* out16 = surface.GetRow16(y);
        uint32_t* out32 = surface.GetRow32(y);
        for (int32_t x = x0; x < x1; ++x) {
            const int32_t sx = std::min(int32_t(((x - to.left) * stepX) >> 16), picture.width - 1);
            if (surface.bpp == 32) {
                out32[x] = oxMix32(out32[x], 0xFF000000u | ExpandFrom16(narrow[sx]), uint32_t(k));
            } else {
                const uint32_t p = picture.bpp == 16 ? narrow[sx] : DitherTo16(wide[sx], x, y);
                out16[x] = oxMix16(out16[x], p, oxDitheredWeight(uint32_t(k), x, y));
            }
        }
    }
}

} // namespace

bool oxImageMorphEffect::RenderFrame(float a) {
    if (!from_ || !to_ || from_->size() != to_->size()) return false;
    surface_.BeginBatch();
    const RECT full{0, 0, source_.width, source_.height};
    oxPixelBuffer surface;
    surface.InitSubRect(surface_.Target(), &full);
    if (!surface.HasPixels()) {
        surface_.EndBatch();
        return false;
    }
    if (background_)
        DrawFaded(surface, full, *background_, 0.0f);
    else
        oxBlitter().FillRect(surface, &full, surface.bpp == 16 ? oxPack16(fillColor_, surface.layout) : fillColor_);
    surface_.SetAlpha(255);
    for (size_t n = 0; n < from_->size(); ++n) {
        const oxSnapshotImageItem& from = (*from_)[n];
        const oxSnapshotImageItem& to = (*to_)[n];
        const oxPixelBuffer* first = from.Picture();
        const oxPixelBuffer* second = to.Picture();
        if (!first || !second) continue;
        const oxRect& f = from.rect;
        const oxRect& t = to.rect;
        const int32_t left = int32_t(float(t.x - f.x) * a + float(f.x));
        const int32_t top = int32_t(float(t.y - f.y) * a + float(f.y));
        const int32_t right = int32_t(float(t.width - f.width) * a + float(f.width + left));
        const int32_t bottom = int32_t(float(t.height - f.height) * a + float(f.height + top));
        const RECT place{left, top, right, bottom};
        const float shown = std::clamp(a, 0.0f, 1.0f);
        if (shown < 1.0f) DrawFaded(surface, place, *first, shown);
        if (1.0f - shown < 1.0f) DrawFaded(surface, place, *second, 1.0f - shown);
    }
    surface_.EndBatch();
    return DrawProgress(a, false);
}
