#include "graphics/effects/drop_shadow.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/effects/effects_internal.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/blitter.h"
#include "graphics/raster/span_renderer.h"

namespace {

// A soft square of 8a x 8a: a square inset by 2a, blurred with radius a, then sharpened so that the
// falloff ends sooner.
oxDibBitmap* BuildMask(int32_t a) {
    const int32_t size = 8 * a;
    auto* mask = new (std::nothrow) oxDibBitmap(size, size, 8, true, false);
    if (!mask) return nullptr;
    if (!mask->valid || mask->bpp != 8) {
        delete mask;
        return nullptr;
    }
    const int32_t b = 2 * a;
    for (int32_t y = 0; y < size; ++y) {
        uint8_t* row = mask->pixels.GetRow8(y);
        const bool rowIn = y >= b && y < size - b;
        for (int32_t x = 0; x < size; ++x)
            row[x] = rowIn && x >= b && x < size - b ? 255 : 0;
    }
    oxBlitter().BlurBuffer(mask->pixels, nullptr, float(a), nullptr);
    for (int32_t y = 0; y < size; ++y) {
        uint8_t* row = mask->pixels.GetRow8(y);
        for (int32_t x = 0; x < size; ++x)
            row[x] = uint8_t(255 - (255 - row[x]) * (255 - row[x]) / 256);
    }
    return mask;
}

RECT Bounds(const oxPixelBuffer& b) {
    return RECT{0, 0, b.width, b.height};
}

bool Intersect(const RECT& a, const RECT& b, RECT* out) {
    return IntersectRECT(&a, &b, out) && !IsRectEmpty(*out);
}

bool Inside(const RECT& r, const oxPixelBuffer& b) {
    return !IsRectEmpty(r) && r.left >= 0 && r.top >= 0 && r.right <= b.width && r.bottom <= b.height;
}

// The shadow colour with its channels scaled by the opacity and the opacity as alpha, and the same
// colour in the target's 16-bit layout.
struct ShadowColor {
    uint32_t c32;
    uint32_t c16;
    ShadowColor(uint32_t color, float opacity, const oxPixelBuffer& target) {
        const float k = opacity * 255.0f / 256.0f;
        const uint32_t r = uint32_t(float((color >> 16) & 0xFF) * k), g = uint32_t(float((color >> 8) & 0xFF) * k),
                       b = uint32_t(float(color & 0xFF) * k), alpha = uint32_t(opacity * 255.0f);
        c32 = alpha << 24 | r << 16 | g << 8 | b;
        if (target.bpp == 16 && target.layout != kLayoutUnspecified) SetPixelFormatForLayout(target.layout);
        const oxPixelFormatMasks& f = g_pixelFormat;
        c16 = ((r >> 3) << f.redShift) | ((g >> 3) << f.greenShift) | ((b >> 3) << f.blueShift);
    }
};

// The mask's rectangle stretched over `part` with 16.16 steps, blended into the target within
// `clip` in the shadow colour.
void BlendMask(oxPixelBuffer& target, const RECT& part, const oxPixelBuffer& mask, const RECT& maskRect,
               const RECT& clip, uint32_t color, float opacity, const oxDropShadow::Arc* arc = nullptr) {
    const int64_t partW = int64_t(part.right) - part.left, partH = int64_t(part.bottom) - part.top;
    const int64_t maskW = int64_t(maskRect.right) - maskRect.left, maskH = int64_t(maskRect.bottom) - maskRect.top;
    if (partW <= 0 || partH <= 0 || maskW <= 0 || maskH <= 0) return;
    RECT area;
    if (!Intersect(part, clip, &area) || !Intersect(area, Bounds(target), &area)) return;
    const int64_t stepX = (maskW << 16) / partW, stepY = (maskH << 16) / partH;

    const int32_t s = int32_t(opacity * 256.0f);
    const ShadowColor shadow(color, opacity, target);
    const uint32_t c32 = shadow.c32, c16 = shadow.c16;
    const oxPixelFormatMasks& f = g_pixelFormat;
    const uint32_t green16 = ~f.group & 0xFFFF;

    for (int32_t y = area.top; y < area.bottom; ++y) {
        const int64_t my = std::min<int64_t>(maskRect.top + (((y - part.top) * stepY) >> 16), maskRect.bottom - 1);
        const uint8_t* m = mask.GetRow8(int32_t(my));
        for (int32_t x = area.left; x < area.right; ++x) {
            const int64_t mx = std::min<int64_t>(maskRect.left + (((x - part.left) * stepX) >> 16), maskRect.right - 1);
            int32_t v = s * m[mx];
            if (arc) {
                // The part of the pixel outside the arc, from its centre's distance to the arc's.
                const double dx = x + 0.5 - arc->cx, dy = y + 0.5 - arc->cy;
                const double open = std::clamp(std::sqrt(dx * dx + dy * dy) - arc->r + 0.5, 0.0, 1.0);
                v = int32_t(v * open);
            }
            if (v <= 255) continue;
            const uint32_t a = uint32_t(v / 256 + 1);
            if (target.bpp == 32) {
                uint32_t& d = target.GetRow32(y)[x];
                d = BlendPair(d & 0x00FF00FF, c32 & 0x00FF00FF, a, 8, 0x00FF00FF) |
                    BlendPair((d >> 8) & 0x00FF00FF, (c32 >> 8) & 0x00FF00FF, a, 8, 0x00FF00FF) << 8;
            } else {
                uint16_t& d = target.GetRow16(y)[x];
                const uint32_t a5 = (a + 1) >> 3;
                d = uint16_t(BlendPair(d & f.group, c16 & f.group, a5, 5, f.group) |
                             BlendPair((d & green16) >> 5, (c16 & green16) >> 5, a5, 5, green16 >> 5) << 5);
            }
        }
    }
}

} // namespace

oxDropShadow::~oxDropShadow() {
    FreeMasks();
}

void oxDropShadow::FreeMasks() {
    delete m_innerMask;
    delete m_outerMask;
    m_innerMask = m_outerMask = nullptr;
}

const oxPixelBuffer* oxDropShadow::OuterMask() const {
    return m_outerMask ? &m_outerMask->pixels : nullptr;
}

bool oxDropShadow::SetRadius(int32_t r) {
    if (m_innerMask && m_outerMask && r == radius) return true;
    offsetX = offsetY = radius = r;
    FreeMasks();
    if (r <= 0 || r > kMaxRadius) return false;
    // The small and relief masks are not built: nothing here or in the shadow style draws them.
    m_outerMask = BuildMask(2 * r);
    m_innerMask = BuildMask(2 * r);
    if (!m_outerMask || !m_innerMask) {
        FreeMasks();
        return false;
    }
    for (int32_t y = 0; y < m_innerMask->height; ++y) {
        uint8_t* row = m_innerMask->pixels.GetRow8(y);
        for (int32_t x = 0; x < m_innerMask->width; ++x)
            row[x] = uint8_t(~row[x]);
    }
    return true;
}

void oxDropShadow::DrawNineParts(oxPixelBuffer& target, const oxPixelBuffer& mask, const RECT& t, const RECT* exclude,
                                 const RECT* renderClip, const Arc* arc) {
    const int32_t W = mask.width, H = mask.height;
    const int32_t tw = t.right - t.left, th = t.bottom - t.top;
    if (tw <= 0 || th <= 0) return;
    // The mask's soft edge spans 6r of its 16r; narrow rectangles take half their size for each corner.
    const int32_t cx = std::min(6 * radius, tw / 2), ox = tw & 1;
    const int32_t cy = std::min(6 * radius, th / 2), oy = th & 1;
    struct Part {
        RECT from, to;
    };
    const Part parts[9] = {
        {{cx + ox, cy + oy, W - cx, H - cy}, {t.left + cx, t.top + cy, t.right - cx, t.bottom - cy}},
        {{0, 0, cx + ox, cy + oy}, {t.left, t.top, t.left + cx + ox, t.top + cy + oy}},
        {{W - cx, 0, W, cy + oy}, {t.right - cx, t.top, t.right, t.top + cy + oy}},
        {{0, H - cy, cx + ox, H}, {t.left, t.bottom - cy, t.left + cx + ox, t.bottom}},
        {{W - cx, H - cy, W, H}, {t.right - cx, t.bottom - cy, t.right, t.bottom}},
        {{cx, 0, W - cx, cy}, {t.left + cx + ox, t.top, t.right - cx, t.top + cy}},
        {{cx, H - cy, W - cx, H}, {t.left + cx + ox, t.bottom - cy, t.right - cx, t.bottom}},
        {{0, cy, cx, H - cy}, {t.left, t.top + cy + oy, t.left + cx, t.bottom - cy}},
        {{W - cx, cy, W, H - cy}, {t.right - cx, t.top + cy + oy, t.right, t.bottom - cy}},
    };
    const RECT whole = renderClip ? *renderClip : Bounds(target);
    for (int i = fillCenter ? 0 : 1; i < 9; ++i) {
        const Part& p = parts[i];
        if (IsRectEmpty(p.to) || IsRectEmpty(p.from)) continue;
        RECT pieces[4];
        int count = 1;
        if (exclude) {
            count = SubtractRect(p.to, *exclude, pieces);
        } else {
            pieces[0] = p.to;
        }
        for (int j = 0; j < count; ++j) {
            RECT pieceClip;
            if (!Intersect(pieces[j], whole, &pieceClip)) continue;
            // The renderer has no per-pixel cut: an arc's pixels take the mask blend.
            if (spanRenderer && !arc) {
                DrawPartThroughRenderer(target, mask, p.from, p.to, pieceClip);
            } else {
                BlendMask(target, p.to, mask, p.from, pieceClip, color, opacity, arc);
            }
        }
    }
}

void oxDropShadow::DrawPartThroughRenderer(oxPixelBuffer& target, const oxPixelBuffer& mask, const RECT& from,
                                           const RECT& to, const RECT& pieceClip) {
    oxSpanRenderer& r = *spanRenderer;
    oxPixelBuffer part;
    part.InitSubRect(mask, &from);
    if (!part.HasPixels()) return;
    const RECT saved = r.clip;
    r.color = ShadowColor(color, opacity, target).c32;
    r.SetOpacity(opacity);
    r.clip = pieceClip;
    r.DrawImageInRect(target, part, &to);
    r.clip = saved;
}

namespace {

// The caller's clip and the object's own, either alone when the other is absent; false when neither.
bool EffectiveClip(const RECT* a, const RECT* b, RECT* out) {
    if (a && b) {
        if (!IntersectRECT(a, b, out)) *out = RECT{0, 0, 0, 0};
        return true;
    }
    if (a || b) {
        *out = a ? *a : *b;
        return true;
    }
    return false;
}

} // namespace

RECT oxDropShadow::OuterShadowRect(const RECT& rect) const {
    const int32_t g = 3 * radius;
    return RECT{rect.left + offsetX - g, rect.top + offsetY - g, rect.right + offsetX + g, rect.bottom + offsetY + g};
}

bool oxDropShadow::DrawOuter(oxPixelBuffer& target, const RECT* rect, const RECT* callerClip) {
    if (!rect) return true;
    if (!m_outerMask || !target.HasPixels() || (target.bpp != 16 && target.bpp != 32)) return false;
    RECT c;
    const bool clipped = EffectiveClip(callerClip, clip, &c);
    const RECT shadow = OuterShadowRect(*rect);
    if (clipped && !IntersectRECT(&c, &shadow, nullptr)) return true;
    DrawNineParts(target, m_outerMask->pixels, shadow, rect, clipped ? &c : nullptr);
    return true;
}

bool oxDropShadow::DrawOuterRounded(oxPixelBuffer& target, const RECT* rect, const RECT* callerClip,
                                    const float radii[4]) {
    if (!DrawOuter(target, rect, callerClip)) return false;
    if (!rect || !radii || IsRectEmpty(*rect)) return true;
    // Radii fitted to the sides as the rounded fill fits them: scaled down together until
    // neighbouring corners fit along each side.
    const double w = double(rect->right) - rect->left, h = double(rect->bottom) - rect->top;
    double r[4];
    // No radius reaches past the longer side (an infinite one would make the fit below 0 x inf).
    for (int i = 0; i < 4; ++i)
        r[i] = radii[i] > 0 ? std::min(double(radii[i]), std::max(w, h)) : 0.0;
    const double sums[4] = {r[0] + r[1], r[1] + r[2], r[2] + r[3], r[3] + r[0]}, sides[4] = {w, h, w, h};
    double f = 1.0;
    for (int i = 0; i < 4; ++i)
        if (sums[i] > sides[i]) f = std::min(f, sides[i] / sums[i]);
    RECT c;
    const bool clipped = EffectiveClip(callerClip, clip, &c);
    const RECT shadow = OuterShadowRect(*rect);
    const double L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
    for (int i = 0; i < 4; ++i) {
        const double k = r[i] * f;
        const int32_t n = int32_t(std::ceil(k));
        if (n <= 0) continue;
        const bool right = i == 1 || i == 2, bottom = i == 2 || i == 3;
        const Arc arc{right ? R - k : L + k, bottom ? B - k : T + k, k};
        RECT corner{right ? rect->right - n : rect->left, bottom ? rect->bottom - n : rect->top,
                    right ? rect->right : rect->left + n, bottom ? rect->bottom : rect->top + n};
        if (clipped && !Intersect(corner, c, &corner)) continue;
        DrawNineParts(target, m_outerMask->pixels, shadow, nullptr, &corner, &arc);
    }
    return true;
}

bool oxDropShadow::DrawInner(oxPixelBuffer& target, const RECT* rect, const RECT* callerClip) {
    if (!rect) return true;
    if (!m_innerMask || !target.HasPixels() || (target.bpp != 16 && target.bpp != 32)) return false;
    RECT c;
    const bool clipped = EffectiveClip(callerClip, clip, &c);
    const int32_t g = 3 * radius;
    const RECT grown{rect->left - g, rect->top - g, rect->right + g, rect->bottom + g};
    RECT v = grown;
    if (clipped && !IntersectRECT(&grown, &c, &v)) v = RECT{0, 0, 0, 0};
    const RECT s{rect->left + offsetX - g, rect->top + offsetY - g, rect->right + offsetX + g,
                 rect->bottom + offsetY + g};

    const ShadowColor shadow(color, opacity, target);
    const uint32_t solid = target.bpp == 16 ? shadow.c16 : shadow.c32;
    const RECT bands[4] = {
        {v.left, v.top, v.right, std::min(s.top, v.bottom)},
        {v.left, std::max(s.bottom, v.top), v.right, v.bottom},
        {v.left, std::max(s.top, v.top), std::min(s.left, v.right), std::min(s.bottom, v.bottom)},
        {std::max(s.right, v.left), std::max(s.top, v.top), v.right, std::min(s.bottom, v.bottom)},
    };
    oxBlitter blitter;
    for (RECT band : bands) {
        if (clipped && !IntersectRECT(&band, rect, &band)) continue;
        if (!IsRectEmpty(band)) blitter.FillRect(target, &band, solid);
    }
    RECT render;
    if (clipped) {
        if (!Intersect(c, *rect, &render)) return true;
    }
    DrawNineParts(target, m_innerMask->pixels, s, nullptr, clipped ? &render : nullptr);
    return true;
}

bool CompositeWithMask(const RECT* clip, oxPixelBuffer& target, const RECT* targetRect, const oxPixelBuffer& source,
                       const RECT* sourceRect, const oxPixelBuffer& mask, const RECT* maskRect, bool useSourceAlpha) {
    if (!target.HasPixels() || !source.HasPixels() || !mask.HasPixels() || target.bpp != 32 || source.bpp != 32 ||
        mask.bpp != 32)
        return false;
    const RECT t = targetRect ? *targetRect : Bounds(target);
    const RECT s = sourceRect ? *sourceRect : Bounds(source);
    const RECT m = maskRect ? *maskRect : Bounds(mask);
    // Source rectangles outside their buffers would be read past their ends.
    if (!Inside(s, source) || !Inside(m, mask)) return false;
    const int64_t tw = int64_t(t.right) - t.left, th = int64_t(t.bottom) - t.top;
    if (tw <= 0 || th <= 0) return true;
    RECT area;
    if (!Intersect(t, Bounds(target), &area)) return true;
    if (clip && !Intersect(area, *clip, &area)) return true;
    const int64_t sx = ((int64_t(s.right) - s.left) << 16) / tw, sy = ((int64_t(s.bottom) - s.top) << 16) / th;
    const int64_t mx = ((int64_t(m.right) - m.left) << 16) / tw, my = ((int64_t(m.bottom) - m.top) << 16) / th;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint32_t* srow = source.GetRow32(s.top + int32_t(((y - t.top) * sy) >> 16));
        const uint32_t* mrow = mask.GetRow32(m.top + int32_t(((y - t.top) * my) >> 16));
        uint32_t* d = target.GetRow32(y);
        for (int32_t x = area.left; x < area.right; ++x) {
            const uint32_t p = mrow[m.left + int32_t(((x - t.left) * mx) >> 16)] >> 24;
            uint32_t src = srow[s.left + int32_t(((x - t.left) * sx) >> 16)];
            if (!useSourceAlpha) src |= 0xFF000000u;
            const uint32_t k = 256 - (p * (src >> 24)) / 256;
            // Channel by channel: the rounding of k lets d x k + src x p reach past 16 bits, which
            // in a channel pair would carry into the neighbouring channel and wrap alpha to 0.
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t v = (((d[x] >> shift) & 0xFF) * k + ((src >> shift) & 0xFF) * p) >> 8;
                out |= (v > 255 ? 255 : v) << shift;
            }
            d[x] = out;
        }
    }
    return true;
}

void ResetShadowClip(RECT* rect) {
    if (rect) *rect = RECT{-32000, -32000, 32000, 32000};
}

void CopyShadowClip(RECT* rect, const RECT* source) {
    if (!rect) return;
    if (source) {
        *rect = *source;
    } else {
        ResetShadowClip(rect);
    }
}
