#include "toolkit/animation/water_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "graphics/pixels/number_utils.h"
#include "graphics/pixels/pixel_format.h"
#include "toolkit/animation/effect_views.h"

namespace {

template <typename T> T Clamped(double v, double low, double high) {
    return T(v <= low ? low : v >= high ? high : v);
}

// source + (target - source) * b / 256 per channel, two channels a multiply.
uint32_t Blend32(uint32_t s, uint32_t t, uint32_t b) {
    constexpr uint32_t M = 0x00FF00FF;
    const uint32_t rb = (((s & M) * (256 - b) + (t & M) * b) >> 8) & M;
    const uint32_t ag = ((((s >> 8) & M) * (256 - b) + ((t >> 8) & M) * b) >> 8) & M;
    return rb | (ag << 8);
}

// The same over 32 levels, red and blue in one multiply, green after a shift by 5.
uint16_t Blend16(uint32_t s, uint32_t t, uint32_t f) {
    const uint32_t group = g_pixelFormat.group, green = g_pixelFormat.green >> 5;
    const uint32_t rb = (((s & group) * (32 - f) + (t & group) * f) >> 5) & group;
    const uint32_t g = ((((s >> 5) & green) * (32 - f) + ((t >> 5) & green) * f) >> 5) & green;
    return uint16_t(rb | (g << 5));
}

template <typename Pixel>
void Draw(const oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target, int32_t cx,
          int32_t cy, const int32_t* scale, const int16_t* swirl, const uint8_t* blend) {
    const int32_t w = surface.width, h = surface.height;
    if (w < 2) return;
    for (int32_t y = 0; y < h; ++y) {
        Pixel* out = RowOf<Pixel>(surface, y);
        const int32_t dy = y - cy;
        int32_t dx = -cx;
        uint32_t d2 = uint32_t(dx * dx + dy * dy);
        for (int32_t x = 0; x < w - 1; x += 2) {
            const uint32_t k = d2 >> 5;
            const int32_t S = scale[k], R = swirl[k];
            const uint32_t b = blend[k];
            int32_t sx = cx + ((dx * S) >> 8) - ((dy * R) >> 8);
            int32_t sy = cy + ((dy * S) >> 8) + ((dx * R) >> 8);
            if constexpr (sizeof(Pixel) == 4) {
                sx = std::max(sx, 0), sy = std::max(sy, 0);
            } else {
                sx = std::abs(sx), sy = std::abs(sy);
            }
            if (sx >= w - 1) sx = w - 2;
            if (sy >= h) sy = h - 1;
            const Pixel* from = RowOf<Pixel>(source, sy) + sx;
            const Pixel* to = RowOf<Pixel>(target, sy) + sx;
            if (b <= 5) {
                out[x] = from[0], out[x + 1] = from[1];
            } else if (b > 250) {
                out[x] = to[0], out[x + 1] = to[1];
            } else if constexpr (sizeof(Pixel) == 4) {
                out[x] = Blend32(from[0], to[0], b), out[x + 1] = Blend32(from[1], to[1], b);
            } else {
                out[x] = Blend16(from[0], to[0], b >> 3), out[x + 1] = Blend16(from[1], to[1], b >> 3);
            }
            d2 += uint32_t((dx + 1) * 4);
            dx += 2;
        }
    }
}

} // namespace

bool oxWaterEffect::Start(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    width_ = source.width;
    height_ = source.height;
    cx_ = width_ / 2;
    cy_ = height_ / 2;
    r2_ = float(cx_ * cx_ + cy_ * cy_);
    r_ = float(std::sqrt(double(r2_)));
    length_ = int32_t(r2_ * 0.0625f);
    FreeTables();
    // The renderer needs all three tables: without them the run has nothing to draw with.
    try {
        scale_.assign(size_t(length_) + 1, 0);
        swirl_.assign(size_t(length_) + 1, 0);
        blend_.assign(size_t(length_) + 1, 0);
    } catch (const std::bad_alloc&) {
        FreeTables();
        return false;
    }
    return Begin(source, target, window, flag);
}

void oxWaterEffect::FreeTables() {
    std::vector<int32_t>().swap(scale_);
    std::vector<int16_t>().swap(swirl_);
    std::vector<uint8_t>().swap(blend_);
}

bool oxWaterEffect::Finish() {
    FreeTables();
    return DrawFinalFrame();
}

void oxWaterEffect::FillTables(float a) {
    const float m = float((0.5 - double(std::fabs(a - 0.5f))) * 0.05);
    const float smooth = (3.0f - a * 2.0f) * a * a;
    const float g = float(double(smooth) * 2.0 - 0.5);
    const float hh = float(double(smooth) - 0.5);
    const float q = float(1.0 - double(hh * hh) * 4.0);
    const int32_t n = length_;
    auto compute = [&](int32_t i) {
        const float A = n > 0 ? float(i) / float(n) : 0.0f;
        const float s = float(std::sqrt(double(A)));
        const float centred = float(double(s) - 0.5);
        const float wave = float(1.0 - double(centred) * double(centred) * 4.0);
        const double D = A == 0.0f ? 1.0 : double(m) * std::cos(double((s - a) * 20.0f)) / double(A) + 1.0;
        const float I = Clamped<float>(double(A) * 500.0, 0.0, 1.0);
        const double T = double(wave * q * hh) * 256.0;
        const double L = (double(a) * 12.0 + std::cos(double(A) * 25.0 - double(g) * 10.0) - 4.0) * 64.0;
        swirl_[size_t(i)] = int16_t(Clamped<double>(T, -32768.0, 32767.0));
        blend_[size_t(i)] = uint8_t(Clamped<double>(L, 0.0, 255.0));
        scale_[size_t(i)] = int32_t(double((3.0f - I * 2.0f) * I * I * float(D)) * 256.0);
    };
    // Only every eighth entry pays for the roots and cosines; a table shorter than 8 still gets its first.
    for (int32_t i = 0; i == 0 || i < n; i += 8)
        compute(i);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t j = i & ~7;
        if (i == j) continue;
        // Past the last computed entry the next one lies beyond the computed part: hold the last.
        if (j + 8 >= n) {
            scale_[size_t(i)] = scale_[size_t(j)], swirl_[size_t(i)] = swirl_[size_t(j)];
            blend_[size_t(i)] = blend_[size_t(j)];
            continue;
        }
        const float f = float(i - j) * 0.125f;
        auto lerp = [f](float from, float to) { return RoundToInt(double((to - from) * f + from)); };
        scale_[size_t(i)] = lerp(float(scale_[size_t(j)]), float(scale_[size_t(j + 8)]));
        swirl_[size_t(i)] = int16_t(lerp(float(swirl_[size_t(j)]), float(swirl_[size_t(j + 8)])));
        blend_[size_t(i)] = uint8_t(lerp(float(blend_[size_t(j)]), float(blend_[size_t(j + 8)])));
    }
    if (n > 0) {
        scale_[size_t(n)] = scale_[size_t(n - 1)], swirl_[size_t(n)] = swirl_[size_t(n - 1)];
        blend_[size_t(n)] = blend_[size_t(n - 1)];
    }
}

bool oxWaterEffect::RenderFrame(float a) {
    // A run that has ended (or never started) has no tables to draw with.
    if (!HoldsTables()) return false;
    surface_.BeginBatch();
    const oxEffectViews v(surface_.Target(), target_, source_);
    FillTables(a);
    // The tables were made for the size the run started with.
    if (v.Usable() && v.source.width == width_ && v.source.height == height_) {
        if (v.source.bpp == 32) {
            Draw<uint32_t>(v.surface, v.source, v.target, cx_, cy_, scale_.data(), swirl_.data(), blend_.data());
        } else {
            SetPixelFormatForLayout(v.surface.layout);
            Draw<uint16_t>(v.surface, v.source, v.target, cx_, cy_, scale_.data(), swirl_.data(), blend_.data());
        }
    }
    SetWholeItem();
    const bool done = DrawProgress(a, false);
    surface_.EndBatch();
    return done;
}
