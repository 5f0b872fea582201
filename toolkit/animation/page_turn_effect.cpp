#include "toolkit/animation/page_turn_effect.h"

#include <cmath>
#include <cstring>

#include "graphics/pixels/number_utils.h"
#include "graphics/pixels/pixel_format.h"
#include "toolkit/animation/effect_views.h"

namespace {

float FloatOf(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

struct Fold {
    float fx, fy, sa, ca, hc, qc, k, radius;
};

template <typename Pixel>
void Turn(const oxPageTurnEffect& e, const oxPixelBuffer& surface, const oxPixelBuffer& source,
          const oxPixelBuffer& target, const Fold& f) {
    const int32_t w = surface.width, h = surface.height;
    const float sfx = f.sa * f.fx;
    const float twoSa = 2.0f * f.sa;
    auto inside = [w, h](int32_t x, int32_t y) { return uint32_t(x) < uint32_t(w) && uint32_t(y) < uint32_t(h); };
    for (int32_t y = 0; y < h; ++y) {
        Pixel* out = RowOf<Pixel>(surface, y);
        const Pixel* flat = RowOf<Pixel>(source, y);
        const Pixel* under = RowOf<Pixel>(target, y);
        float F = (float(y) - f.fy) * -f.ca - sfx;
        bool onFlat = false;
        float d = 0.0f;
        for (int32_t x = 0; x < w; ++x, F += f.sa) {
            if (F < -f.radius) {
                out[x] = under[x];
            } else if (F < 0.0f) {
                const float t = e.TableLookup(F * f.k) * 0.63661975f;
                const float first = t * f.qc + F;
                const float second = (2.0f * F + f.hc) - first;
                int32_t px = x - RoundToInt(double(second * f.sa)), py = y - RoundToInt(double(second * -f.ca));
                if (inside(px, py)) {
                    Pixel c = RowOf<Pixel>(source, py)[px];
                    if (t < FloatOf(0x3F1BEDFAu)) {
                        const float s = (t - FloatOf(0x3ECCCCCDu)) * 4.0f;
                        const int32_t j = RoundToInt(double((FloatOf(0x3F333333u) - s * s) * 256.0f));
                        if (j > 1) {
                            if constexpr (sizeof(Pixel) == 4)
                                c = oxPageTurnEffect::Highlight32(c, j);
                            else
                                c = oxPageTurnEffect::Highlight16(c, j);
                        }
                    }
                    out[x] = c;
                    continue;
                }
                px = x - RoundToInt(double(first * f.sa)), py = y - RoundToInt(double(first * -f.ca));
                out[x] = inside(px, py) ? RowOf<Pixel>(source, py)[px] : under[x];
            } else {
                // The flat page with the flap turned over onto it; the distance back is carried along.
                d = onFlat ? d + twoSa : 2.0f * F + f.hc;
                onFlat = true;
                const int32_t px = x - RoundToInt(double(d * f.sa)), py = y - RoundToInt(double(d * -f.ca));
                out[x] = inside(px, py) ? RowOf<Pixel>(source, py)[px] : flat[x];
            }
        }
    }
}

} // namespace

uint32_t oxPageTurnEffect::Highlight32(uint32_t c, int32_t j) {
    const uint32_t keep = uint32_t(256 - j), add = uint32_t(j - 1);
    const uint32_t b = add + (((c & 0xFF) * keep) >> 8), g = add + ((((c >> 8) & 0xFF) * keep) >> 8),
                   r = add + ((((c >> 16) & 0xFF) * keep) >> 8);
    return (c & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

uint16_t oxPageTurnEffect::Highlight16(uint16_t c, int32_t big) {
    const int32_t j = big >> 3;
    if (j <= 1) return c;
    auto lift = [j](uint32_t c5) { return uint32_t(j - 1) + ((c5 * uint32_t(32 - j)) >> 5); };
    const uint32_t r = lift((c >> g_pixelFormat.redShift) & 31), g = lift((c >> g_pixelFormat.greenShift) & 31),
                   b = lift((c >> g_pixelFormat.blueShift) & 31);
    // Blue goes back at bit 0, as in the other 16-bit lightening.
    return uint16_t((r << g_pixelFormat.redShift) | (g << g_pixelFormat.greenShift) | b);
}

oxPageTurnEffect::oxPageTurnEffect() {
    for (int i = 0; i < 1024; ++i)
        curl_[i] = float(std::asin(double(float(i)) * (1.0 / 1023.0)));
}

int32_t oxPageTurnEffect::TableIndex(float x) {
    const float sum = float(double(x) + 8193.0);
    uint32_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    return int32_t(bits & 1023);
}

float oxPageTurnEffect::TableLookup(float x) const {
    return curl_[TableIndex(x)];
}

bool oxPageTurnEffect::RenderFrame(float p) {
    surface_.BeginBatch();
    if (p <= 0.0f || p > 1.0f) {
        surface_.EndBatch();
        return false;
    }
    const int32_t w = source_.width, h = source_.height;
    const oxEffectViews v(surface_.Target(), target_, source_);
    const float radius = curlRadius_;
    const float u = (float(w + 50) / float(w)) * p;
    const float x0 = (radius - 60.0f) + u * float(w), y1 = (radius - 60.0f) + u * float(h);
    Fold f{};
    if (foldAngle_ >= 0.0f && foldAngle_ <= 90.0f)
        f.fx = x0, f.fy = float(h) - y1;
    else if (foldAngle_ > 90.0f && foldAngle_ <= 180.0f)
        f.fx = x0, f.fy = y1;
    else if (foldAngle_ > 180.0f && foldAngle_ <= 270.0f)
        f.fx = float(w) - x0, f.fy = y1;
    else
        f.fx = float(w) - x0, f.fy = float(h) - y1;
    const float a = float(double(foldAngle_) * 0.017453292519943295);
    f.sa = float(std::sin(double(a)));
    f.ca = float(std::cos(double(a)));
    f.hc = float(double(radius) * M_PI);
    f.qc = f.hc * 0.5f;
    f.k = -1.0f / radius;
    f.radius = radius;
    if (v.Usable()) {
        if (v.surface.bpp == 32) {
            Turn<uint32_t>(*this, v.surface, v.source, v.target, f);
        } else {
            SetPixelFormatForLayout(v.surface.layout);
            Turn<uint16_t>(*this, v.surface, v.source, v.target, f);
        }
    }
    const bool done = DrawProgress(p, false);
    surface_.EndBatch();
    return done;
}
