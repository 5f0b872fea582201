// Rectangles, rounded rectangles and image rectangles, built in the context's path and drawn at
// once. Quarter arcs are cubics with the control distance 0.5523 of the radius.
#include <algorithm>
#include <cmath>

#include "graphics/paint/graphics_context.h"

namespace {

constexpr float kArc = 0.5523f;

// Radii that together exceed a side of the box are scaled down in proportion, as far as the
// tightest side needs: larger arcs would cross each other and fold the outline into a star.
void FitRadii(float left, float top, float right, float bottom, float* r) {
    const float w = std::fabs(right - left), h = std::fabs(bottom - top);
    float f = 1.0f;
    const float sums[4] = {r[0] + r[1], r[1] + r[2], r[2] + r[3], r[3] + r[0]}; // top, right, bottom, left
    const float lengths[4] = {w, h, w, h};
    for (int i = 0; i < 4; ++i)
        if (sums[i] > lengths[i]) f = std::min(f, lengths[i] / sums[i]);
    if (f < 1.0f)
        for (int i = 0; i < 4; ++i)
            r[i] *= f;
}

} // namespace

int oxGraphicsContext::Rect(float left, float top, float right, float bottom, int mode) {
    if (mode != 3) m_path.Begin();
    m_path.MoveTo(left, top);
    m_path.LineTo(right, top);
    m_path.LineTo(right, bottom);
    m_path.LineTo(left, bottom);
    m_path.Close();
    return DrawPath(mode);
}

int oxGraphicsContext::FillRectI(const RECT& r, int mode) {
    return Rect(float(r.left), float(r.top), float(r.right), float(r.bottom), mode);
}

int oxGraphicsContext::RoundRect(float left, float top, float right, float bottom, float radius, int mode) {
    float fit[4] = {radius, radius, radius, radius};
    FitRadii(left, top, right, bottom, fit);
    const float r = fit[0];
    if (mode != 3) m_path.Begin();
    const float k = kArc * r;
    m_path.MoveTo(right - r, top);
    m_path.CubicTo(right - r + k, top, right, top + r - k, right, top + r);
    m_path.LineTo(right, bottom - r);
    m_path.CubicTo(right, bottom - r + k, right - r + k, bottom, right - r, bottom);
    m_path.LineTo(left + r, bottom);
    m_path.CubicTo(left + r - k, bottom, left, bottom - r + k, left, bottom - r);
    m_path.LineTo(left, top + r);
    m_path.CubicTo(left, top + r - k, left + r - k, top, left + r, top);
    m_path.LineTo(right - r, top);
    m_path.Close();
    return DrawPath(mode);
}

int oxGraphicsContext::RoundRectRadii(float left, float top, float right, float bottom, float tl, float tr, float br,
                                      float bl, int mode, const uint8_t* sides) {
    if (!sides && tl == tr && tr == br && br == bl) return RoundRect(left, top, right, bottom, tl, mode);
    float fit[4] = {tl, tr, br, bl};
    FitRadii(left, top, right, bottom, fit);
    tl = fit[0], tr = fit[1], br = fit[2], bl = fit[3];
    static const uint8_t kAll[4] = {1, 1, 1, 1};
    const uint8_t* s = sides ? sides : kAll;
    const bool sl = s[0], st = s[1], sr = s[2], sb = s[3];
    if (mode != 3) m_path.Begin();
    // Top-right corner first, then clockwise: right, bottom and left sides each with the corner at
    // their end.
    if (tr > 0 && st && sr) {
        const float k = kArc * tr;
        m_path.MoveTo(right - tr, top);
        m_path.CubicTo(right - tr + k, top, right, top + tr - k, right, top + tr);
    } else {
        m_path.MoveTo(right, top);
    }
    auto side = [&](bool on, float r, float lx, float ly, float c1x, float c1y, float c2x, float c2y, float ex,
                    float ey, float ox, float oy) {
        if (r > 0) {
            if (on)
                m_path.LineTo(lx, ly);
            else
                m_path.MoveTo(lx, ly);
            m_path.CubicTo(c1x, c1y, c2x, c2y, ex, ey);
        } else if (on) {
            m_path.LineTo(ox, oy);
        } else {
            m_path.MoveTo(ox, oy);
        }
    };
    float k = kArc * br;
    side(sr, br, right, bottom - br, right, bottom - br + k, right - br + k, bottom, right - br, bottom, right, bottom);
    k = kArc * bl;
    side(sb, bl, left + bl, bottom, left + bl - k, bottom, left, bottom - bl + k, left, bottom - bl, left, bottom);
    k = kArc * tl;
    side(sl, tl, left, top + tl, left, top + tl - k, left + tl - k, top, left + tl, top, left, top);
    if (sl && st && sr && sb) {
        m_path.Close();
    } else if (st) {
        m_path.LineTo(sr ? right - m_lineWidth - tr : right, top);
    }
    return DrawPath(mode);
}

int oxGraphicsContext::DrawImageRect(const RECT& r) {
    if (!m_textureMapping) return 0;
    const oxMatrix saved = m_textureTransform;
    const float sx = m_texture.width ? float(r.right - r.left) / float(m_texture.width) : 0.0f;
    const float sy = m_texture.height ? float(r.bottom - r.top) / float(m_texture.height) : 0.0f;
    m_textureTransform.Scale(sx, sy, 1.0f);
    m_textureTransform.Translate(float(r.left), float(r.top), 0.0f);
    m_combinedChanged = 1;
    FillRectI(r, 0);
    m_textureTransform = saved;
    m_combinedChanged = 1;
    return 1;
}
