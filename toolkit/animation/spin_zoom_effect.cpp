#include "toolkit/animation/spin_zoom_effect.h"

#include <cmath>

#include "graphics/pixels/matrix.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/blitter.h"
#include "toolkit/animation/animation_internal.h"

namespace {

// Halves round up, as the edges of the moving picture do.
int32_t Nearest(float v) {
    return int32_t(std::floor(v + 0.5f));
}

} // namespace

const oxPixelBuffer& oxSpinZoomEffect::Texture(const oxPixelBuffer& moving) {
    if (moving.bpp != 16) return moving;
    if (frames_ == 0 || wideView_.width != moving.width || wideView_.height != moving.height) {
        wide_.assign(size_t(moving.width) * size_t(moving.height), 0u);
        wideView_.InitExternal(wide_.data(), moving.width * 4, moving.width, moving.height, 32, 4, true,
                               kLayoutUnspecified);
        oxExpandOpaque16(wideView_, moving);
    }
    return wideView_;
}

bool oxSpinZoomEffect::RenderFrame(float a) {
    const float b = zoom_ < 0 ? 1.0f - a : a;
    const int32_t w = source_.width, h = source_.height;
    const int32_t wt = target_.width, ht = target_.height;
    const float sw = zoom_ != 0 ? float(wt) * b : float(wt), sh = zoom_ != 0 ? float(ht) * b : float(ht);
    const RECT to{Nearest(float(w / 2) - sw * 0.5f), Nearest(float(h / 2) - sh * 0.5f),
                  Nearest(float(w / 2) + sw * 0.5f), Nearest(float(h / 2) + sh * 0.5f)};
    const oxPixelBuffer& still = zoom_ >= 0 ? source_ : target_;
    const oxPixelBuffer& moving = zoom_ >= 0 ? target_ : source_;

    surface_.BeginBatch();
    oxPixelBuffer surface = surface_.Target();
    const RECT full{0, 0, w, h};
    oxBlitter().DrawImage(surface, &full, still, nullptr, false, false);
    if (angle_ == 0.0f) {
        if (!IsRectEmpty(to)) oxBlitter().DrawImage(surface, &to, moving, nullptr, false, false);
    } else if (!IsRectEmpty(to)) {
        oxMatrix turn;
        turn.Translate(-float(wt / 2), -float(ht / 2), 0.0f);
        turn.RotateZ((1.0f - b) * angle_ * 0.017453292f);
        turn.Translate(float(wt / 2), float(ht / 2), 0.0f);
        // The textured fill writes 16-bit pixels in the process-wide layout: the surface's.
        if (surface.bpp == 16) SetPixelFormatForLayout(surface.layout);
        surface_.SetTransform(turn);
        surface_.SetOption(kOptionUseSourceAlpha, 1);
        surface_.SetTextureImage(&Texture(moving));
        surface_.DrawImageRect(to);
        surface_.SetTextureImage(nullptr);
        surface_.SetOption(kOptionUseSourceAlpha, 0);
        surface_.ResetTransform();
    }
    oxUpdateItem item;
    item.source = item.destination = RECT{0, 0, wt, ht};
    SetUpdateItem(item);
    surface_.EndBatch();
    return DrawProgress(a, false);
}
