#include "graphics/raster/blitter.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixels/image_memory.h"
#include "graphics/pixels/pixel_fill.h"
#include "graphics/pixels/raster_rect.h"

// Pixels are blended two channels at a time under the 0x00FF00FF mask. lerp(d, s, t) is
// d + floor((s - d) * t / 256) per channel, computed as (d * (256 - t) + s * t) >> 8 so that no
// lane goes negative or spills into its neighbour.

namespace {

inline uint32_t Lerp(uint32_t d, uint32_t s, uint32_t t) {
    const uint32_t u = 256 - t;
    const uint32_t rb = (((d & 0x00FF00FF) * u + (s & 0x00FF00FF) * t) >> 8) & 0x00FF00FF;
    const uint32_t ag = (((d >> 8) & 0x00FF00FF) * u + ((s >> 8) & 0x00FF00FF) * t) & 0xFF00FF00;
    return rb | ag;
}

// d + k * (c - d) / 256 per channel, the division truncating as the fills do.
inline uint32_t Toward(uint32_t d, uint32_t c, int32_t k, uint32_t channelMask) {
    uint32_t out = d & ~channelMask;
    for (int shift = 0; shift < 32; shift += 8) {
        if (!((channelMask >> shift) & 0xFF)) continue;
        const int32_t dv = int32_t((d >> shift) & 0xFF), cv = int32_t((c >> shift) & 0xFF);
        out |= uint32_t(dv + k * (cv - dv) / 256) << shift;
    }
    return out;
}

inline int32_t Width(const RECT& r) {
    return r.right - r.left;
}
inline int32_t Height(const RECT& r) {
    return r.bottom - r.top;
}
inline RECT Bounds(const oxPixelBuffer& b) {
    return RECT{0, 0, b.width, b.height};
}
inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The 32-bit blend rules for one pixel: `k` below 256 scales the source alpha or, without source
// alpha, the whole difference. `left` is what the callback is told of the pixels left in the row.
inline uint32_t BlendPixel(uint32_t d, uint32_t s, int32_t k, bool sourceAlpha, oxPixelCallback callback,
                           int32_t left) {
    const uint32_t src = callback ? callback(s, d, left) : s;
    if (sourceAlpha) {
        const uint32_t a = src >> 24;
        return Lerp(d, src, k == 256 ? a : (a * uint32_t(k)) >> 8);
    }
    return Lerp(d, src, uint32_t(k));
}

void BlendRow(uint32_t* d, const uint32_t* s, int32_t n, int32_t k, bool sourceAlpha, oxPixelCallback callback) {
    for (int32_t i = 0; i < n; ++i)
        d[i] = BlendPixel(d[i], s[i], k, sourceAlpha, callback, n - i);
}

// Places a clipped rectangle inside the whole one in 16.16: the first source position and step.
struct Mapping {
    int64_t stepX, stepY;
    int64_t startX, startY; // 16.16 source position of the clipped rectangle's first pixel
};

Mapping MapRects(const RECT& wholeSrc, const RECT& wholeDst, const RECT& dst) {
    Mapping m;
    m.stepX = (int64_t(Width(wholeSrc)) << 16) / Width(wholeDst);
    m.stepY = (int64_t(Height(wholeSrc)) << 16) / Height(wholeDst);
    m.startX = (int64_t(wholeSrc.left) << 16) + int64_t(dst.left - wholeDst.left) * m.stepX;
    m.startY = (int64_t(wholeSrc.top) << 16) + int64_t(dst.top - wholeDst.top) * m.stepY;
    return m;
}

inline int32_t Clamp(int64_t v, int32_t lo, int32_t hi) {
    return int32_t(std::min<int64_t>(std::max<int64_t>(v, lo), hi));
}

// Average of the source pixels in [x0, x1) x [y0, y1) through a cached reciprocal of the count.
struct BoxFilter {
    int32_t lastCount = 0;
    uint32_t reciprocal = 0;

    uint32_t Average(const oxPixelBuffer& src, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int32_t y = y0; y < y1; ++y) {
            const uint32_t* row = src.GetRow32(y);
            for (int32_t x = x0; x < x1; ++x)
                for (int c = 0; c < 4; ++c)
                    sum[c] += (row[x] >> (8 * c)) & 0xFF;
        }
        const int32_t count = (x1 - x0) * (y1 - y0);
        if (count != lastCount) {
            lastCount = count;
            reciprocal = 65536u / uint32_t(count);
        }
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c)
            out |= std::min<uint32_t>(255, uint32_t((uint64_t(sum[c]) * reciprocal) >> 16)) << (8 * c);
        return out;
    }
};

uint32_t SampleBilinear(const oxPixelBuffer& src, int64_t x, int64_t y, const RECT& area) {
    const int32_t col = Clamp(x >> 16, area.left, area.right - 1);
    const int32_t row = Clamp(y >> 16, area.top, area.bottom - 1);
    const int32_t col2 = std::min(col + 1, area.right - 1);
    const int32_t row2 = std::min(row + 1, area.bottom - 1);
    const uint32_t* r0 = src.GetRow32(row);
    const uint32_t* r1 = src.GetRow32(row2);
    return Bilinear(r0[col], r0[col2], r1[col], r1[col2], uint32_t(x >> 8) & 0xFF, uint32_t(y >> 8) & 0xFF);
}

// The part of the whole source rectangle that lies in the buffer: where samples may come from.
RECT SampleArea(const oxPixelBuffer& src, const RECT& wholeSrc) {
    RECT area;
    const RECT bounds = Bounds(src);
    if (!IntersectRECT(&wholeSrc, &bounds, &area)) area = bounds;
    return area;
}

} // namespace

int32_t OpacityFromFade(float fade) {
    if (!(fade > 0.0f)) return fade <= 0.0f ? 256 : 0;
    if (fade >= 1.0f) return 0;
    return 256 - int32_t(fade * 256.0f);
}

int32_t oxBlitter::Opacity() const {
    return OpacityFromFade(fade);
}

uint32_t Bilinear(uint32_t topLeft, uint32_t topRight, uint32_t bottomLeft, uint32_t bottomRight, uint32_t fx,
                  uint32_t fy) {
    const uint32_t top = Lerp(topLeft, topRight, fx);
    const uint32_t bottom = Lerp(bottomLeft, bottomRight, fx);
    return Lerp(top, bottom, fy);
}

bool ClipBlitRects(const RECT& sourceBounds, const RECT& destinationBounds, RECT* source, RECT* destination) {
    const int64_t sw = Width(*source), sh = Height(*source);
    const int64_t dw = Width(*destination), dh = Height(*destination);
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return false;
    RECT c;
    if (!IntersectRECT(source, &sourceBounds, &c)) return false;
    if (!SameRect(c, *source)) {
        destination->left += LONG((c.left - source->left) * dw / sw);
        destination->right += LONG((c.right - source->right) * dw / sw);
        destination->top += LONG((c.top - source->top) * dh / sh);
        destination->bottom += LONG((c.bottom - source->bottom) * dh / sh);
        *source = c;
    }
    if (!IntersectRECT(destination, &destinationBounds, &c)) return false;
    if (!SameRect(c, *destination)) {
        source->left += LONG((c.left - destination->left) * sw / dw);
        source->right += LONG((c.right - destination->right) * sw / dw);
        source->top += LONG((c.top - destination->top) * sh / dh);
        source->bottom += LONG((c.bottom - destination->bottom) * sh / dh);
        *destination = c;
    }
    if (!IntersectRECT(source, &sourceBounds, &c)) return false;
    *source = c;
    return true;
}

int SubtractRect(const RECT& a, const RECT& b, RECT out[4]) {
    if (!IntersectRECT(&a, &b, nullptr)) {
        out[0] = a;
        return 1;
    }
    int n = 0;
    const RECT parts[4] = {
        {a.left, a.top, b.left, a.bottom},
        {b.right, a.top, a.right, a.bottom},
        {std::max(a.left, b.left), a.top, std::min(a.right, b.right), b.top},
        {std::max(a.left, b.left), b.bottom, std::min(a.right, b.right), a.bottom},
    };
    for (const RECT& p : parts)
        if (!IsRectEmpty(p)) out[n++] = p;
    return n;
}

int BlendImage(oxPixelBuffer& destination, const RECT& destinationRect, const oxPixelBuffer& source,
               const RECT& sourceRect, int32_t opacity, bool sourceAlpha, oxPixelCallback callback) {
    const int32_t w = std::min(Width(destinationRect), Width(sourceRect));
    const int32_t h = std::min(Height(destinationRect), Height(sourceRect));
    if (w <= 0 || h <= 0) return 1;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* d = destination.GetRow32(destinationRect.top + y) + destinationRect.left;
        const uint32_t* s = source.GetRow32(sourceRect.top + y) + sourceRect.left;
        if (!sourceAlpha && opacity == 256 && !callback)
            std::memmove(d, s, size_t(w) * 4);
        else
            BlendRow(d, s, w, opacity, sourceAlpha, callback);
    }
    return 1;
}

int oxBlitter::StretchNearest(oxPixelBuffer& destination, const RECT& dst, const oxPixelBuffer& source, const RECT& src,
                              int32_t opacity, bool sourceAlpha, oxPixelCallback cb) {
    (void)src;
    const Mapping m = MapRects(sourceRect, destinationRect, dst);
    const RECT area = SampleArea(source, sourceRect);
    const int32_t w = Width(dst);
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        const int32_t sy = Clamp((m.startY + int64_t(y - dst.top) * m.stepY) >> 16, area.top, area.bottom - 1);
        const uint32_t* s = source.GetRow32(sy);
        uint32_t* d = destination.GetRow32(y) + dst.left;
        int64_t x = m.startX;
        for (int32_t i = 0; i < w; ++i, x += m.stepX) {
            const uint32_t texel = s[Clamp(x >> 16, area.left, area.right - 1)];
            d[i] = !sourceAlpha && opacity == 256 && !cb ? texel
                                                         : BlendPixel(d[i], texel, opacity, sourceAlpha, cb, w - i);
        }
    }
    return 1;
}

int oxBlitter::StretchSmooth(oxPixelBuffer& destination, const RECT& dst, const oxPixelBuffer& source, const RECT& src,
                             int32_t opacity, bool sourceAlpha, oxPixelCallback cb) {
    (void)src;
    const Mapping m = MapRects(sourceRect, destinationRect, dst);
    const RECT area = SampleArea(source, sourceRect);
    const int32_t w = Width(dst);
    const bool enlarging = m.stepX < 0x10000 && m.stepY < 0x10000;
    BoxFilter box;
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        const int64_t sy = m.startY + int64_t(y - dst.top) * m.stepY;
        uint32_t* d = destination.GetRow32(y) + dst.left;
        int64_t x = m.startX;
        for (int32_t i = 0; i < w; ++i, x += m.stepX) {
            uint32_t texel;
            if (m.stepX > 0x10000) {
                const int32_t x0 = Clamp(x >> 16, area.left, area.right - 1);
                const int32_t y0 = Clamp(sy >> 16, area.top, area.bottom - 1);
                const int32_t x1 = Clamp((x + m.stepX + 0xFFFF) >> 16, x0 + 1, area.right);
                const int32_t y1 = Clamp((sy + m.stepY + 0xFFFF) >> 16, y0 + 1, area.bottom);
                texel = box.Average(source, x0, y0, x1, y1);
            } else {
                texel = SampleBilinear(source, x, sy, area);
            }
            if (enlarging && opacity == 256 && !cb)
                d[i] = sourceAlpha ? Lerp(d[i], texel, texel >> 24) : texel;
            else
                d[i] = BlendPixel(d[i], texel, opacity, sourceAlpha, cb, w - i);
        }
    }
    return 1;
}

int StretchCopy(oxPixelBuffer& destination, const RECT& dst, const oxPixelBuffer& source, const RECT& src) {
    if (!destination.HasPixels() || !source.HasPixels() || destination.bpp != 32 || source.bpp != 32) return 0;
    if (Width(dst) == Width(src) && Height(dst) == Height(src)) {
        // The unscaled blend trusts its rectangles: cut both to their buffers first.
        RECT s = src, d = dst;
        if (!ClipBlitRects(Bounds(source), Bounds(destination), &s, &d)) return 1;
        return BlendImage(destination, d, source, s, 256, false, nullptr);
    }
    if (Width(dst) <= 2 || Height(dst) <= 2 || Width(src) <= 2 || Height(src) <= 2) return 0;
    // The first and last destination pixels hit the first and last source pixels.
    const int64_t stepX = ((int64_t(Width(src)) << 16) - 65537) / (Width(dst) - 1);
    const int64_t stepY = ((int64_t(Height(src)) << 16) - 65537) / (Height(dst) - 1);
    const RECT area = SampleArea(source, src);
    const RECT bounds = Bounds(destination);
    const int32_t firstRow = std::max(0, bounds.top - dst.top);
    const int32_t endRow = std::min(Height(dst), bounds.bottom - dst.top);
    for (int32_t j = firstRow; j < endRow; ++j) {
        const int32_t y = dst.top + j;
        const int64_t sy = (int64_t(src.top) << 16) + j * stepY;
        uint32_t* d = destination.GetRow32(y);
        for (int32_t i = 0; i < Width(dst); ++i) {
            const int32_t x = dst.left + i;
            if (x >= bounds.left && x < bounds.right)
                d[x] = SampleBilinear(source, (int64_t(src.left) << 16) + i * stepX, sy, area);
        }
    }
    return 1;
}

int ToGray(oxPixelBuffer& destination, const oxPixelBuffer& source) {
    const int32_t w = std::min(destination.width, source.width), h = std::min(destination.height, source.height);
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* s = source.GetRow32(y);
        uint8_t* d = destination.GetRow8(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = s[x];
            d[x] = uint8_t(((p & 0xFF) + ((p >> 15) & 0x1FF) + ((p >> 8) & 0xFF)) >> 2);
        }
    }
    return 1;
}

int oxBlitter::DrawImage(oxPixelBuffer& destination, const RECT* dstRect, const oxPixelBuffer& source,
                         const RECT* srcRect, bool smooth, bool sourceAlpha) {
    if (!destination.HasPixels() || !source.HasPixels()) return 0;
    destinationRect = dstRect ? *dstRect : Bounds(destination);
    sourceRect = srcRect ? *srcRect : Bounds(source);
    const RECT dstBounds = Bounds(destination);
    RECT visible;
    if (!IntersectRECT(&dstBounds, &clip, &visible)) return 1;
    const int32_t k = Opacity();
    if (k == 0) return 1;
    RECT src = sourceRect, dst = destinationRect;
    if (!ClipBlitRects(Bounds(source), visible, &src, &dst)) return 1;
    const bool sameSize = Width(sourceRect) == Width(destinationRect) && Height(sourceRect) == Height(destinationRect);
    if (sameSize) {
        // Clipping may round the two apart by a pixel; draw what both have.
        const int32_t w = std::min(Width(src), Width(dst)), h = std::min(Height(src), Height(dst));
        src.right = src.left + w, dst.right = dst.left + w;
        src.bottom = src.top + h, dst.bottom = dst.top + h;
    }
    const int32_t sb = source.bpp, db = destination.bpp;

    auto copyRows = [&](int32_t bytesPerPixel) {
        for (int32_t y = 0; y < Height(dst); ++y)
            std::memmove(destination.GetRow8(dst.top + y) + dst.left * bytesPerPixel,
                         source.GetRow8(src.top + y) + src.left * bytesPerPixel, size_t(Width(dst)) * bytesPerPixel);
        return 1;
    };

    if (sb == db && source.stride == destination.stride && sameSize && k == 256 && !callback && !sourceAlpha &&
        sb % 8 == 0)
        return copyRows(sb / 8);
    if (sb == 32 && db == 32) {
        if (sameSize) return BlendImage(destination, dst, source, src, k, sourceAlpha, callback);
        return smooth ? StretchSmooth(destination, dst, source, src, k, sourceAlpha, callback)
                      : StretchNearest(destination, dst, source, src, k, sourceAlpha, callback);
    }
    if (sb == 16 && db == 16) {
        if (sameSize) return copyRows(2);
        // Scaled 16-bit pictures (screen transitions at that depth) take the nearest pixel, as the
        // 32-bit stretch samples, and are copied as they are.
        const Mapping m = MapRects(sourceRect, destinationRect, dst);
        const RECT area = SampleArea(source, sourceRect);
        for (int32_t y = dst.top; y < dst.bottom; ++y) {
            const int32_t sy = Clamp((m.startY + int64_t(y - dst.top) * m.stepY) >> 16, area.top, area.bottom - 1);
            const uint16_t* from = source.GetRow16(sy);
            uint16_t* to = destination.GetRow16(y) + dst.left;
            int64_t x = m.startX;
            for (int32_t i = 0; i < Width(dst); ++i, x += m.stepX)
                to[i] = from[Clamp(x >> 16, area.left, area.right - 1)];
        }
        return 1;
    }
    if (!sameSize) return 0;
    if (sb == 8 && db == 8) return copyRows(1);
    if (sb == 8 && db == 32) {
        for (int32_t y = 0; y < Height(dst); ++y) {
            const uint8_t* s = source.GetRow8(src.top + y) + src.left;
            uint32_t* d = destination.GetRow32(dst.top + y) + dst.left;
            for (int32_t x = 0; x < Width(dst); ++x)
                d[x] = (d[x] & 0xFF000000u) | (uint32_t(s[x]) * 0x010101u);
        }
        return 1;
    }
    if (sb == 24 && db == 32) {
        // Bytes are blue, green, red, as everywhere else 24-bit pixels are read.
        for (int32_t y = 0; y < Height(dst); ++y) {
            const uint8_t* s = source.GetRow8(src.top + y) + src.left * 3;
            uint32_t* d = destination.GetRow32(dst.top + y) + dst.left;
            for (int32_t x = 0; x < Width(dst); ++x, s += 3)
                d[x] = (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
        }
        return 1;
    }
    if (sb == 32 && db == 8) {
        oxPixelBuffer to, from;
        to.InitSubRect(destination, &dst);
        from.InitSubRect(source, &src);
        return ToGray(to, from);
    }
    return 0;
}

int FillChannels(oxPixelBuffer& destination, const RECT* rect, uint32_t color, bool alpha, bool colour, float fade,
                 oxPixelCallback callback) {
    if (!destination.HasPixels()) return 0;
    RECT r = Bounds(destination);
    if (rect && !IntersectRECT(rect, &r, &r)) return 1;
    const int mode = (alpha ? 1 : 0) + (colour ? 2 : 0) + (callback ? 4 : 0);
    const int32_t k = OpacityFromFade(fade);
    if (mode == 0 || k == 0) return 1;
    if (mode == 3 && k == 256) {
        if (destination.bpp != 8 && destination.bpp != 16 && destination.bpp != 32) return 0;
        const size_t bytes = size_t(destination.bpp / 8);
        oxFillPattern pattern;
        if (bytes == 4)
            pattern.Set32(color);
        else if (bytes == 2)
            pattern.Set16(uint16_t(color));
        for (int32_t y = r.top; y < r.bottom; ++y) {
            if (bytes == 1)
                std::memset(destination.GetRow8(y) + r.left, int(color & 0xFF), size_t(Width(r)));
            else
                FillPattern(destination.GetRow8(y) + r.left * bytes, size_t(Width(r)) * bytes, pattern, 0);
        }
        return 1;
    }
    if (destination.bpp != 32) return 0;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* d = destination.GetRow32(y);
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint32_t c = callback ? callback(color, d[x], 0) : color;
            switch (mode) {
            case 1:
            case 4:
            case 5:
                if (k < 255) {
                    const int32_t a = int32_t(d[x] >> 24), ca = int32_t(c >> 24);
                    d[x] = (d[x] & 0x00FFFFFF) | (uint32_t(a - ((k * (a - ca) + 255) >> 8)) << 24);
                } else {
                    d[x] = (d[x] & 0x00FFFFFF) | (c & 0xFF000000);
                }
                break;
            case 2:
            case 6:
                d[x] = k >= 255 ? (d[x] & 0xFF000000) | (c & 0x00FFFFFF) : Toward(d[x], c, k, 0x00FFFFFF);
                break;
            default: // 3 with an opacity, 7
                d[x] = Toward(d[x], c, k, 0xFFFFFFFF);
                break;
            }
        }
    }
    return 1;
}

int oxBlitter::FillRect(oxPixelBuffer& destination, const RECT* rect, uint32_t color) {
    RECT r;
    if (rect && !IntersectRECT(rect, &clip, &r)) return 1;
    return FillChannels(destination, rect ? &r : nullptr, color, true, true, fade, callback);
}

int oxBlitter::FillAlpha(oxPixelBuffer& destination, const RECT* rect, uint32_t color) {
    RECT r;
    if (rect && !IntersectRECT(rect, &clip, &r)) return 1;
    return FillChannels(destination, rect ? &r : nullptr, color, true, false, fade, callback);
}

int oxBlitter::DrawMask(oxPixelBuffer& destination, const RECT* dstRect, const oxPixelBuffer& mask,
                        const RECT* maskRect, uint32_t color) {
    if (!destination.HasPixels() || !mask.HasPixels() || destination.bpp != 32 || mask.bpp != 8) return 0;
    const RECT wholeDst = dstRect ? *dstRect : Bounds(destination);
    const RECT wholeSrc = maskRect ? *maskRect : Bounds(mask);
    const RECT dstBounds = Bounds(destination);
    RECT visible, src = wholeSrc, dst = wholeDst;
    const int32_t k = Opacity();
    if (k == 0 || !IntersectRECT(&dstBounds, &clip, &visible) || !ClipBlitRects(Bounds(mask), visible, &src, &dst))
        return 1;
    const Mapping m = MapRects(wholeSrc, wholeDst, dst);
    const RECT area = SampleArea(mask, wholeSrc);
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        const int32_t sy = Clamp((m.startY + int64_t(y - dst.top) * m.stepY) >> 16, area.top, area.bottom - 1);
        const uint8_t* s = mask.GetRow8(sy);
        uint32_t* d = destination.GetRow32(y);
        int64_t x = m.startX;
        for (int32_t i = dst.left; i < dst.right; ++i, x += m.stepX) {
            const uint32_t t = (uint32_t(s[Clamp(x >> 16, area.left, area.right - 1)]) * uint32_t(k)) >> 8;
            const uint32_t c = callback ? callback(color, d[i], dst.left) : color;
            d[i] = Lerp(d[i], c, t);
        }
    }
    return 1;
}

int oxBlitter::DrawMask8(oxPixelBuffer& destination, const RECT* dstRect, const oxPixelBuffer& mask,
                         const RECT* maskRect, uint8_t value) {
    if (!destination.HasPixels() || !mask.HasPixels() || destination.bpp != 8 || mask.bpp != 8) return 0;
    const RECT wholeDst = dstRect ? *dstRect : Bounds(destination);
    const RECT wholeSrc = maskRect ? *maskRect : Bounds(mask);
    const RECT dstBounds = Bounds(destination);
    RECT visible, src = wholeSrc, dst = wholeDst;
    const int32_t k = Opacity();
    if (k == 0 || !IntersectRECT(&dstBounds, &clip, &visible) || !ClipBlitRects(Bounds(mask), visible, &src, &dst))
        return 1;
    const Mapping m = MapRects(wholeSrc, wholeDst, dst);
    const RECT area = SampleArea(mask, wholeSrc);
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        const int32_t sy = Clamp((m.startY + int64_t(y - dst.top) * m.stepY) >> 16, area.top, area.bottom - 1);
        const uint8_t* s = mask.GetRow8(sy);
        uint8_t* d = destination.GetRow8(y);
        int64_t x = m.startX;
        for (int32_t i = dst.left; i < dst.right; ++i, x += m.stepX) {
            const int32_t t = (int32_t(s[Clamp(x >> 16, area.left, area.right - 1)]) * k) >> 8;
            d[i] = uint8_t(d[i] + ((t * (int32_t(value) - int32_t(d[i]))) >> 8));
        }
    }
    return 1;
}

int oxBlitter::ExtractAlpha(oxPixelBuffer& destination, POINT point, const oxPixelBuffer& source, const RECT* srcRect) {
    if (!destination.HasPixels() || !source.HasPixels() || destination.bpp != 8 || source.bpp != 32) return 0;
    RECT src = srcRect ? *srcRect : Bounds(source);
    RECT dst{point.x, point.y, point.x + Width(src), point.y + Height(src)};
    const RECT dstBounds = Bounds(destination);
    RECT visible;
    if (!IntersectRECT(&clip, &dst, nullptr) || !IntersectRECT(&dstBounds, &clip, &visible) ||
        !ClipBlitRects(Bounds(source), visible, &src, &dst))
        return 1;
    const int32_t w = std::min(Width(src), Width(dst)), h = std::min(Height(src), Height(dst));
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* s = source.GetRow32(src.top + y) + src.left;
        uint8_t* d = destination.GetRow8(dst.top + y) + dst.left;
        for (int32_t x = 0; x < w; ++x)
            d[x] = uint8_t((callback ? callback(s[x], s[x], 0) : s[x]) >> 24);
    }
    return 1;
}

int oxBlitter::ExtractAlphaScaled(oxPixelBuffer& destination, const RECT* dstRect, const oxPixelBuffer& source,
                                  const RECT* srcRect) {
    if (!destination.HasPixels() || !source.HasPixels() || destination.bpp != 8 || source.bpp != 32) return 0;
    const RECT wholeDst = dstRect ? *dstRect : Bounds(destination);
    const RECT wholeSrc = srcRect ? *srcRect : Bounds(source);
    if (Width(wholeDst) == Width(wholeSrc) && Height(wholeDst) == Height(wholeSrc))
        return ExtractAlpha(destination, POINT{wholeDst.left, wholeDst.top}, source, &wholeSrc);
    const RECT dstBounds = Bounds(destination);
    RECT visible, src = wholeSrc, dst = wholeDst;
    if (!IntersectRECT(&dstBounds, &clip, &visible) || !ClipBlitRects(Bounds(source), visible, &src, &dst)) return 1;
    const Mapping m = MapRects(wholeSrc, wholeDst, dst);
    const RECT area = SampleArea(source, wholeSrc);
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        const int32_t sy = Clamp((m.startY + int64_t(y - dst.top) * m.stepY) >> 16, area.top, area.bottom - 1);
        const uint32_t* s = source.GetRow32(sy);
        uint8_t* d = destination.GetRow8(y);
        int64_t x = m.startX;
        for (int32_t i = dst.left; i < dst.right; ++i, x += m.stepX) {
            const uint32_t p = s[Clamp(x >> 16, area.left, area.right - 1)];
            d[i] = uint8_t((callback ? callback(p, p, 0) : p) >> 24);
        }
    }
    return 1;
}

int oxBlitter::Scroll(oxPixelBuffer& buffer, const RECT* rect, int32_t dx, int32_t dy) {
    if (!buffer.HasPixels() || buffer.bpp % 8 != 0) return 0;
    const RECT bounds = Bounds(buffer);
    RECT src = rect ? *rect : bounds;
    RECT dst{src.left + dx, src.top + dy, src.right + dx, src.bottom + dy};
    if (!ClipBlitRects(bounds, bounds, &src, &dst)) return 1;
    const int32_t bytes = buffer.bpp / 8;
    const int32_t w = std::min(Width(src), Width(dst)), h = std::min(Height(src), Height(dst));
    // Rows move bottom-up when the destination lies below, so overlapping rows are read first.
    const bool down = dst.top > src.top;
    for (int32_t j = 0; j < h; ++j) {
        const int32_t y = down ? h - 1 - j : j;
        std::memmove(buffer.GetRow8(dst.top + y) + dst.left * bytes, buffer.GetRow8(src.top + y) + src.left * bytes,
                     size_t(w) * bytes);
    }
    return 1;
}

// The blur is a repeated three-tap binomial filter (1, 2, 1) / 4 over strides r, r/2, ..., 1:
// about log2(r) + 1 passes per direction whatever the radius. Channels are widened to 16 bits
// (value << 8) in a work line padded by r elements on each side.

namespace {

struct BlurElement {
    uint16_t c[4];
};
static_assert(sizeof(BlurElement) == 8);

constexpr int32_t kMaxBlurRadius = 0x7FFF;

void FilterLine(BlurElement* line, int32_t n, int32_t radius, int channels) {
    for (int32_t s = radius;; s = (s + 1) >> 1) {
        for (int32_t j = 0; j < s && j < n; ++j) {
            BlurElement prev = line[j];
            for (int32_t i = j; i < n; i += s) {
                const BlurElement cur = line[i];
                const BlurElement& next = i + s < n ? line[i + s] : cur;
                for (int c = 0; c < channels; ++c)
                    line[i].c[c] = uint16_t((prev.c[c] + 2 * cur.c[c] + next.c[c]) >> 2);
                prev = cur;
            }
        }
        if (s <= 1) break;
    }
}

// Blurs `count` pixels starting at `first`, `step` bytes apart.
void BlurRun(uint8_t* first, intptr_t step, int32_t count, int32_t radius, int bpp, bool wrap, BlurElement* line) {
    const int channels = bpp == 32 ? 4 : 1;
    auto load = [&](int32_t i) {
        BlurElement e{};
        const uint8_t* p = first + i * step;
        for (int c = 0; c < channels; ++c)
            e.c[c] = uint16_t(p[c] << 8);
        return e;
    };
    for (int32_t i = 0; i < count; ++i)
        line[radius + i] = load(i);
    for (int32_t p = 0; p < radius; ++p) {
        if (wrap && bpp == 32) {
            line[p] = load(((p - radius) % count + count) % count);
            line[radius + count + p] = load(p % count);
        } else {
            line[p] = line[radius];
            line[radius + count + p] = line[radius + count - 1];
        }
    }
    FilterLine(line, count + 2 * radius, radius, channels);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* p = first + i * step;
        for (int c = 0; c < channels; ++c)
            p[c] = uint8_t(line[radius + i].c[c] >> 8);
    }
}

} // namespace

int oxBlurContext::Init(int32_t maxRadius_, int32_t maxLength) {
    Free();
    if (maxRadius_ < 0 || maxRadius_ > kMaxBlurRadius || maxLength < 0 || maxLength > 0x100000) return 0;
    const int32_t size = 2 * maxRadius_ + 1 + maxLength;
    line = ImageAlloc(size_t(size) * sizeof(BlurElement), 1);
    if (!line) return 0;
    maxRadius = maxRadius_;
    radiusX = radiusY = maxRadius_;
    lineSize = size;
    valid = 1;
    return 1;
}

void oxBlurContext::Free() {
    ImageFree(line);
    line = nullptr;
    lineSize = 0;
    valid = 0;
}

int oxBlitter::BlurBuffer(oxPixelBuffer& buffer, const RECT* rect, float radius, oxBlurContext* context) {
    if (!(radius > 0.0f)) return 1;
    if (!buffer.HasPixels() || (buffer.bpp != 8 && buffer.bpp != 32)) return 0;
    const RECT bounds = Bounds(buffer);
    RECT area = bounds;
    if (rect && !IntersectRECT(rect, &bounds, &area)) return 1;
    const float capped = std::min(radius, float(kMaxBlurRadius - 1));
    const int32_t longest = std::max(Width(area), Height(area));
    oxBlurContext temporary;
    if (!context) {
        if (!temporary.Init(int32_t(capped + 0.99999f), longest)) return 0;
        context = &temporary;
    }
    if (!context->valid) return 0;
    const int32_t r = std::min(int32_t(capped + 0.99999f), context->maxRadius);
    if (r <= 0) return 1;
    if (context->lineSize < 2 * r + longest) return 0;
    context->radiusX = context->radiusY = r;
    auto* line = static_cast<BlurElement*>(context->line);
    const int32_t bytes = buffer.bpp / 8;
    const bool wrap = blurEdgeMode == 1;
    if (context->horizontal)
        for (int32_t y = area.top; y < area.bottom; ++y)
            BlurRun(buffer.GetRow8(y) + area.left * bytes, bytes, Width(area), r, buffer.bpp, wrap, line);
    if (context->vertical)
        for (int32_t x = area.left; x < area.right; ++x)
            BlurRun(buffer.GetRow8(area.top) + x * bytes, buffer.rowStep, Height(area), r, buffer.bpp, wrap, line);
    return 1;
}
