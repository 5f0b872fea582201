#include "toolkit/animation/scale_wipe_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/pixels/matrix.h"
#include "graphics/pixels/number_utils.h"
#include "toolkit/animation/effect_views.h"

namespace {

// The rotation part of a process-wide matrix: every scale wipe shares one direction, and the
// identity's (1, 0) stands until the first angle is drawn.
oxMatrix& WipeMatrix() {
    static oxMatrix m;
    return m;
}

// The low 32 bits of v + magic, the double's rounding doing the work.
int32_t LowWord(double v, double magic) {
    const double sum = v + magic;
    uint64_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    return int32_t(uint32_t(bits));
}

// v in 16.16 fixed point, rounded to nearest.
int32_t Fixed(double v) {
    return LowWord(v, 103079215104.0);
}

template <typename Pixel>
void Wipe(const oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target, float a, float c,
          float s) {
    const int32_t w = surface.width, h = surface.height;
    const float r = float(std::sqrt(double(float(w * w + h * h))) * 0.5);
    const float k = 10.0f / r;
    const float x0 = c >= 0 ? float(w) - float(w) * a * 1.1f : float(w) * a * 1.1f;
    const float y0 = s >= 0 ? float(h) - float(h) * a * 1.25f : float(h) * a * 1.25f;
    const uint32_t limitX = uint32_t(w) << 16, limitY = uint32_t(h) << 16;
    for (int32_t i = 0; i < h; ++i) {
        const float dy = float(i) - y0;
        float u = s * dy - c * x0;
        const float v = c * dy + s * x0;
        float fx = x0 - s * v, fy = y0 + c * v;
        int32_t xs = 0, xe = w;
        if (c == 0.0f) {
            // A horizontal line: a row is wholly passed or not at all.
            if (u <= 0) continue;
        } else {
            if (u <= 0) {
                const float step = float(oxScaleWipeEffect::NextIntAbove(double(-(u / c))));
                u += step * c;
                fx += step * (s * s);
                fy += step * (-s * c);
                xs = RoundToInt(double(step));
            }
            xs = std::max(xs, 0);
            const float e = float(w - xs) * c + u;
            // Kept inside the row: at angles near the vertical the closed forms run far past it.
            if (e <= 0)
                xe = int32_t(std::clamp(double(w) - oxScaleWipeEffect::NextIntAbove(double(e / c)), 0.0, double(w)));
        }
        int32_t fxq = Fixed(fx), fyq = Fixed(fy);
        const int32_t dxq = Fixed(s * s), dyq = Fixed(-s * c);
        Pixel* out = RowOf<Pixel>(surface, i);
        const Pixel* behind = RowOf<Pixel>(target, i);
        for (int32_t x = xs; x < xe; ++x) {
            const float q = u / (u * k + 1.0f);
            const int32_t sx = fxq + Fixed(q * c), sy = fyq + Fixed(q * s);
            out[x] =
                uint32_t(sx) < limitX && uint32_t(sy) < limitY ? RowOf<Pixel>(source, sy >> 16)[sx >> 16] : behind[x];
            u += c;
            fxq += dxq;
            fyq += dyq;
        }
    }
}

} // namespace

double oxScaleWipeEffect::NextIntAbove(double x) {
    return double(LowWord(x + 0.500000014986, 6755399441055744.0));
}

void oxScaleWipeEffect::Direction(float* c, float* s) {
    *c = WipeMatrix().m[0];
    *s = WipeMatrix().m[3];
}

bool oxScaleWipeEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    const oxEffectViews v(surface_.Target(), target_, source_);
    oxMatrix& m = WipeMatrix();
    if (a == 0.0f) {
        const float degrees = float(Random()) * 360.0f * 3.0518509e-5f;
        const float theta = float(double(degrees) * 0.017453292519943295);
        const float c = float(std::cos(double(theta))), s = float(std::sin(double(theta)));
        m.m[0] = c, m.m[1] = -s, m.m[3] = s, m.m[4] = c;
    }
    if (a != 1.0f && a > 0.0f && v.Usable()) {
        if (v.surface.bpp == 32)
            Wipe<uint32_t>(v.surface, v.source, v.target, a, m.m[0], m.m[3]);
        else
            Wipe<uint16_t>(v.surface, v.source, v.target, a, m.m[0], m.m[3]);
    }
    const bool done = DrawProgress(a, false);
    surface_.EndBatch();
    return done;
}
