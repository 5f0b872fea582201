#include "toolkit/animation/alpha_effect.h"

#include <algorithm>
#include <new>

#include "graphics/pixels/number_utils.h"
#include "toolkit/animation/effect_pixels_internal.h"

void ScaleMask8(oxPixelBuffer& destination, const oxPixelBuffer& source, bool bilinear) {
    if (!destination.HasPixels() || !source.HasPixels() || destination.bpp != 8 || source.bpp != 8) return;
    const int32_t dx = int32_t(double(source.width) / destination.width * 65536.0 + 0.5);
    const int32_t dy = int32_t(double(source.height) / destination.height * 65536.0 + 0.5);
    const int32_t lastX = source.width - 1, lastY = source.height - 1;
    for (int32_t i = 0; i < destination.height; ++i) {
        const int64_t y = int64_t(i) * dy;
        const int32_t row = std::min(int32_t(y >> 16), lastY);
        const uint8_t* p = source.GetRow8(row);
        const uint8_t* q = source.GetRow8(std::min(row + 1, lastY));
        const int32_t fy = int32_t((y >> 8) & 0xFF);
        uint8_t* out = destination.GetRow8(i);
        for (int32_t j = 0; j < destination.width; ++j) {
            const int64_t x = int64_t(j) * dx;
            const int32_t c = std::min(int32_t(x >> 16), lastX), c1 = std::min(c + 1, lastX);
            if (!bilinear) {
                out[j] = p[c];
                continue;
            }
            const int32_t fx = int32_t((x >> 8) & 0xFF);
            const int32_t top = p[c] + ((fx * (p[c1] - p[c])) >> 8);
            const int32_t bottom = q[c] + ((fx * (q[c1] - q[c])) >> 8);
            out[j] = uint8_t(top + (((bottom - top) * fy) >> 8));
        }
    }
}

bool oxAlphaEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    // The first frame redraws every level below its window, not only the window: a first frame that
    // comes late (a short run, a slow device) would otherwise leave those levels on the source.
    low_ = 0, high_ = -1;
    mask_.reset();
    if (!Begin(source, target, window, flag)) return false;
    const int32_t w = source.width, h = target.height;
    mask_.reset(new (std::nothrow) oxDibBitmap(w, h, 8, true, false));
    if (!mask_ || !mask_->valid || !mask_->pixels.HasPixels()) {
        mask_.reset();
        Reset();
        return false;
    }
    uint8_t noise[16];
    for (uint8_t& v : noise)
        v = uint8_t(RandomUnit() * 255.0f);
    oxPixelBuffer small;
    small.InitExternal(noise, 4, 4, 4, 8, 1, true);
    ScaleMask8(mask_->pixels, small, true);
    std::fill(std::begin(boxes_), std::end(boxes_), RECT{100000, 100000, 0, 0});
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = mask_->pixels.GetRow8(y);
        for (int32_t x = 0; x < w; ++x) {
            RECT& box = boxes_[row[x]];
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    return true;
}

bool oxAlphaEffect::Finish() {
    mask_.reset();
    Reset();
    return DrawFinalFrame();
}

bool oxAlphaEffect::RenderFrame(float a) {
    if (!mask_) return false;
    surface_.BeginBatch();
    oxEffectViews views(surface_.Target(), source_, target_);
    oxPixelBuffer& surface = views.surface;
    if (!views.Fit()) {
        surface_.EndBatch();
        return false;
    }
    const int32_t c = a <= 0.0f ? 0 : int32_t(std::min(a, 2.0f) * 256.0f);
    ClearUpdateItems();
    // The ramp: levels well below the threshold show the target, well above it the source, with an
    // edge nine levels wide between.
    uint32_t ramp[256];
    for (int32_t i = 0; i < 256; ++i)
        ramp[i] = i < c - 4 ? 255u : i > c + 4 ? 0u : uint32_t(((c - i) * 255 + 1020) >> 3) & 0xFF;
    const int32_t low = std::max(c - 5, 0), high = std::min(c + 5, 255);
    const int32_t from = std::min(low, low_), to = std::max(high, high_);
    low_ = low, high_ = high;
    RECT dirty{100000, 100000, 0, 0};
    for (int32_t v = from; v <= to && v < 256; ++v) {
        const RECT& box = boxes_[v];
        if (box.left >= box.right) continue;
        dirty.left = std::min(dirty.left, box.left);
        dirty.top = std::min(dirty.top, box.top);
        dirty.right = std::max(dirty.right, box.right);
        dirty.bottom = std::max(dirty.bottom, box.bottom);
    }
    const oxPixelBuffer& mask = mask_->pixels;
    dirty.right = std::min({dirty.right, mask.width, surface.width});
    dirty.bottom = std::min({dirty.bottom, mask.height, surface.height});
    const bool wide = surface.bpp == 32;
    if (!wide) SetPixelFormatForLayout(surface.layout);
    for (int32_t y = dirty.top; y < dirty.bottom; ++y) {
        const uint8_t* levels = mask.GetRow8(y);
        for (int32_t x = dirty.left; x < dirty.right; ++x) {
            const int32_t v = levels[x];
            if (v < from || v > to) continue;
            if (wide) {
                surface.GetRow32(y)[x] = oxMix32(source_.GetRow32(y)[x], target_.GetRow32(y)[x], ramp[v]);
            } else {
                // The ramp's dithered 5-bit weight: a weight of ramp / 8 / 8 would reach only 4 of 32.
                surface.GetRow16(y)[x] =
                    oxMix16(source_.GetRow16(y)[x], target_.GetRow16(y)[x], oxDitheredWeight(ramp[v], x, y));
            }
        }
    }
    SetWholeItem();
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}
