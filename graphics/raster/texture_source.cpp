// Tiled bitmap textures through an affine mapping. The mapping is solved once per fill from three
// device points and their texture coordinates; spans then step u and v in 7.25 fixed point, where
// u >> 19 is the texel column (u is scaled by width / 64 at setup) and likewise v the row.
#include "graphics/raster/texture_source.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/pixels/pixel_fill.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/polygon_filler.h"

namespace {

struct ReciprocalTable {
    uint32_t v[256];
    ReciprocalTable() {
        v[0] = 0;
        for (int i = 1; i < 256; ++i)
            v[i] = static_cast<uint32_t>((65536 + i / 2) / i);
    }
};
const ReciprocalTable g_reciprocal16;

int64_t ToFixed64(double v, double one) {
    v = std::floor(v * one + 0.5);
    if (!(v == v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -9.0e18, 9.0e18));
}

int32_t ToFixed32(double v, double one) {
    v = std::floor(v * one + 0.5);
    if (!(v == v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// x mod m into [0, m), m > 0. Rows mostly start within a period of it, so the division is rare.
inline int64_t Wrap(int64_t x, int64_t m) {
    if (x >= 0 && x < m) return x;
    if (x < 0 && x >= -m) return x + m;
    x %= m;
    return x < 0 ? x + m : x;
}

} // namespace

const uint32_t* const Reciprocal16 = g_reciprocal16.v;

void oxTextureMapping::Setup(const float* p, const float* q, float uScale, float vScale) {
    const double ax = double(p[0]) - p[6], ay = double(p[1]) - p[7];
    const double bx = double(p[3]) - p[6], by = double(p[4]) - p[7];
    const double det = bx * ay - by * ax;
    double r = det == 0.0 ? 0.0 : 1.0 / det;
    if (!std::isfinite(r)) r = 0.0;
    originX = originY = 0;
    for (int k = 0; k < 4; ++k) {
        // k = 3 is z, taken from the device points themselves.
        double q0, q1, q2;
        if (k < 3) {
            const double s = k == 0 ? uScale : k == 1 ? vScale : 1.0;
            q0 = q[k] * s, q1 = q[3 + k] * s, q2 = q[6 + k] * s;
        } else {
            q0 = p[2], q1 = p[5], q2 = p[8];
        }
        double dx = r * ((q1 - q2) * ay - (q0 - q2) * by);
        double dy = r * ((q0 - q2) * bx - (q1 - q2) * ax);
        double c = q2 + (0.5 - p[6]) * dx + (0.5 - p[7]) * dy;
        if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(c)) dx = dy = c = 0.0;
        const double one = k == 3 ? 134217728.0 : 33554432.0;
        value[k] = ToFixed64(c, one);
        stepX[k] = ToFixed32(dx, one);
        stepY[k] = ToFixed32(dy, one);
        valueF[k] = float(c);
        stepXF[k] = float(dx);
        stepYF[k] = float(dy);
    }
}

void oxSpanColorTransform::Reset() {
    enabled = 0;
    saturation = 256;
    for (int c = 0; c < 4; ++c)
        SetTable(c, nullptr);
}

void oxSpanColorTransform::SetTable(int channel, const uint8_t* table) {
    if (channel < 0 || channel > 3) return;
    if (table) {
        std::memcpy(tables[channel], table, 256);
    } else {
        for (int i = 0; i < 256; ++i)
            tables[channel][i] = static_cast<uint8_t>(i);
    }
}

uint32_t oxSpanColorTransform::Apply(uint32_t px) const {
    const uint32_t a = px >> 24;
    int32_t c[3] = {int32_t((px >> 16) & 0xFF), int32_t((px >> 8) & 0xFF), int32_t(px & 0xFF)};
    const int32_t w = saturation;
    if (w != 255 && w != 256) {
        const int32_t lum = (c[0] * 19960 + c[1] * 38368 + c[2] * 7208) >> 16;
        for (int32_t& v : c)
            v = std::clamp(((256 - w) * lum + v * w) >> 8, 0, 255);
    }
    const uint32_t a2 = tables[0][a];
    const uint32_t h = a * Reciprocal16[a];
    uint32_t out = a2 << 24;
    for (int k = 0; k < 3; ++k) {
        // Rounded: h is 65535 for an opaque pixel, and truncating would darken every channel by one.
        const uint32_t t = h * tables[k + 1][c[k]];
        const uint32_t v = t < 65536 ? 0 : std::min((t + 32768) >> 16, a2);
        out |= v << (16 - 8 * k);
    }
    return out;
}

void oxSpanColorTransform::ApplySpan(uint32_t* px, int32_t n) const {
    for (int32_t i = 0; i < n; ++i)
        px[i] = Apply(px[i]);
}

void oxPolygonFiller::SetTexture(const oxPixelBuffer* texture) {
    if (texture && texture->HasPixels() && (texture->bpp == 32 || texture->bpp == 8))
        m_texture = *texture;
    else
        m_texture = oxPixelBuffer{};
}

void oxPolygonFiller::SetTextureMapping(const float* points, const float* coords) {
    if (!m_texture.HasPixels()) return;
    // The 16-bit sampling reads u and v in units of the whole texture; scaled by width / 64 and
    // height / 64 as for 32 bits, it would run through textures and ramps that many times as fast,
    // so a 16-bit target would show another picture than a 32-bit one.
    if (m_target.bpp == 16)
        m_mapping.Setup(points, coords, 1.0f, 1.0f);
    else
        m_mapping.Setup(points, coords, m_texture.width / 64.0f, m_texture.height / 64.0f);
}

void oxPolygonFiller::TextureSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    if (x1 <= x0 || m_texture.bpp != 32) return;
    switch (m_textureMode) {
    case kLinearGradient:
        LinearSpan(out, y, x0, x1);
        break;
    case kRadialGradient:
        RadialSpan(out, y, x0, x1);
        break;
    default:
        BitmapSpan(out, y, x0, x1);
        break;
    }
}

void oxPolygonFiller::TextureSpan16(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    if (x1 <= x0 || m_texture.bpp != 32) return;
    if (m_textureMode == kTextureBitmap) {
        const uint32_t* texels = BitmapSpan16(out, y, x0, x1);
        if (texels != out) std::memcpy(out, texels, sizeof(uint32_t) * static_cast<size_t>(x1 - x0));
        return;
    }
    const uint32_t* ramp = m_texture.GetRow32(0);
    int64_t u = m_mapping.At(0, x0, y), v = m_mapping.At(1, x0, y);
    const int64_t du = m_mapping.stepX[0], dv = m_mapping.stepX[1];
    for (int32_t i = 0, n = x1 - x0; i < n; ++i, u += du, v += dv)
        out[i] = ramp[m_textureMode == kLinearGradient ? LinearIndex16(u) : RadialIndex16(u, v)];
}

// The texture repeats every 2^25 of u and of v: the 16 bits below that, times the width (height),
// give the column (row). Only those bits count, so u and v can wrap in 32 bits.
// A bitmap drawn one texel per pixel and upright into a rectangle of a 32-bit target: each row
// is a run of one texture row, the next row's the one below it, so no row's start is mapped
// again. False when the mapping is any other.
bool oxPolygonFiller::CopyTextureRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    constexpr int32_t kOne = 1 << 19;
    if (m_textureMode != kTextureBitmap || m_mapping.stepX[0] != kOne || m_mapping.stepX[1] != 0 ||
        m_mapping.stepY[0] != 0 || m_mapping.stepY[1] != kOne)
        return false;
    const int32_t w = m_texture.width, h = m_texture.height, n = right - left;
    const int32_t col = static_cast<int32_t>(Wrap(m_mapping.At(0, left, top), int64_t(w) << 19) >> 19);
    int32_t texRow = static_cast<int32_t>(Wrap(m_mapping.At(1, left, top), int64_t(h) << 19) >> 19);
    for (int32_t y = top; y < bottom; ++y) {
        const uint32_t* const texels = m_texture.GetRow32(texRow);
        uint32_t* const out = m_target.GetRow32(y) + left;
        for (int32_t i = 0, c = col; i < n; c = 0) {
            const int32_t run = std::min(n - i, w - c);
            CopyPixels(reinterpret_cast<uint8_t*>(out + i), reinterpret_cast<const uint8_t*>(texels + c),
                       sizeof(uint32_t) * static_cast<size_t>(run));
            i += run;
        }
        if (++texRow == h) texRow = 0;
    }
    return true;
}

const uint32_t* oxPolygonFiller::BitmapSpan16(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    const uint64_t w = static_cast<uint64_t>(m_texture.width), h = static_cast<uint64_t>(m_texture.height);
    uint32_t u = static_cast<uint32_t>(m_mapping.At(0, x0, y));
    uint32_t v = static_cast<uint32_t>(m_mapping.At(1, x0, y));
    const uint32_t du = static_cast<uint32_t>(m_mapping.stepX[0]);
    const uint32_t dv = static_cast<uint32_t>(m_mapping.stepX[1]);
    auto column = [w](uint32_t q) { return static_cast<int32_t>((w * ((q >> 9) & 0xFFFF)) >> 16); };
    auto row = [h](uint32_t q) { return static_cast<int32_t>((h * ((q >> 9) & 0xFFFF)) >> 16); };
    const int32_t n = x1 - x0;
    if ((dv & 0x1FFFFFF) == 0 && (du & 0x1FF) == 0 && w * ((du >> 9) & 0xFFFF) == 0x10000) {
        // One texel per pixel along one texture row: whole runs of it are copied, or used in place.
        const uint32_t* texels = m_texture.GetRow32(row(v));
        int32_t col = column(u);
        if (col + n <= m_texture.width) return texels + col;
        for (int32_t i = 0; i < n;) {
            const int32_t run = std::min(n - i, m_texture.width - col);
            std::memcpy(out + i, texels + col, sizeof(uint32_t) * static_cast<size_t>(run));
            i += run;
            col = 0;
        }
        return out;
    }
    for (int32_t i = 0; i < n; ++i, u += du, v += dv)
        out[i] = m_texture.GetRow32(row(v))[column(u)];
    return out;
}

// Source rows whose pixels do not change from row to row (within a dither phase on 16 bits).
bool oxPolygonFiller::RowsRepeat() const {
    return m_mapping.stepY[0] == 0 && (m_textureMode == kLinearGradient || m_mapping.stepY[1] == 0);
}

bool oxPolygonFiller::Reserve16(int32_t width) {
    if (width <= m_source16Width) return true;
    // Four rows of 16-bit pixels, then four rows of alphas.
    void* grown = std::realloc(m_source16, static_cast<size_t>(width) * 12);
    if (!grown) return false;
    m_source16 = static_cast<uint16_t*>(grown);
    m_source16Width = width;
    return true;
}

void oxPolygonFiller::SourceRow16(uint16_t* out, uint8_t* alpha, int32_t y, int32_t x0, int32_t x1) {
    const int32_t n = x1 - x0;
    if (n <= 0 || n > m_rowScratchSize) return;
    const uint16_t* const dithered = m_textureMode != kTextureBitmap ? DitheredRamp() : nullptr;
    if (dithered) {
        // A gradient takes its pixels from the ramp dithered beforehand for each phase.
        const uint32_t* const ramp = m_texture.GetRow32(0);
        const uint16_t* const table = dithered + (y & 3) * 1024;
        int64_t u = m_mapping.At(0, x0, y), v = m_mapping.At(1, x0, y);
        const int64_t du = m_mapping.stepX[0], dv = m_mapping.stepX[1];
        const bool linear = m_textureMode == kLinearGradient;
        for (int32_t i = 0; i < n; ++i, u += du, v += dv) {
            const int32_t index = linear ? LinearIndex16(u) : RadialIndex16(u, v);
            out[i] = table[index * 4 + ((x0 + i) & 3)];
            if (alpha) alpha[i] = static_cast<uint8_t>(ramp[index] >> 24);
        }
        return;
    }
    const uint32_t* texels = m_rowScratch;
    if (m_textureMode == kTextureBitmap && m_texture.bpp == 32)
        texels = BitmapSpan16(m_rowScratch, y, x0, x1);
    else
        TextureSpan16(m_rowScratch, y, x0, x1);
    if (m_colorTransform.enabled) {
        if (texels != m_rowScratch) std::memcpy(m_rowScratch, texels, sizeof(uint32_t) * static_cast<size_t>(n));
        texels = m_rowScratch;
        m_colorTransform.ApplySpan(m_rowScratch, n);
    }
    DitherRowTo16(out, texels, n, x0, y);
    if (alpha) {
        for (int32_t i = 0; i < n; ++i)
            alpha[i] = static_cast<uint8_t>(texels[i] >> 24);
    }
}

void oxPolygonFiller::SourceSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    TextureSpan(out, y, x0, x1);
    if (m_colorTransform.enabled) m_colorTransform.ApplySpan(out, x1 - x0);
}

// The texture repeats in both directions: u and v are kept within one period, and since the
// sampling is periodic the steps are reduced into it as well, so one compare per pixel wraps.
void oxPolygonFiller::BitmapSpan(uint32_t* out, int32_t y, int32_t x0, int32_t x1) const {
    const int64_t pu = int64_t(m_texture.width) << 19;
    const int64_t pv = int64_t(m_texture.height) << 19;
    int64_t u = Wrap(m_mapping.At(0, x0, y), pu);
    int64_t v = Wrap(m_mapping.At(1, x0, y), pv);
    const int64_t du = Wrap(m_mapping.stepX[0], pu);
    const int64_t dv = Wrap(m_mapping.stepX[1], pv);
    const int32_t n = x1 - x0;
    if (dv == 0) {
        const uint32_t* row = m_texture.GetRow32(int32_t(v >> 19));
        if (du == 0) {
            std::fill(out, out + n, row[u >> 19]);
            return;
        }
        if (du == (int64_t(1) << 19)) {
            // One texel per pixel: whole runs of the texture row are copied.
            int32_t col = int32_t(u >> 19);
            for (int32_t i = 0; i < n;) {
                const int32_t run = std::min(n - i, m_texture.width - col);
                std::memcpy(out + i, row + col, sizeof(uint32_t) * static_cast<size_t>(run));
                i += run;
                col = 0;
            }
            return;
        }
        for (int32_t i = 0; i < n; ++i) {
            out[i] = row[u >> 19];
            u += du;
            if (u >= pu) u -= pu;
        }
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        out[i] = m_texture.GetRow32(int32_t(v >> 19))[u >> 19];
        u += du;
        if (u >= pu) u -= pu;
        v += dv;
        if (v >= pv) v -= pv;
    }
}
