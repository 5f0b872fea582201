#include "graphics/raster/rasterizer.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/mip_chain.h"
#include "graphics/raster/rasterizer_internal.h"

namespace {

// Entry i is 1 / the centre of [i/16 - 64, (i+1)/16 - 64).
float g_reciprocal[2048];
bool g_reciprocalBuilt = false;

int32_t Fixed(double v, double scale) {
    v = std::floor(v * scale + 0.5);
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}
int32_t Fixed16(double v) {
    return Fixed(v, 65536.0);
}
int32_t FixedDepth(double z) {
    return Fixed(z, 134217728.0);
}

bool Finite(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// A segment end with values interpolated along the segment (depth, shading).
struct ClipPoint {
    double x, y; // double, so that far-away ends still land on the clip edge exactly
    double v[4];
};

int Outcode(const ClipPoint& p, double l, double t, double r, double b) {
    return (p.x > r ? 1 : 0) | (p.x < l ? 2 : 0) | (p.y > b ? 8 : 0) | (p.y < t ? 4 : 0);
}

// Outcode clipping of p0-p1 to [l, r] x [t, b], at most 8 passes; false when rejected. The values
// follow the moved coordinate. The endpoints may come back exchanged.
bool ClipSegment(ClipPoint& p0, ClipPoint& p1, int values, double l, double t, double r, double b) {
    int c0 = Outcode(p0, l, t, r, b);
    int c1 = Outcode(p1, l, t, r, b);
    for (int pass = 0; c0 | c1; ++pass) {
        if ((c0 & c1) || pass >= 8) return false;
        if (!c0) {
            std::swap(p0, p1);
            std::swap(c0, c1);
        }
        const ClipPoint a = p0, o = p1;
        double f;
        if (c0 & 2) {
            f = (l - a.x) / (o.x - a.x);
            p0.x = l;
            p0.y = a.y + (o.y - a.y) * f;
        } else if (c0 & 1) {
            f = (r - a.x) / (o.x - a.x);
            p0.x = r;
            p0.y = a.y + (o.y - a.y) * f;
        } else if (c0 & 8) {
            f = (b - a.y) / (o.y - a.y);
            p0.y = b;
            p0.x = a.x + (o.x - a.x) * f;
        } else {
            f = (t - a.y) / (o.y - a.y);
            p0.y = t;
            p0.x = a.x + (o.x - a.x) * f;
        }
        for (int k = 0; k < values; ++k)
            p0.v[k] = a.v[k] + (o.v[k] - a.v[k]) * f;
        c0 = Outcode(p0, l, t, r, b);
    }
    return true;
}

} // namespace

oxRasterizer::oxRasterizer(void* owner) : m_owner(owner) {
    SetAlpha(256);
    if (!g_reciprocalBuilt) {
        for (int i = 0; i < 2048; ++i)
            g_reciprocal[i] = static_cast<float>(16.0 / (i - 1023.5));
        g_reciprocalBuilt = true;
    }
}

float oxRasterizer::Reciprocal(float d) {
    const uint32_t bits = std::bit_cast<uint32_t>(d);
    if ((bits & 0x7F800000u) > 0x427FFFFFu) return 1.0f / d;
    const uint32_t sum = std::bit_cast<uint32_t>(d + 192.0f);
    return g_reciprocal[(sum >> 12) & 0x7FF];
}

void oxRasterizer::SetAlpha(int32_t alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == m_alpha) return;
    m_coverage[0] = 0;
    for (int c = 1; c < 256; ++c)
        m_coverage[c] = static_cast<uint8_t>(c * alpha / 256);
    m_coverage[256] = static_cast<uint8_t>(alpha);
    const int32_t a5 = alpha >> 3;
    m_coverage5[0] = 0;
    for (int c = 1; c < 32; ++c)
        m_coverage5[c] = static_cast<uint8_t>(c * a5 / 32);
    m_coverage5[32] = static_cast<uint8_t>(a5);
    m_alpha = alpha;
}

void oxRasterizer::SetColorRgb(const float* rgb) {
    uint32_t color = 0;
    for (int k = 0; k < 3; ++k) {
        const int32_t v = Fixed16(rgb[k]);
        const uint32_t byte = v < 0 ? 0 : v > 0xFFFF ? 255 : static_cast<uint32_t>(v) >> 8;
        color = (color << 8) | byte;
    }
    m_color = color;
}

void oxRasterizer::UpdateTextureScale() {
    m_textureScaleU256 = m_textureScaleU * (1.0f / 256);
    m_textureScaleV256 = m_textureScaleV * (1.0f / 256);
}

uint16_t oxRasterizer::Color16(uint32_t argb) const {
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return static_cast<uint16_t>(((g >> 3) << g_pixelFormat.greenShift) | ((r >> 3) << g_pixelFormat.redShift) |
                                 (b >> 3));
}

// The clip as far as it lies inside the target; false when nothing can be drawn.
bool oxRasterizer::TargetBounds(RECT& b) const {
    if (!m_target || !m_target->HasPixels() || (m_target->bpp != 16 && m_target->bpp != 32)) return false;
    b.left = std::max(m_clip.left, 0);
    b.top = std::max(m_clip.top, 0);
    b.right = std::min(m_clip.right, m_target->width);
    b.bottom = std::min(m_clip.bottom, m_target->height);
    return b.left < b.right && b.top < b.bottom;
}

int oxRasterizer::DrawLine(float x0, float y0, float x1, float y1) {
    if (!Finite(x0, y0, x1, y1)) return 0;
    if (m_pick) return PickLine(x0, y0, 0, x1, y1, 0);
    RECT b;
    if (!TargetBounds(b)) return 0;
    ClipPoint p0{x0, y0, {}}, p1{x1, y1, {}};
    if (!ClipSegment(p0, p1, 0, m_clip.left - 1.0f, m_clip.top - 1.0f, m_clip.right + 1.0f, m_clip.bottom + 1.0f))
        return 0;
    const float dx = p0.x - p1.x, dy = p0.y - p1.y;
    const bool xMajor = dx * dx > dy * dy;
    const float majorDiff = xMajor ? dx : dy;
    if (majorDiff == 0) return 0;
    const float minorDiff = xMajor ? dy : dx;
    const double slope = static_cast<double>(minorDiff) / majorDiff;
    float startMajor = xMajor ? p0.x : p0.y, startMinor = xMajor ? p0.y : p0.x;
    float endMajor = xMajor ? p1.x : p1.y;
    if (endMajor < startMajor) {
        std::swap(startMajor, endMajor);
        startMinor = xMajor ? p1.y : p1.x;
    }
    // The writers take the minor position where the line leaves the first pixel row (or column);
    // the row of a coordinate is its floor, also left of or above 0. Aliased lines sample the
    // middle of the row instead.
    const double rowStart = std::floor(static_cast<double>(startMajor));
    if (m_antialias) {
        const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
        m_halfExtent = std::max(Fixed16(std::fabs(0.5 * length / majorDiff)), 0x8000);
        m_minorStart = Fixed16(startMinor + slope * (rowStart + 1.0 - startMajor));
    } else {
        m_minorStart = Fixed16(startMinor + slope * (rowStart + 0.5 - startMajor));
    }
    const int32_t s = Fixed16(slope), a = Fixed16(startMajor), e = Fixed16(endMajor);
    if (m_target->bpp == 32) return xMajor ? FillLineColumns32(s, a, e) : FillLineRows32(s, a, e);
    return xMajor ? FillLineColumns16(s, a, e) : FillLineRows16(s, a, e);
}

int oxRasterizer::PickLine(float x0, float y0, float z0, float x1, float y1, float z1) {
    ClipPoint p0{x0, y0, {z0}}, p1{x1, y1, {z1}};
    if (!ClipSegment(p0, p1, 1, static_cast<float>(m_clip.left), static_cast<float>(m_clip.top),
                     static_cast<float>(m_clip.right), static_cast<float>(m_clip.bottom)))
        return 0;
    if (m_pickCallback)
        m_pickCallback(m_pickUser, static_cast<int64_t>(FixedDepth(p0.v[0])) + m_depthOffset,
                       static_cast<int32_t>(p0.x), static_cast<int32_t>(p0.y), m_pickTag);
    return 0;
}

int oxRasterizer::DrawDepthLine(const oxVertex* v0, const oxVertex* v1) {
    if (!v0 || !v1) return 0;
    if (!m_depthBuffer) return DrawLine(v0->x, v0->y, v1->x, v1->y);
    if (!Finite(v0->x, v0->y, v1->x, v1->y) || !std::isfinite(v0->z) || !std::isfinite(v1->z)) return 0;
    if (m_pick) return PickLine(v0->x, v0->y, v0->z, v1->x, v1->y, v1->z);
    RECT b;
    if (!TargetBounds(b)) return 0;
    // Two pixels of every step are written, so x + 1 and y + 1 must stay inside the target.
    const float l = std::max(static_cast<float>(m_clip.left), 1.0f);
    const float t = std::max(static_cast<float>(m_clip.top), 1.0f);
    const float r = std::min(static_cast<float>(m_clip.right), static_cast<float>(m_target->width - 2));
    const float bt = std::min(static_cast<float>(m_clip.bottom), static_cast<float>(m_target->height - 2));
    ClipPoint p0{v0->x, v0->y, {v0->z}}, p1{v1->x, v1->y, {v1->z}};
    const auto inside = [&](const ClipPoint& p) { return p.x >= l && p.x <= r && p.y >= t && p.y <= bt; };
    if (!(inside(p0) && inside(p1)) && !ClipSegment(p0, p1, 1, l, t, r, bt)) return 0;
    const float dx = p0.x - p1.x, dy = p0.y - p1.y, dz = p0.v[0] - p1.v[0];
    const bool xMajor = std::fabs(dy) < std::fabs(dx);
    const float majorDiff = xMajor ? dx : dy;
    if (majorDiff == 0) return 0;
    const float rcp = Reciprocal(majorDiff);
    const float slope = rcp * (xMajor ? dy : dx);
    const float depthSlope = rcp * dz;
    if ((xMajor ? p1.x : p1.y) < (xMajor ? p0.x : p0.y)) std::swap(p0, p1);
    const int32_t s = Fixed16(slope);
    const int32_t start = Fixed16(xMajor ? p0.x : p0.y), end = Fixed16(xMajor ? p1.x : p1.y);
    const int32_t minor = Fixed16(xMajor ? p0.y : p0.x);
    const int32_t depth = FixedDepth(p0.v[0]) + m_depthOffset;
    const int32_t depthStep = FixedDepth(depthSlope);
    if (m_target->bpp == 32)
        return xMajor ? FillDepthColumns32(s, start, end, minor, depth, depthStep)
                      : FillDepthRows32(s, start, end, minor, depth, depthStep);
    return xMajor ? FillDepthColumns16(s, start, end, minor, depth, depthStep)
                  : FillDepthRows16(s, start, end, minor, depth, depthStep);
}

int oxRasterizer::DrawShadedLine(const oxVertex* v0, const float* s0, const oxVertex* v1, const float* s1) {
    if (!v0 || !v1 || !s0 || !s1) return 0;
    if (!Finite(v0->x, v0->y, v1->x, v1->y) || !std::isfinite(v0->z) || !std::isfinite(v1->z)) return 0;
    if (m_pick) return PickLine(v0->x, v0->y, v0->z, v1->x, v1->y, v1->z);
    RECT b;
    if (!TargetBounds(b)) return 0;
    const bool textured = m_texture && m_texture->HasPixels() && m_texture->bpp == 32;
    const int values = textured ? 2 : 3;
    ClipPoint p0{v0->x, v0->y, {v0->z}}, p1{v1->x, v1->y, {v1->z}};
    for (int k = 0; k < values; ++k) {
        p0.v[k + 1] = s0[k];
        p1.v[k + 1] = s1[k];
        if (!std::isfinite(s0[k]) || !std::isfinite(s1[k])) return 0;
    }
    if (!ClipSegment(p0, p1, 1 + values, static_cast<float>(m_clip.left), static_cast<float>(m_clip.top),
                     static_cast<float>(m_clip.right), static_cast<float>(m_clip.bottom)))
        return 0;
    const float dx = p0.x - p1.x, dy = p0.y - p1.y;
    const bool xMajor = std::fabs(dy) < std::fabs(dx);
    const float majorDiff = xMajor ? dx : dy;
    if (majorDiff == 0) return 0;
    const float rcp = Reciprocal(majorDiff);
    const float slope = rcp * (xMajor ? dy : dx);
    if ((xMajor ? p1.x : p1.y) < (xMajor ? p0.x : p0.y)) std::swap(p0, p1);
    // The coverage of the anti-aliased writers needs the line's extent across its major axis.
    const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
    m_halfExtent = std::max(Fixed16(std::fabs(0.5 * length / majorDiff)), 0x8000);
    m_depthStart = FixedDepth(p0.v[0]) + m_depthOffset;
    m_depthStep = FixedDepth(rcp * (p0.v[0] - p1.v[0]));
    constexpr double kOne = 33554432.0; // 25 fraction bits
    if (textured) {
        const double su = (m_texture->width - 1) * static_cast<double>(m_textureScaleU256) * kOne;
        const double sv = (m_texture->height - 1) * static_cast<double>(m_textureScaleV256) * kOne;
        m_shade[0] = Fixed((p0.v[1] + m_textureOffsetU), su);
        m_shade[1] = Fixed((p0.v[2] + m_textureOffsetV), sv);
        m_shade[2] = 0;
        m_shadeStep[0] = Fixed(rcp * (p0.v[1] - p1.v[1]), su);
        m_shadeStep[1] = Fixed(rcp * (p0.v[2] - p1.v[2]), sv);
        m_shadeStep[2] = 0;
        if (m_mipChain) m_mipChain->ChooseLevel(*this);
    } else {
        for (int k = 0; k < 3; ++k) {
            m_shade[k] = std::clamp(Fixed(p0.v[k + 1], kOne), 0, 0x1FFFFFF);
            m_shadeStep[k] = Fixed(rcp * (p0.v[k + 1] - p1.v[k + 1]), kOne);
        }
    }
    const int32_t s = Fixed16(slope);
    const int32_t start = Fixed16(xMajor ? p0.x : p0.y), end = Fixed16(xMajor ? p1.x : p1.y);
    const int32_t minor = Fixed16(xMajor ? p0.y : p0.x);
    if (m_target->bpp == 32)
        return xMajor ? FillShadedColumns32(s, start, end, minor) : FillShadedRows32(s, start, end, minor);
    return xMajor ? FillShadedColumns16(s, start, end, minor) : FillShadedRows16(s, start, end, minor);
}

int oxRasterizer::DrawShadedTexturedLine(const oxVertex*, const oxVertexColor*, const oxTexCoord*, const oxVertex*,
                                         const oxVertexColor*, const oxTexCoord*) {
    return 0;
}

int oxRasterizer::DrawShadedTexturedLineMultiIndexed(const oxVertex* positions, const oxVertexColor* colors,
                                                     const oxTexCoord* texcoords, const int32_t* ip, const int32_t* ic,
                                                     const int32_t* it) {
    return DrawShadedTexturedLine(&positions[ip[0]], &colors[ic[0]], &texcoords[it[0]], &positions[ip[1]],
                                  &colors[ic[1]], &texcoords[it[1]]);
}

int oxRasterizer::DrawTexturedLineMultiIndexed(const oxVertex* positions, const oxTexCoord* texcoords,
                                               const int32_t* ip, const int32_t* it) {
    return DrawShadedLine(&positions[ip[0]], &texcoords[it[0]].u, &positions[ip[1]], &texcoords[it[1]].u);
}

int oxRasterizer::DrawColoredLineMultiIndexed(const oxVertex* positions, const oxVertexColor* colors, const int32_t* ip,
                                              const int32_t* ic) {
    return DrawShadedLine(&positions[ip[0]], &colors[ic[0]].r, &positions[ip[1]], &colors[ic[1]].r);
}

int oxRasterizer::DrawShadedTexturedLineIndexed(const oxVertex* positions, const oxVertexColor* colors,
                                                const oxTexCoord* texcoords, int32_t i, int32_t j) {
    return DrawShadedTexturedLine(&positions[i], &colors[i], &texcoords[i], &positions[j], &colors[j], &texcoords[j]);
}

int oxRasterizer::DrawTexturedLineIndexed(const oxVertex* positions, const oxTexCoord* texcoords, int32_t i,
                                          int32_t j) {
    return DrawShadedLine(&positions[i], &texcoords[i].u, &positions[j], &texcoords[j].u);
}

int oxRasterizer::DrawColoredLineIndexed(const oxVertex* positions, const oxVertexColor* colors, int32_t i, int32_t j) {
    return DrawShadedLine(&positions[i], &colors[i].r, &positions[j], &colors[j].r);
}

int oxRasterizer::DrawDepthLineIndexed(const oxVertex* positions, int32_t i, int32_t j) {
    return DrawDepthLine(&positions[i], &positions[j]);
}

int oxRasterizer::DrawPoint(const oxVertex* p) {
    return p ? DrawPointAt(p->x, p->y, p->z) : 0;
}

int oxRasterizer::DrawPointIndexed(const oxVertex* positions, int32_t i) {
    return DrawPoint(&positions[i]);
}

int oxRasterizer::DrawPoint2D(float x, float y) {
    int32_t* const depth = m_depthBuffer;
    m_depthBuffer = nullptr;
    const int result = DrawPointAt(x, y, 0);
    m_depthBuffer = depth;
    return result;
}

int oxRasterizer::DrawPointAt(float x, float y, float z) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || std::fabs(x) > 1e9f || std::fabs(y) > 1e9f)
        return 0;
    if (m_pick) {
        const int32_t tx = static_cast<int32_t>(x), ty = static_cast<int32_t>(y);
        if (static_cast<int32_t>(x + 1) > m_clip.left && static_cast<int32_t>(x - 1) < m_clip.right &&
            static_cast<int32_t>(y + 1) > m_clip.top && static_cast<int32_t>(y - 1) < m_clip.bottom && m_pickCallback)
            m_pickCallback(m_pickUser, static_cast<int64_t>(FixedDepth(z)) + m_depthOffset, tx, ty, m_pickTag);
        return 0;
    }
    RECT b;
    if (!TargetBounds(b)) return 0;
    const int32_t px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
    if (px < b.left + 2 || px > b.right - 3 || py < b.top + 2 || py > b.bottom - 3) return 0;
    if (m_depthBuffer) {
        const int32_t d = FixedDepth(z) + m_depthOffset + 600;
        const int32_t w = m_target->width;
        bool visible = false;
        for (int32_t j = -1; j <= 1; ++j)
            for (int32_t i = -1; i <= 1; ++i)
                visible = visible || d >= m_depthBuffer[(py + j) * w + px + i];
        if (!visible) return 0;
        for (int32_t j = -1; j <= 1; ++j)
            for (int32_t i = -1; i <= 1; ++i)
                m_depthBuffer[(py + j) * w + px + i] = d;
    }
    static constexpr int32_t kTips[4][2] = {{0, -2}, {-2, 0}, {2, 0}, {0, 2}};
    if (m_plot) {
        for (int32_t j = -1; j <= 1; ++j)
            for (int32_t i = -1; i <= 1; ++i)
                m_plot(px + i, py + j, m_coverage[255], m_plotUser);
        static constexpr int32_t kCallbackTips[4][2] = {{0, -2}, {0, 2}, {-2, 0}, {2, 0}};
        for (const auto& t : kCallbackTips)
            m_plot(px + t[0], py + t[1], m_coverage[255], m_plotUser);
        return 1;
    }
    if (m_target->bpp == 32) {
        const uint32_t c = m_color;
        for (int32_t j = -1; j <= 1; ++j)
            std::fill_n(m_target->GetRow32(py + j) + px - 1, 3, c);
        for (const auto& t : kTips) {
            uint32_t& d = m_target->GetRow32(py + t[1])[px + t[0]];
            if (!m_antialias) {
                d = c;
                continue;
            }
            d = RasterBlend32(c, d, 64);
        }
        return 1;
    }
    const uint16_t c = Color16(m_color);
    for (int32_t j = -1; j <= 1; ++j)
        std::fill_n(m_target->GetRow16(py + j) + px - 1, 3, c);
    for (const auto& t : kTips) {
        uint16_t& d = m_target->GetRow16(py + t[1])[px + t[0]];
        if (!m_antialias) {
            d = c;
            continue;
        }
        d = RasterBlend16(c, d, 8);
    }
    return 1;
}
