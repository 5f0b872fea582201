#include "toolkit/animation/ripple_effect.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/pixels/number_utils.h"
#include "toolkit/animation/effect_pixels_internal.h"

bool oxRippleEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    width_ = source.width;
    height_ = source.height;
    cx_ = width_ / 2;
    cy_ = height_ / 2;
    r2_ = float(cx_) * float(cx_) + float(cy_) * float(cy_);
    r_ = std::sqrt(r2_);
    length_ = int32_t(r2_ * 0.0625f);
    displacement_.reset(new (std::nothrow) int32_t[size_t(length_) + 1]);
    blend_.reset(new (std::nothrow) uint8_t[size_t(length_) + 1]);
    // Without its tables the effect draws no frame between; the run still ends on the target.
    if (!displacement_ || !blend_) {
        displacement_.reset();
        blend_.reset();
    }
    return Begin(source, target, window, flag) && displacement_;
}

bool oxRippleEffect::Finish() {
    displacement_.reset();
    blend_.reset();
    return DrawFinalFrame();
}

void oxRippleEffect::BuildTables(float a) {
    const int32_t n = length_;
    const double m = (0.5 - std::fabs(double(a) - 0.5)) * 0.05;
    const double v = (3.0 - 2.0 * a) * a * a * 2.0 - 0.5;
    // Every eighth entry is computed (entry 0 even for a table of one), the rest interpolated.
    for (int32_t i = 0; i < std::max(n, 1); i += 8) {
        const double at = n > 0 ? double(i) / double(n) : 0.0;
        const double d = at == 0.0 ? 1.0 : 1.0 + m * std::cos((std::sqrt(at) - a) * 20.0) / at;
        const double inner = std::clamp(at * 500.0, 0.0, 1.0);
        const double scale = (3.0 - 2.0 * inner) * inner * inner * d * 256.0;
        displacement_[i] = int32_t(std::clamp(scale, -8388608.0, 8388608.0));
        const double level = (std::cos(at * 25.0 - v * 10.0) + a * 12.0 - 4.0) * 64.0;
        blend_[i] = uint8_t(std::clamp(level, 0.0, 255.0));
    }
    const int32_t last = std::max(n - 1, 0) / 8 * 8; // the last computed entry
    for (int32_t i = 1; i <= n; ++i) {
        const int32_t j = i / 8 * 8;
        if (j == i) continue;
        // Past the last computed entry the tables hold its value: nothing beyond it was computed.
        if (j >= last) {
            displacement_[i] = displacement_[last];
            blend_[i] = blend_[last];
            continue;
        }
        const double t = double(i - j) * 0.125;
        displacement_[i] = RoundToInt(displacement_[j] + (displacement_[j + 8] - displacement_[j]) * t);
        blend_[i] = uint8_t(RoundToInt(blend_[j] + (blend_[j + 8] - blend_[j]) * t));
    }
    if (n > 0) {
        displacement_[n] = displacement_[n - 1];
        blend_[n] = blend_[n - 1];
    }
}

namespace {

struct Ripple {
    const int32_t* displacement;
    const uint8_t* blend;
    int32_t n, cx, cy, w, h;
};

// Each pair of pixels (x, x + 1) of the surface comes from the pair (sx, sx + 1) of row sy.
template <typename Pixel> void DrawRipple(const Ripple& r, oxEffectViews& views) {
    constexpr bool wide = sizeof(Pixel) == 4;
    if (!wide) SetPixelFormatForLayout(views.surface.layout);
    for (int32_t y = 0; y < r.h; ++y) {
        const int64_t dy = y - r.cy;
        Pixel* out = reinterpret_cast<Pixel*>(views.surface.GetRow8(y));
        for (int32_t x = 0; x < r.w; x += 2) {
            const int64_t dx = x - r.cx;
            const int32_t k = int32_t(std::min<int64_t>((dx * dx + dy * dy) >> 5, r.n));
            const int64_t s = r.displacement[k];
            const uint32_t b = r.blend[k];
            int64_t sx = r.cx + ((dx * s) >> 8), sy = r.cy + ((dy * s) >> 8);
            // At 16 bits samples before the picture's start are mirrored back into it.
            if (!wide) sx = sx < 0 ? -sx : sx, sy = sy < 0 ? -sy : sy;
            sx = std::clamp<int64_t>(sx, 0, std::max(r.w - 2, 0));
            sy = std::clamp<int64_t>(sy, 0, r.h - 1);
            const Pixel* from = reinterpret_cast<const Pixel*>(views.source.GetRow8(int32_t(sy))) + sx;
            const Pixel* to = reinterpret_cast<const Pixel*>(views.target.GetRow8(int32_t(sy))) + sx;
            const int32_t count = std::min({2, r.w - x, r.w - int32_t(sx)});
            for (int32_t i = 0; i < count; ++i) {
                if (b <= 5)
                    out[x + i] = from[i];
                else if (b > 250)
                    out[x + i] = to[i];
                else
                    out[x + i] = wide ? Pixel(oxMix32(from[i], to[i], b)) : Pixel(oxMix16(from[i], to[i], b >> 3));
            }
        }
    }
}

} // namespace

bool oxRippleEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    oxEffectViews views(surface_.Target(), source_, target_);
    if (!displacement_ || !views.Fit() || views.source.width != width_ || views.source.height != height_) {
        surface_.EndBatch();
        return false;
    }
    BuildTables(a);
    const Ripple r{displacement_.get(), blend_.get(), length_, cx_, cy_, width_, height_};
    if (views.surface.bpp == 32)
        DrawRipple<uint32_t>(r, views);
    else
        DrawRipple<uint16_t>(r, views);
    SetWholeItem();
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}
