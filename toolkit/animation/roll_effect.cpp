#include "toolkit/animation/roll_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/paint/box_drawing.h"
#include "graphics/pixels/pixel_format.h"
#include "toolkit/animation/effect_pixels_internal.h"

namespace {

// One source row lit onto a surface row: each channel scaled by m / 256 and raised by s.
void LightRow32(uint32_t* to, const uint32_t* from, int32_t w, uint32_t m, uint32_t s) {
    for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = from[x];
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t v = s + ((((p >> shift) & 0xFF) * m) >> 8);
            out |= std::min(v, 255u) << shift;
        }
        to[x] = out;
    }
}

void LightRow16(uint16_t* to, const uint16_t* from, int32_t w, uint32_t m, uint32_t s) {
    const int shifts[3] = {g_pixelFormat.redShift, g_pixelFormat.greenShift, g_pixelFormat.blueShift};
    for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = from[x];
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            // Blue goes back at bit 0 whatever its width, as the other 16-bit renderers write it.
            const uint32_t v = std::min(s + ((((p >> shifts[c]) & 31) * m) >> 8), 31u);
            out |= v << (c == 2 ? 0 : shifts[c]);
        }
        to[x] = uint16_t(out);
    }
}

} // namespace

bool oxRollEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    // A new run starts with no cylinder behind it: the last run's band would keep its first
    // frames from turning the rows above to the target.
    band_ = RECT{0, 0, 0, 0};
    return oxTransitionEffect::Start(source, target, window, flag);
}

bool oxRollEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    float b = a * a * 1.1f - 0.1f;
    if (b < 0) b = 0;
    const float c = b + 0.1f;
    oxEffectViews views(surface_.Target(), source_, target_);
    oxPixelBuffer &surface = views.surface, &source = views.source, &target = views.target;
    if (!views.Fit()) {
        surface_.EndBatch();
        return false;
    }
    const int32_t w = source.width, h = source.height;
    const bool wide = surface.bpp == 32;
    if (!wide) SetPixelFormatForLayout(surface.layout);
    const size_t rowBytes = size_t(w) * (wide ? 4 : 2);
    const float previous = float(band_.top) / float(uint32_t(h));
    constexpr double kHalfPi = 1.5707963267948966;
    for (int32_t i = 0; i < h; ++i) {
        const float f = float(i) / float(uint32_t(h));
        if (f <= b) {
            // Rows above the last frame's cylinder were turned to the target then.
            if (f >= previous) std::memcpy(surface.GetRow8(i), target.GetRow8(i), rowBytes);
            continue;
        }
        if (f >= c) continue;
        // On the cylinder: x runs from +1 at its top to -1 at its bottom; the arccosine gives the
        // angle round the cylinder, so the rows shown are those rolled up above its axis.
        const float l = float((double(c) + double(b)) * 0.5);
        const float p = float(double(l - f) * 2.0);
        const float x = std::clamp(p * 10.0f, -1.0f, 1.0f);
        const float theta = float(std::acos(double(x)) + kHalfPi);
        const float s = float(double(l) - double(theta * 0.1f) * 0.5);
        const float row = s * float(h);
        if (!(row >= 0.0f) || row >= float(h)) continue;
        const int32_t r = std::min(int32_t(row), h - 1);
        const float phi = float(double(theta) - kHalfPi);
        const float sinPhi = float(std::sin(double(phi))), cosPhi = float(std::cos(double(phi)));
        const float q = float(double(l) + double(sinPhi) * double(0.05f));
        const float k = float(1.0 / std::sqrt(double(q * q + f * f)));
        const float d = sinPhi * (-q * k) + cosPhi * (-f * k);
        const float light = d * d;
        const uint32_t m = uint32_t(double(light) * 256.0);
        if (wide)
            LightRow32(surface.GetRow32(i), source.GetRow32(r), w, m, uint32_t(light * light * 64.0f));
        else
            LightRow16(surface.GetRow16(i), source.GetRow16(r), w, m, uint32_t(light * light * 8.0f));
    }
    const float th = float(target.height);
    const RECT band{0, std::max(int32_t(th * b), 0), target.width, int32_t(th * c)};
    RECT update = band_;
    RectUnion(update, &band);
    oxUpdateItem item;
    item.source = item.destination = update;
    SetUpdateItem(item);
    band_ = band;
    const bool drawn = DrawProgress(a, false);
    surface_.EndBatch();
    return drawn;
}
