// Putting one glyph on the target: blending its cached coverage, or handing its outline to the
// graphics context.
#include <algorithm>
#include <cmath>

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

} // namespace

void BlitGlyphCoverage(const oxPixelBuffer& target, const oxGlyphBitmap& bitmap, const RECT& source,
                       const RECT& destination, uint32_t color, const uint8_t* gain, const RECT& clip) {
    const oxPixelBuffer& src = bitmap.pixels;
    if (!target.HasPixels() || !src.HasPixels() || src.bpp != 8) return;
    if (target.bpp != 32 && target.bpp != 16) return;
    const int32_t dw = destination.right - destination.left, dh = destination.bottom - destination.top;
    const int32_t sw = source.right - source.left, sh = source.bottom - source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    const int32_t left = std::max({destination.left, clip.left, 0}), top = std::max({destination.top, clip.top, 0});
    const int32_t right = std::min({destination.right, clip.right, target.width});
    const int32_t bottom = std::min({destination.bottom, clip.bottom, target.height});
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
    const uint32_t rbColor = color16 & g_pixelFormat.group, gColor = color16 & g_pixelFormat.green;
    for (int32_t y = top; y < bottom; ++y) {
        const int32_t sy = source.top + int32_t((int64_t(y - destination.top) * stepY) >> 16);
        if (sy < 0 || sy >= src.height) continue;
        const uint8_t* row = src.GetRow8(sy);
        int64_t fx = int64_t(left - destination.left) * stepX;
        if (target.bpp == 32) {
            uint32_t* out = target.GetRow32(y);
            for (int32_t x = left; x < right; ++x, fx += stepX) {
                const int32_t sx = source.left + int32_t(fx >> 16);
                if (sx < 0 || sx >= pixels) continue;
                const uint8_t* cov = row + 3 * sx;
                if (cov[0] | cov[1] | cov[2]) Blend32(out + x, cov, color, gain);
            }
        } else {
            uint16_t* out = target.GetRow16(y);
            for (int32_t x = left; x < right; ++x, fx += stepX) {
                const int32_t sx = source.left + int32_t(fx >> 16);
                if (sx < 0 || sx >= pixels) continue;
                const uint32_t cov = row[3 * sx];
                if (!cov) continue;
                const uint32_t w = (cov + 1) >> 3;
                const uint32_t p = out[x];
                const uint32_t rb = (((p & g_pixelFormat.group) * (32 - w) + rbColor * w) >> 5) & g_pixelFormat.group;
                const uint32_t g = (((p & g_pixelFormat.green) * (32 - w) + gColor * w) >> 5) & g_pixelFormat.green;
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
