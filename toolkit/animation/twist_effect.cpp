#include "toolkit/animation/twist_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "toolkit/animation/effect_pixels_internal.h"

namespace {

// Row `from` narrowed to a fraction o of the width (16.16 step 1 / o) after a margin of zero, and
// zero after it.
template <typename Pixel> void NarrowRow(Pixel* to, const Pixel* from, int32_t w, float o, float margin) {
    // An edge-on row (o near 0) samples its first pixel once: the step is capped past the width.
    const int64_t step = int64_t(std::min(65536.0 / double(o), double(int64_t(w + 1) << 16)));
    const int32_t m = std::clamp(int32_t(margin), 0, w);
    int32_t x = 0;
    for (; x < m; ++x)
        to[x] = 0;
    for (int64_t k = 0; x < w; ++x, ++k) {
        const int64_t index = (k * step) >> 16;
        if (index >= w) break;
        to[x] = from[index];
    }
    for (; x < w; ++x)
        to[x] = 0;
}

template <typename Pixel>
void Twist(oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target, float a) {
    const int32_t w = source.width, h = source.height;
    const float e = 3.0f * a - 2.0f, d = 3.0f * a;
    const size_t rowBytes = size_t(w) * sizeof(Pixel);
    for (int32_t i = 0; i < h; ++i) {
        const float f = float(i) / float(h);
        Pixel* row = reinterpret_cast<Pixel*>(surface.GetRow8(i));
        if (f < e) {
            std::memcpy(row, target.GetRow8(i), rowBytes);
        } else if (f > d) {
            std::memcpy(row, source.GetRow8(i), rowBytes);
        } else {
            const float phi = (f - e) / (d - e) * std::numbers::pi_v<float>;
            const float o = std::cos(phi);
            if (o > 0)
                NarrowRow(row, reinterpret_cast<const Pixel*>(target.GetRow8(i)), w, o,
                          (float(w) - float(w) * o) * 0.5f);
            else if (o < 0)
                NarrowRow(row, reinterpret_cast<const Pixel*>(source.GetRow8(i)), w, -o, (o + 1.0f) * float(w) * 0.5f);
        }
    }
}

} // namespace

bool oxTwistEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    oxPixelBuffer surface = surface_.Target();
    if (oxViewsFit(surface, source_, target_)) {
        if (surface.bpp == 32)
            Twist<uint32_t>(surface, source_, target_, a);
        else
            Twist<uint16_t>(surface, source_, target_, a);
    }
    surface_.EndBatch();
    return DrawProgress(a, false);
}
