// Putting one glyph on the target: blending its cached coverage, or handing its outline to the
// graphics context.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/text/font.h"
#include "graphics/text/glyph_render.h"
#include "graphics/text/text_context.h"
#include "graphics/text/text_context_internal.h"

namespace {

// A glyph drawn one pixel left of its place closes the gap after a glyph without ink at its advance.
constexpr int32_t kKernShift = 1;

void Blend32(uint32_t* px, const uint8_t* cov, uint32_t color, const uint8_t* gain) {
    const uint32_t p = *px;
    const int cr = gain[cov[0]], cg = gain[cov[1]], cb = gain[cov[2]];
    int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF), a = int(p >> 24);
    r += (cr * (int(color >> 16 & 0xFF) - r)) >> 8;
    g += (cg * (int(color >> 8 & 0xFF) - g)) >> 8;
    b += (cb * (int(color & 0xFF) - b)) >> 8;
    a += ((255 - a) * std::max({cr, cg, cb})) >> 8;
    *px = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// Bitmaps keep four bytes beyond their last row, so that four pixels' coverage is one 16-byte load.
// A pixel's coverage as a word laid out as the pixel: blue, green, red subpixel, the largest as alpha.
inline uint32_t CoverageWord(const uint8_t* cov, const uint8_t* gain) {
    const uint32_t r = gain[cov[0]], g = gain[cov[1]], b = gain[cov[2]];
    return std::max({r, g, b}) << 24 | r << 16 | g << 8 | b;
}

// Each byte of the pixel moves towards the colour's by its coverage: p + (c x (t - p) >> 8), computed
// as (p x (256 - c) + t x c) >> 8, which is the same value and stays unsigned.
void BlendRow32(uint32_t* out, const uint8_t* cov, int32_t count, uint32_t color, const uint8_t* gain) {
    const uint32_t opaque = 0xFF000000u | color;
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256);
    const __m128i text = _mm_unpacklo_epi8(_mm_set1_epi32(int(opaque)), zero);
    const bool identity = gain[128] == 128 && gain[1] == 1 && gain[254] == 254;
    const __m128i low = _mm_set1_epi32(0xFF), middle = _mm_set1_epi32(0xFF00), rgb = _mm_set1_epi32(0xFFFFFF);
    for (; i + 4 <= count; i += 4) {
        __m128i c;
        if (identity) {
            // Bytes red, green, blue (and the next pixel's red) of each pixel: blue and red swap
            // places and the largest of the three becomes alpha.
            // Sixteen bytes hold the four triples; each slides down into its own lane.
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cov + 3 * i));
            const __m128i v =
                _mm_and_si128(_mm_unpacklo_epi64(_mm_unpacklo_epi32(raw, _mm_srli_si128(raw, 3)),
                                                 _mm_unpacklo_epi32(_mm_srli_si128(raw, 6), _mm_srli_si128(raw, 9))),
                              rgb);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, zero)) == 0xFFFF) continue;
            const __m128i swapped =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(v, middle), _mm_slli_epi32(_mm_and_si128(v, low), 16)),
                             _mm_srli_epi32(v, 16));
            const __m128i most =
                _mm_and_si128(_mm_max_epu8(_mm_max_epu8(v, _mm_srli_epi32(v, 8)), _mm_srli_epi32(v, 16)), low);
            c = _mm_or_si128(swapped, _mm_slli_epi32(most, 24));
        } else {
            const uint32_t w0 = CoverageWord(cov + 3 * i, gain), w1 = CoverageWord(cov + 3 * i + 3, gain);
            const uint32_t w2 = CoverageWord(cov + 3 * i + 6, gain), w3 = CoverageWord(cov + 3 * i + 9, gain);
            if (!(w0 | w1 | w2 | w3)) continue;
            c = _mm_setr_epi32(int(w0), int(w1), int(w2), int(w3));
        }
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
        const __m128i cLo = _mm_unpacklo_epi8(c, zero), cHi = _mm_unpackhi_epi8(c, zero);
        const __m128i pLo = _mm_unpacklo_epi8(p, zero), pHi = _mm_unpackhi_epi8(p, zero);
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(pLo, _mm_sub_epi16(full, cLo)), _mm_mullo_epi16(text, cLo)), 8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(pHi, _mm_sub_epi16(full, cHi)), _mm_mullo_epi16(text, cHi)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < count; ++i) {
        const uint8_t* c = cov + 3 * i;
        if (!(c[0] | c[1] | c[2])) continue;
        Blend32(out + i, c, color, gain);
    }
}

} // namespace

void BlitGlyphCoverage(const oxPixelBuffer& target, const oxGlyphBitmap& bitmap, const RECT& source,
                       const RECT& destination, uint32_t color, const uint8_t* gain, const RECT& clip) {
    const oxPixelBuffer& src = bitmap.pixels;
    if (!target.HasPixels() || !src.HasPixels() || src.bpp != 8) return;
    if (target.bpp != 32 && target.bpp != 16) return;
    const int32_t dw = destination.right - destination.left, dh = destination.bottom - destination.top;
    const int32_t sw = source.right - source.left, sh = source.bottom - source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    int32_t left = std::max({destination.left, clip.left, 0}), top = std::max({destination.top, clip.top, 0});
    int32_t right = std::min({destination.right, clip.right, target.width});
    int32_t bottom = std::min({destination.bottom, clip.bottom, target.height});
    const bool oneToOne = sw == dw && sh == dh;
    if (oneToOne) {
        // Drawn one to one, the bitmap's empty margins need no visit.
        const int32_t dx = destination.left - source.left, dy = destination.top - source.top;
        left = std::max(left, bitmap.inkLeft + dx), right = std::min(right, bitmap.inkRight + dx);
        top = std::max(top, bitmap.inkTop + dy), bottom = std::min(bottom, bitmap.inkBottom + dy);
    }
    if (left >= right || top >= bottom) return;
    const int64_t stepX = (int64_t(sw) << 16) / dw, stepY = (int64_t(sh) << 16) / dh;
    const int32_t pixels = src.width / 3;

    uint16_t color16 = 0;
    if (target.bpp == 16) {
        SetPixelFormatForLayout(target.layout);
        color16 = uint16_t(((color >> 19) & 0x1F) << g_pixelFormat.redShift |
                           ((color >> 11) & 0x1F) << g_pixelFormat.greenShift |
                           ((color >> 3) & 0x1F) << g_pixelFormat.blueShift);
    }
    const uint32_t group = g_pixelFormat.group, green = g_pixelFormat.green;
    const uint32_t rbColor = color16 & group, gColor = color16 & green;
    for (int32_t y = top; y < bottom; ++y) {
        const int32_t sy = source.top + int32_t((int64_t(y - destination.top) * stepY) >> 16);
        if (sy < 0 || sy >= src.height) continue;
        const uint8_t* row = src.GetRow8(sy);
        int64_t fx = int64_t(left - destination.left) * stepX;
        const int32_t sx0 = source.left + (left - destination.left);
        if (target.bpp == 32 && oneToOne) {
            BlendRow32(target.GetRow32(y) + left, row + 3 * sx0, right - left, color, gain);
        } else if (target.bpp == 32) {
            uint32_t* out = target.GetRow32(y);
            for (int32_t x = left; x < right; ++x, fx += stepX) {
                const int32_t sx = oneToOne ? sx0 + (x - left) : source.left + int32_t(fx >> 16);
                if (!oneToOne && (sx < 0 || sx >= pixels)) continue;
                const uint8_t* cov = row + 3 * sx;
                if (!(cov[0] | cov[1] | cov[2])) continue;
                Blend32(out + x, cov, color, gain);
            }
        } else {
            uint16_t* out = target.GetRow16(y);
            for (int32_t x = left; x < right; ++x, fx += stepX) {
                const int32_t sx = oneToOne ? sx0 + (x - left) : source.left + int32_t(fx >> 16);
                if (!oneToOne && (sx < 0 || sx >= pixels)) continue;
                const uint32_t cov = row[3 * sx];
                if (!cov) continue;
                const uint32_t w = (cov + 1) >> 3;
                const uint32_t p = out[x];
                const uint32_t rb = (((p & group) * (32 - w) + rbColor * w) >> 5) & group;
                const uint32_t g = (((p & green) * (32 - w) + gColor * w) >> 5) & green;
                out[x] = uint16_t(rb | g);
            }
        }
    }
}

void oxTextContext::PaintGlyph(Run& run, oxGlyph* glyph, char16_t c, float penX, float advance) {
    (void)c;
    (void)advance;
    const uint32_t color = m_target->FillColor() & 0xFFFFFFu;
    const float bias =
        color
            ? 0.5f + float((153 * (color >> 16 & 0xFF) + 76 * (color >> 8 & 0xFF) + 27 * (color & 0xFF)) >> 8) / 1024.0f
            : 0.5f;
    SetBias(bias);
    if (run.mode == kGlyphNone || !glyph || glyph->PointCount() == 0) return;
    float at[3];
    run.Map(penX, 0, at);

    int32_t mode = run.mode;
    if (mode == kGlyphCached) {
        // Bitmaps are upright and opaque: turned, unevenly scaled or fading text takes the outline.
        const float* m = run.matrix.m;
        const bool plain = run.upright && m[0] == m[4] && m[0] > 0 && m_target->Alpha() >= 256;
        const int32_t size =
            int32_t(RoundHalfUp(std::sqrt(double(m[3]) * m[3] + double(m[4]) * m[4] + double(m[5]) * m[5])));
        EnsureFontGraphicsContext();
        oxFont* font = CurrentFont();
        const oxGlyphBitmap* bitmap = plain && font ? RenderGlyph(font, c, size, at[0]) : nullptr;
        if (bitmap) {
            int32_t left = int32_t(std::floor(at[0]));
            const int32_t top =
                int32_t(std::floor(at[1] - float(size) * font->GetVerticalMetric2() / (2048.0f * FontScale())));
            bool ink = bitmap->ink & oxGlyphBitmap::kInkAtAdvance;
            if (run.havePrevious && !run.previousInk && !(bitmap->ink & oxGlyphBitmap::kInkInColumn4)) {
                left -= kKernShift;
                ink = false;
            }
            run.havePrevious = true;
            run.previousInk = ink;
            const oxPixelBuffer& b = bitmap->pixels;
            const RECT source{0, 0, b.width / 3, b.height};
            const RECT destination{left, top, left + b.width / 3, top + b.height};
            BlitGlyphCoverage(m_target->Target(), *bitmap, source, destination, color, m_gain,
                              m_target->GetClippedTargetRect());
            return;
        }
        mode = kGlyphFill;
    }
    if (mode == kGlyphAppend) {
        // In the run's em space, so that the path drawn under the starting matrix shows the text.
        float shift[3] = {at[0] - run.matrix.m[9], at[1] - run.matrix.m[10], 0};
        oxMatrix inverse;
        oxMatrix::Invert(run.matrix, inverse);
        inverse.TransformVector(shift, false);
        oxPath& path = m_target->Path();
        const float* pts = glyph->Points();
        const uint8_t* cmd = glyph->Commands();
        for (int32_t i = 0; i < glyph->PointCount(); ++i) {
            const float x = pts[2 * i] + shift[0], y = pts[2 * i + 1] + shift[1];
            const uint8_t kind = cmd[i] & 0x0F;
            if (kind == 1)
                path.MoveTo(x, y);
            else if (kind == 8 && i + 2 < glyph->PointCount()) {
                path.CubicTo(x, y, pts[2 * i + 2] + shift[0], pts[2 * i + 3] + shift[1], pts[2 * i + 4] + shift[0],
                             pts[2 * i + 5] + shift[1]);
                i += 2;
            } else
                path.LineTo(x, y);
            if (cmd[i] & 0x10) path.Close();
        }
        return;
    }
    oxMatrix placed = run.matrix;
    placed.m[9] = at[0], placed.m[10] = at[1], placed.m[11] = at[2];
    m_target->SetTransform(placed);
    if (mode == kGlyphFill)
        m_target->FillPath(glyph->PointCount(), glyph->Points(), 2, glyph->Commands());
    else if (mode == kGlyphStroke)
        m_target->StrokePath(glyph->PointCount(), glyph->Points(), 2, glyph->Commands());
    else if (mode == kGlyphHairline)
        m_target->DrawPolyline(glyph->PointCount(), glyph->Points(), 2, glyph->Commands());
}
