#include "toolkit/animation/radial_wipe_effect.h"

#include <algorithm>
#include <cmath>

#include "graphics/pixels/number_utils.h"
#include "toolkit/animation/effect_views.h"

namespace {

struct Lens {
    float cx, cy, r2, lens, k, fadeStart, fade;
    bool out;
};

// One pixel of the lens ring (or the circle) at offset (dx, dy) from the centre.
template <typename Pixel>
Pixel LensPixel(const Lens& l, const oxPixelBuffer& source, Pixel current, Pixel under, float dx, float dy) {
    const float d2 = dx * dx + dy * dy;
    if (d2 <= l.r2) return l.out ? current : under;
    const float g = (d2 - l.r2) * l.k;
    const float m = l.out ? 1.0f - g * g : (2.0f - g) * g;
    const int32_t sx = RoundToInt(double(dx * m + l.cx)), sy = RoundToInt(double(dy * m + l.cy));
    Pixel p = uint32_t(sx) < uint32_t(source.width) && uint32_t(sy) < uint32_t(source.height)
                  ? RowOf<Pixel>(source, sy)[sx]
                  : Pixel(0);
    const bool ring = l.out ? d2 > l.fadeStart : d2 < l.fadeStart;
    if (!ring) return p;
    if constexpr (sizeof(Pixel) == 2) {
        // Without alpha the ring shows the target.
        return oxRadialWipeEffect::LerpPixel555(p, under, 0);
    } else {
        const float weight = l.out ? (l.lens - d2) * l.fade : 1.0f - (l.fadeStart - d2) * l.fade;
        const uint32_t alpha = uint32_t(RoundToInt(double(weight * float(p >> 24)))) & 0xFF;
        p = (p & 0x00FFFFFFu) | (alpha << 24);
        return oxRadialWipeEffect::LerpPixel32(p, under, alpha);
    }
}

template <typename Pixel>
void Wipe(const Lens& l, const oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target,
          float s) {
    const int32_t w = surface.width, h = surface.height;
    for (int32_t y = 0; y < h; ++y) {
        Pixel* out = RowOf<Pixel>(surface, y);
        const Pixel* under = RowOf<Pixel>(target, y);
        const float dy = float(y) - l.cy;
        const float room = l.lens - dy * dy;
        const bool span = room > 0.0f;
        const float c = span ? float(std::sqrt(double(room))) : s * 4.0f;
        const int32_t from = std::max(RoundToInt(double(l.cx - c)), 0);
        const int32_t to = std::min(RoundToInt(double(c + l.cx)), w);
        if (!span) {
            if (l.out)
                for (int32_t x = from; x < to; ++x)
                    out[x] = under[x];
            continue;
        }
        if (l.out)
            for (int32_t x = 0; x < std::min(from, w); ++x)
                out[x] = under[x];
        float dx = float(from) - l.cx;
        for (int32_t x = from; x < to; ++x, dx += 1.0f)
            out[x] = LensPixel<Pixel>(l, source, out[x], under[x], dx, dy);
        if (l.out)
            for (int32_t x = std::max(from, to); x < w; ++x)
                out[x] = under[x];
    }
}

} // namespace

uint32_t oxRadialWipeEffect::LerpPixel32(uint32_t a, uint32_t b, uint32_t t) {
    if (t == 0) return b;
    if (t >= 255) return a;
    constexpr uint32_t M = 0x00FF00FF;
    const uint32_t rb = (b & M) + ((((a & M) - (b & M)) * t) >> 8);
    const uint32_t ag = ((b >> 8) & M) + (((((a >> 8) & M) - ((b >> 8) & M)) * t) >> 8);
    return (rb & M) | ((ag << 8) & ~M);
}

uint16_t oxRadialWipeEffect::LerpPixel555(uint16_t a, uint16_t b, uint32_t t) {
    if (t == 0) return b;
    if (t >= 31) return a;
    const int32_t d = int32_t(t) + 1;
    auto channel = [&](int shift) {
        const int32_t ca = (a >> shift) & 31, cb = (b >> shift) & 31;
        const int32_t moved = (ca - cb) * d;
        return uint32_t(cb + (moved >= 0 ? moved / 32 : -((-moved + 31) / 32))) << shift;
    };
    return uint16_t(channel(10) | channel(5) | channel(0));
}

float oxRadialWipeEffect::MaxCornerDistanceSquared(float cx, float cy, int32_t w, int32_t h) {
    float most = 0.0f;
    for (float x : {0.0f, float(w)})
        for (float y : {0.0f, float(h)})
            most = std::max(most, (x - cx) * (x - cx) + (y - cy) * (y - cy));
    return most;
}

bool oxRadialWipeEffect::RenderFrame(float p) {
    surface_.BeginBatch();
    const int32_t w = source_.width, h = source_.height;
    const oxEffectViews v(surface_.Target(), target_, source_);
    if (p > 0.0f && v.Usable()) {
        Lens l{};
        l.out = out_;
        l.cx = float(w) * 0.5f;
        l.cy = float(h) * 0.5f;
        const float q = out_ ? 1.0f - p : p;
        const float s = float(double(q) * std::sqrt(double(MaxCornerDistanceSquared(l.cx, l.cy, w, h))));
        l.r2 = s * s;
        l.lens = l.r2 * 2.5f;
        l.k = 1.0f / (l.r2 * 1.5f);
        if (!out_) {
            l.fadeStart = (s + 1.5f) * (s + 1.5f);
            l.fade = 1.0f / (l.fadeStart - l.r2);
        } else {
            const float e = s - 1.5f;
            l.fadeStart = e * e * 2.5f;
            if (e < 0) l.fadeStart = -l.fadeStart;
            l.fade = 1.0f / (l.lens - l.fadeStart);
        }
        if (v.surface.bpp == 32)
            Wipe<uint32_t>(l, v.surface, v.source, v.target, s);
        else
            Wipe<uint16_t>(l, v.surface, v.source, v.target, s);
    }
    const bool done = DrawProgress(p, false);
    surface_.EndBatch();
    return done;
}
