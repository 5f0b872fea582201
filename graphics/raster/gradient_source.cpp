// Linear and radial gradient spans. The ramp is row 0 of the texture: the mapping scales u by
// 256 / 64 and v by 1 / 64, so u >> 19 and v >> 11 are both 256 times the mapped coordinate.
// Coordinates beyond the ramp take its end colours.
#include "graphics/raster/gradient_source.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/polygon_filler.h"

namespace {

uint32_t Premultiply(uint32_t c) {
    const uint32_t a = c >> 24;
    const uint32_t r = ((c >> 16) & 0xFF) * (a + 1) >> 8;
    const uint32_t g = ((c >> 8) & 0xFF) * (a + 1) >> 8;
    const uint32_t b = (c & 0xFF) * (a + 1) >> 8;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t Mix(uint32_t s, uint32_t t, int32_t w) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int32_t cs = int32_t((s >> shift) & 0xFF), ct = int32_t((t >> shift) & 0xFF);
        out |= uint32_t(cs + (ct - cs) * w / 256) << shift;
    }
    return out;
}

} // namespace

void BuildGradientRamp(uint32_t* ramp, const oxGradientStop* stops, int32_t count) {
    const int32_t n = kGradientRampSize, a = n - 1;
    if (!stops || count <= 0) {
        std::fill(ramp, ramp + n, 0u);
        return;
    }
    if (count == 1) {
        std::fill(ramp, ramp + n, Premultiply(stops[0].color));
        return;
    }
    auto index = [&](int32_t offset) {
        const int64_t p = int64_t(a) * std::clamp(offset, 0, 65536);
        return p < 65536 ? 0 : std::min<int32_t>(a, int32_t(p >> 16));
    };
    // The runs before the first stop and after the last are premultiplied like the blends, so that
    // a translucent end colour is a valid premultiplied pixel.
    const int32_t first = index(stops[0].offset);
    std::fill(ramp, ramp + first, Premultiply(stops[0].color));
    int32_t last = first;
    for (int32_t s = 0; s + 1 < count; ++s) {
        const int32_t i = index(stops[s].offset);
        const int32_t j = std::max(i, index(stops[s + 1].offset));
        for (int32_t k = 0; k <= j - i; ++k) {
            const int32_t w = j == i ? 0 : 256 * k / (j - i);
            ramp[i + k] = Premultiply(Mix(stops[s].color, stops[s + 1].color, w));
        }
        last = j;
    }
    if (last < a) std::fill(ramp + last, ramp + n, Premultiply(stops[count - 1].color));
}

void oxPolygonFiller::LinearSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    const uint32_t* ramp = m_texture.GetRow32(0);
    const int32_t last = std::min(m_texture.width, kGradientRampSize) - 1;
    int64_t u = m_mapping.At(0, x0, y);
    const int64_t du = m_mapping.stepX[0];
    const int32_t n = x1 - x0;
    // Clamped runs at both ends are found first, so the middle run needs no test.
    int32_t lo = 0, hi = n;
    auto index = [&](int32_t i) { return (u + du * i) >> 19; };
    while (lo < hi && (index(lo) < 0 || index(lo) > last)) {
        out[lo] = ramp[index(lo) < 0 ? 0 : last];
        ++lo;
    }
    while (hi > lo && (index(hi - 1) < 0 || index(hi - 1) > last)) {
        out[hi - 1] = ramp[index(hi - 1) < 0 ? 0 : last];
        --hi;
    }
    int64_t v = u + du * lo;
    for (int32_t i = lo; i < hi; ++i, v += du)
        out[i] = ramp[v >> 19];
}

void oxPolygonFiller::RadialSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    const uint32_t* ramp = m_texture.GetRow32(0);
    const int32_t last = std::min(m_texture.width, kGradientRampSize) - 1;
    int64_t u = m_mapping.At(0, x0, y);
    int64_t v = m_mapping.At(1, x0, y);
    const int64_t du = m_mapping.stepX[0], dv = m_mapping.stepX[1];
    for (int32_t i = 0, n = x1 - x0; i < n; ++i, u += du, v += dv) {
        // Beyond 256 on either axis the distance is past the ramp's end anyway.
        const int32_t a = int32_t(std::clamp<int64_t>(u >> 19, -256, 256));
        const int32_t b = int32_t(std::clamp<int64_t>(v >> 11, -256, 256));
        const int32_t r = int32_t(std::sqrt(float(a * a + b * b)));
        out[i] = ramp[std::min(r, last)];
    }
}

// 16-bit targets: u in units of the whole ramp, so ((u >> 9) * width) >> 16 is the entry.
int32_t oxPolygonFiller::LinearIndex16(int64_t u) const {
    const int32_t last = std::min(m_texture.width, kGradientRampSize) - 1;
    const int64_t i = (std::clamp<int64_t>(u >> 9, -0x10000, 0x7FFFFFFF) * m_texture.width) >> 16;
    return static_cast<int32_t>(std::clamp<int64_t>(i, 0, last));
}

// 16-bit targets: u >> 17 and v >> 17 are 256 times the mapped coordinates.
int32_t oxPolygonFiller::RadialIndex16(int64_t u, int64_t v) const {
    const int32_t last = std::min(m_texture.width, kGradientRampSize) - 1;
    const int32_t a = static_cast<int32_t>(std::clamp<int64_t>(u >> 17, -256, 256));
    const int32_t b = static_cast<int32_t>(std::clamp<int64_t>(v >> 17, -256, 256));
    return std::min(static_cast<int32_t>(std::sqrt(static_cast<float>(a * a + b * b))), last);
}

// Dithering a ramp once for all sixteen phases costs 4,096 conversions; a fill of a few thousand
// pixels would spend about that converting each pixel, so the table is kept while the ramp and the
// 16-bit layout stay the same.
const uint16_t* oxPolygonFiller::DitheredRamp() {
    if (m_colorTransform.enabled) return nullptr;
    const int32_t w = std::min(m_texture.width, kGradientRampSize);
    const uint32_t* const ramp = m_texture.GetRow32(0);
    const oxPixelFormatMasks& f = g_pixelFormat;
    const uint64_t layout = f.group | static_cast<uint64_t>(f.redShift) << 32 |
                            static_cast<uint64_t>(f.greenShift) << 40 | static_cast<uint64_t>(f.blueShift + 8) << 48;
    if (m_rampKeyWidth == w && m_rampLayout == layout &&
        std::memcmp(m_rampKey, ramp, sizeof(uint32_t) * static_cast<size_t>(w)) == 0)
        return m_rampDithered;
    if (!m_rampDithered) {
        m_rampDithered = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * 4 * kGradientRampSize * 4));
        if (!m_rampDithered) return nullptr;
    }
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t i = 0; i < w; ++i)
            for (int32_t k = 0; k < 4; ++k)
                m_rampDithered[(r * kGradientRampSize + i) * 4 + k] = DitherTo16(ramp[i], k, r);
    std::memcpy(m_rampKey, ramp, sizeof(uint32_t) * static_cast<size_t>(w));
    m_rampKeyWidth = w;
    m_rampLayout = layout;
    return m_rampDithered;
}
