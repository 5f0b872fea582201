// Affine image drawing by scan lines. The mapping from target pixels to source texels is solved once
// per drawing (the texture mapping of the polygon filler, here in 12.20 texel units); each row of the
// bounds is cut analytically to the samples that fall inside the source, so no per-pixel bounds test
// is left in the inner loops. The fillers are templates over the target's pixel type, the sampling
// and the operation, so each inner loop is straight integer code; the choice is made once per row.
#include "graphics/raster/span_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/pixels/image_memory.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/rasterizer_internal.h"
#include "graphics/raster/texture_source.h"

namespace {

constexpr int64_t kOne = int64_t(1) << 20; // one texel in 12.20
constexpr int64_t kHalf = kOne / 2;

// Four 8-bit channels spread into 16-bit lanes (blue, red, green, alpha), so that one multiply
// moves all four; the lerp below is the channel-pair blend done on both pairs at once.
inline uint64_t Spread(uint32_t p) {
    return (p & 0x00FF00FFull) | (uint64_t(p & 0xFF00FF00u) << 24);
}
inline uint32_t Pack(uint64_t q) {
    return uint32_t(q & 0x00FF00FFu) | uint32_t((q >> 24) & 0xFF00FF00u);
}
inline uint64_t Lerp(uint64_t a, uint64_t b, uint32_t f) {
    return (a + (((b - a) * f) >> 8)) & 0x00FF00FF00FF00FFull;
}
inline int32_t LerpByte(int32_t a, int32_t b, int32_t f) {
    return a == b ? a : a + (((b - a) * f) >> 8);
}

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// The samples k of [0, n) with 0 <= start + k * step < limit: a range [lo, hi], empty when lo > hi.
void Inside(int64_t start, int64_t step, int64_t limit, int64_t n, int64_t* lo, int64_t* hi) {
    if (step == 0) {
        if (start < 0 || start >= limit) *lo = n, *hi = -1;
        return;
    }
    int64_t a, b;
    if (step > 0) {
        a = -FloorDiv(start, step); // ceil(-start / step)
        b = FloorDiv(limit - 1 - start, step);
    } else {
        a = FloorDiv(start - limit, -step) + 1;
        b = FloorDiv(start, -step);
    }
    *lo = std::max(*lo, a);
    *hi = std::min(*hi, b);
}

// What every filler of one drawing shares.
struct Ctx {
    const uint8_t* src;
    intptr_t srcStep;
    int64_t limU, limV; // the last texel's start: the right and lower neighbours stop there
    int64_t dudx, dvdx;
    int32_t op, op5;
    const int32_t* gain;
    uint32_t color32;
    uint16_t color16;
    uint32_t group;
    int redShift, greenShift, blueShift;
    oxSpanBlend32 blend32;
    oxSpanBlend16 blend16;
    const uint8_t* second; // the second image's row
    bool oneToOne;         // one texel per pixel along x on a row of constant v
};

// Blue goes to the layout's blue shift rather than bit 0, so a 6-bit blue keeps its top bits too.
inline uint16_t To16(const Ctx& c, uint32_t p) {
    return uint16_t((((p >> 16) & 0xFF) >> 3) << c.redShift | (((p >> 8) & 0xFF) >> 3) << c.greenShift |
                    ((p & 0xFF) >> 3) << c.blueShift);
}

enum Sampling { kNearest = 0, kBilinear = 1, kCoarse = 2 };

// The 2 x 2 texels around a sample, half a texel back; the right and lower neighbours stop at the
// last column and row (the same texel again).
struct Quad {
    const uint8_t* r0;
    const uint8_t* r1;
    int64_t i, i1;
    uint32_t fx, fy;
    Quad(const Ctx& c, int64_t u, int64_t v) {
        u -= kHalf, v -= kHalf;
        const int64_t cu = u < 0 ? 0 : u, cv = v < 0 ? 0 : v;
        i = cu >> 20;
        i1 = u < c.limU ? i + 1 : i;
        r0 = c.src + (cv >> 20) * c.srcStep;
        r1 = v < c.limV ? r0 + c.srcStep : r0;
        fx = uint32_t(cu >> 12) & 0xFF, fy = uint32_t(cv >> 12) & 0xFF;
    }
};

template <int S> inline uint32_t Sample32(const Ctx& c, int64_t u, int64_t v) {
    if constexpr (S == kNearest) {
        return reinterpret_cast<const uint32_t*>(c.src + (v >> 20) * c.srcStep)[u >> 20];
    } else {
        const Quad q(c, u, v);
        const uint32_t* a = reinterpret_cast<const uint32_t*>(q.r0);
        const uint32_t* b = reinterpret_cast<const uint32_t*>(q.r1);
        if constexpr (S == kBilinear)
            return oxSpanRenderer::InterpolateArgb(a[q.i], a[q.i1], b[q.i], b[q.i1], q.fx, q.fy);
        else
            return oxSpanRenderer::InterpolateArgbCoarse(a[q.i], a[q.i1], b[q.i], b[q.i1], q.fx, q.fy);
    }
}

// The source byte, or the four around the sample lerped; coarse sampling lerps bytes as fine does.
template <int S> inline int32_t Sample8(const Ctx& c, int64_t u, int64_t v) {
    if constexpr (S == kNearest) {
        return (c.src + (v >> 20) * c.srcStep)[u >> 20];
    } else {
        const Quad q(c, u, v);
        const int32_t fx = int32_t(q.fx), fy = int32_t(q.fy);
        return LerpByte(LerpByte(q.r0[q.i], q.r0[q.i1], fx), LerpByte(q.r1[q.i], q.r1[q.i1], fx), fy);
    }
}

enum Op32 { kSourceAlpha, kCallback, kCallbackFiltered, kStore, kHalfBlend, kBlend };

// A 32-bit source onto a 32- or 16-bit row, columns [x0, x1).
template <typename T, int S, int OP>
void Fill32(const Ctx& c, T* row, int32_t x0, int32_t x1, int32_t y, int64_t u, int64_t v) {
    constexpr bool wide = sizeof(T) == 4;
    for (int32_t x = x0; x < x1; ++x, u += c.dudx, v += c.dvdx) {
        const uint32_t s = Sample32<S>(c, u, v);
        T& t = row[x];
        if constexpr (OP == kSourceAlpha) {
            if constexpr (wide)
                t = RasterBlend32(s, t, (c.op * c.gain[s >> 24]) >> 8);
            else
                t = RasterBlend16(To16(c, s), t, (c.op5 * c.gain[s >> 24]) >> 8, c.group);
        } else if constexpr (OP == kCallback) {
            if constexpr (wide) {
                const uint32_t r = c.blend32(s, t, x, y);
                t = c.op > 254 ? r : RasterBlend32(r, t, c.op);
            } else {
                const uint16_t r = c.blend16(To16(c, s), t, x, y);
                t = c.op > 254 ? r : RasterBlend16(r, t, c.op5, c.group);
            }
        } else if constexpr (OP == kCallbackFiltered) {
            if constexpr (wide)
                t = c.blend32(s, t, 0, 0);
            else
                t = c.blend16(To16(c, s), t, 0, 0);
        } else if constexpr (OP == kStore) {
            if constexpr (wide)
                t = s;
            else
                t = To16(c, s);
        } else if constexpr (OP == kHalfBlend) {
            if constexpr (wide)
                t = ((s >> 1) & 0x7F7F7F7Fu) + ((t >> 1) & 0x7F7F7F7Fu);
            else
                t = RasterBlend16(To16(c, s), t, 16, c.group);
        } else {
            if constexpr (wide)
                t = RasterBlend32(s, t, c.op);
            else
                t = RasterBlend16(To16(c, s), t, c.op5, c.group);
        }
    }
}

enum OpTint { kTintColor, kTintSecond, kTintCallback, kTintGrey };

// An 8-bit source as coverage onto a 32- or 16-bit row.
template <typename T, int S, int OP>
void FillTint(const Ctx& c, T* row, int32_t x0, int32_t x1, int32_t y, int64_t u, int64_t v) {
    constexpr bool wide = sizeof(T) == 4;
    const T* second = reinterpret_cast<const T*>(c.second);
    for (int32_t x = x0; x < x1; ++x, u += c.dudx, v += c.dvdx) {
        const int32_t b = Sample8<S>(c, u, v);
        T& t = row[x];
        if constexpr (OP == kTintGrey) {
            if constexpr (wide) {
                t = c.blend32(uint32_t(b) * 0x010101u, t, x, b * 257);
            } else if (b > 7) {
                const uint32_t g = uint32_t(b) >> 3;
                t = c.blend16(uint16_t(g << c.redShift | g << c.greenShift | g << c.blueShift), t, x, y);
            }
            continue;
        }
        // Nearest coverage goes through the gain table only on its way to a callback.
        const int32_t cover = S == kNearest && OP == kTintCallback ? c.gain[b] : b;
        int32_t w;
        if constexpr (wide) {
            if constexpr (S == kNearest) {
                // Differs from adding 1 to every weight: a weight that rounds to 0 leaves the pixel
                // alone, where a weight of 1 would darken uncovered pixels by a level.
                w = c.oneToOne ? cover : (cover * c.op) >> 8;
                if (w == 0) continue;
                ++w;
            } else {
                w = (cover * c.op) >> 8;
                if (w == 0) continue;
            }
        } else {
            w = (cover * c.op) >> 11;
            if (w == 0) continue;
        }
        T from;
        if constexpr (OP == kTintColor) {
            if constexpr (wide)
                from = c.color32;
            else
                from = c.color16;
        } else if constexpr (OP == kTintSecond) {
            from = second[x];
        } else {
            if constexpr (wide)
                from = c.blend32(c.color32, t, x, y);
            else
                from = c.blend16(c.color16, t, x, y);
        }
        if constexpr (wide)
            t = RasterBlend32(from, t, w);
        else
            t = RasterBlend16(from, t, w, c.group);
    }
}

using RowFiller = void (*)(const Ctx&, void*, int32_t, int32_t, int32_t, int64_t, int64_t);

template <typename T, int S, int OP>
void Fill32Row(const Ctx& c, void* row, int32_t x0, int32_t x1, int32_t y, int64_t u, int64_t v) {
    Fill32<T, S, OP>(c, static_cast<T*>(row), x0, x1, y, u, v);
}
template <typename T, int S, int OP>
void FillTintRow(const Ctx& c, void* row, int32_t x0, int32_t x1, int32_t y, int64_t u, int64_t v) {
    FillTint<T, S, OP>(c, static_cast<T*>(row), x0, x1, y, u, v);
}

template <typename T, int OP> RowFiller BySampling32(int s) {
    switch (s) {
    case kBilinear:
        return Fill32Row<T, kBilinear, OP>;
    case kCoarse:
        return Fill32Row<T, kCoarse, OP>;
    default:
        return Fill32Row<T, kNearest, OP>;
    }
}

template <typename T, int OP> RowFiller BySamplingTint(int s) {
    // Bytes are lerped alike in both bilinear modes.
    return s == kNearest ? FillTintRow<T, kNearest, OP> : FillTintRow<T, kBilinear, OP>;
}

// Which operation a 32-bit source takes, in order of precedence.
int Op32For(const oxSpanRenderer& r, int s, bool wide) {
    if (r.useSourceAlpha) return kSourceAlpha;
    if (wide ? r.blend32 != nullptr : r.blend16 != nullptr) return s == kNearest ? kCallback : kCallbackFiltered;
    if (s != kNearest) return kStore;
    if ((wide && r.halfBlend) || r.opacityInt == 128) return kHalfBlend;
    return r.opacityInt > 254 ? kStore : kBlend;
}

template <typename T> RowFiller Pick32(int s, int op) {
    switch (op) {
    case kSourceAlpha:
        return BySampling32<T, kSourceAlpha>(s);
    case kCallback:
        return Fill32Row<T, kNearest, kCallback>;
    case kCallbackFiltered:
        return BySampling32<T, kCallbackFiltered>(s);
    case kStore:
        return BySampling32<T, kStore>(s);
    case kHalfBlend:
        return Fill32Row<T, kNearest, kHalfBlend>;
    default:
        return Fill32Row<T, kNearest, kBlend>;
    }
}

template <typename T> RowFiller PickTint(const oxSpanRenderer& r, int s, bool wide) {
    const bool callback = wide ? r.blend32 != nullptr : r.blend16 != nullptr;
    if (callback && r.grey) return BySamplingTint<T, kTintGrey>(s);
    if (r.secondImage) return BySamplingTint<T, kTintSecond>(s);
    if (callback) return BySamplingTint<T, kTintCallback>(s);
    return BySamplingTint<T, kTintColor>(s);
}

bool Finite(float v) {
    return std::isfinite(v) && std::fabs(v) < 1.0e9f;
}

} // namespace

oxSpanRenderer::oxSpanRenderer(uint8_t inverted) {
    SetInverted(inverted);
}

oxSpanRenderer::~oxSpanRenderer() {
    ImageFree(saved_);
}

void oxSpanRenderer::SetInverted(uint8_t flag) {
    if (flag == inverted_) return;
    inverted_ = flag;
    BuildGainTables();
}

void oxSpanRenderer::BuildGainTables() {
    for (int32_t i = 0; i <= 256; ++i)
        gain_[i] = inverted_ ? 256 - i : i;
}

void oxSpanRenderer::SetOpacity(float value) {
    opacity = value;
    const float scaled = value * 256.0f;
    opacityInt = scaled > 0.0f ? (scaled < 256.0f ? int32_t(scaled) : 256) : 0; // NaN gives 0
}

void oxSpanRenderer::TransformPoint(float out[3], const float p[3], const oxMatrix& matrix) {
    const float* m = matrix.m;
    const float x = p[0], y = p[1], z = p[2];
    out[0] = x * m[0] + y * m[3] + z * m[6] + m[9];
    out[1] = x * m[1] + y * m[4] + z * m[7] + m[10];
    out[2] = x * m[2] + y * m[5] + z * m[8] + m[11];
}

uint32_t oxSpanRenderer::InterpolateArgb(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx,
                                         uint32_t fy) {
    if (p00 == p10 && p00 == p01 && p00 == p11) return p00;
    const uint64_t top = Lerp(Spread(p00), Spread(p10), fx & 0xFF);
    const uint64_t bottom = Lerp(Spread(p01), Spread(p11), fx & 0xFF);
    return Pack(Lerp(top, bottom, fy & 0xFF));
}

uint32_t oxSpanRenderer::InterpolateArgbCoarse(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx,
                                               uint32_t fy) {
    if (p00 == p10 && p00 == p01 && p00 == p11) return p00;
    const uint32_t ex = (fx & 0xFF) >> 6, ey = (fy & 0xFF) >> 6;
    auto quarter = [](uint32_t p) { return (p >> 2) & 0x3F3F3F3Fu; };
    const uint32_t top = ((quarter(p00) * (4 - ex) + quarter(p10) * ex) >> 2) & 0x3F3F3F3Fu;
    const uint32_t bottom = ((quarter(p01) * (4 - ex) + quarter(p11) * ex) >> 2) & 0x3F3F3F3Fu;
    return top * (4 - ey) + bottom * ey;
}

int oxSpanRenderer::DrawImageInRect(oxPixelBuffer& target, const oxPixelBuffer& source, const RECT* rect) {
    const RECT r = rect ? *rect : RECT{0, 0, target.width, target.height};
    if (r.right <= 0 || r.left >= target.width || r.bottom <= 0 || r.top >= target.height) return 1;
    if (palette && source.bpp <= 8) return DrawPaletted(target, source, r);
    if (source.width <= 0 || source.height <= 0) return 0;
    oxMatrix m;
    m.Scale(float(int64_t(r.right) - r.left), float(int64_t(r.bottom) - r.top), 1.0f);
    m.Scale(1.0f / float(source.width), 1.0f / float(source.height), 1.0f);
    m.Translate(float(r.left), float(r.top), 0.0f);
    return DrawTransformed(target, source, m, nullptr);
}

int oxSpanRenderer::DrawPaletted(oxPixelBuffer& target, const oxPixelBuffer& source, const RECT& rect) {
    const uint32_t* colors = palette;
    palette = nullptr;
    if (!colors || !target.HasPixels() || target.bpp != 32 || !source.HasPixels() ||
        (source.bpp != 4 && source.bpp != 8))
        return 0;
    const int64_t rw = int64_t(rect.right) - rect.left, rh = int64_t(rect.bottom) - rect.top;
    if (rw <= 0 || rh <= 0) return 1;
    const RECT whole{0, 0, target.width, target.height};
    RECT area;
    if (!IntersectRECT(&rect, &clip, &area) || !IntersectRECT(&area, &whole, &area)) return 1;
    const int64_t sx = (int64_t(source.width) << 16) / rw, sy = (int64_t(source.height) << 16) / rh;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* s = source.GetRow8(int32_t(((int64_t(y) - rect.top) * sy) >> 16));
        uint32_t* d = target.GetRow32(y);
        int64_t at = (int64_t(area.left) - rect.left) * sx; // columns clipped away on the left move the source too
        for (int32_t x = area.left; x < area.right; ++x, at += sx) {
            uint32_t index;
            if (source.bpp == 8) {
                index = s[at >> 16];
            } else {
                const uint8_t pair = s[at >> 17];
                index = (at & 0x10000) ? pair & 0x0F : pair >> 4;
            }
            const uint32_t c = colors[index];
            if (c != colorKey) d[x] = c;
        }
    }
    return 1;
}

bool oxSpanRenderer::PrepareMask(const oxPixelBuffer& target) {
    if (!mask) return true;
    if (!mask->HasPixels() || mask->bpp != 8 || mask->width != target.width || mask->height != target.height)
        return false;
    if (savedCapacity_ < mask->width) {
        auto* grown = static_cast<uint32_t*>(ImageRealloc(saved_, size_t(mask->width) * 4, 0));
        if (!grown && !saved_) grown = static_cast<uint32_t*>(ImageAlloc(size_t(mask->width) * 4, 0));
        if (!grown) return false;
        saved_ = grown;
        savedCapacity_ = mask->width;
    }
    return true;
}

void oxSpanRenderer::ApplyMask(oxPixelBuffer& target, int32_t y) const {
    const uint8_t* m = mask->GetRow8(y);
    const uint32_t* saved = saved_;
    for (int32_t x = spanStart; x < spanEnd; ++x) {
        const int32_t k = m[x];
        if (k == 255) continue;
        if (target.bpp == 8) {
            uint8_t& d = target.GetRow8(y)[x];
            const int32_t s = int32_t(saved[x]);
            d = k == 0 ? uint8_t(s) : uint8_t(s + (((int32_t(d) - s) * (k + 1)) >> 8));
        } else if (target.bpp == 16) {
            uint16_t& d = target.GetRow16(y)[x];
            d = k == 0 ? uint16_t(saved[x]) : RasterBlend16(d, uint16_t(saved[x]), (k >> 3) + 1);
        } else {
            uint32_t& d = target.GetRow32(y)[x];
            d = k == 0 ? saved[x] : RasterBlend32(d, saved[x], k + 1);
        }
    }
}

int oxSpanRenderer::DrawTransformed(oxPixelBuffer& target, const oxPixelBuffer& source, const oxMatrix& matrix,
                                    RECT* bounds) {
    if (!target.HasPixels() || !source.HasPixels()) return 0;
    if (source.width > kMaxSourceSize || source.height > kMaxSourceSize) return 0;
    // Refused rather than read or written past their rows as 32-bit words, as other depths would be.
    if ((target.bpp != 8 && target.bpp != 16 && target.bpp != 32) || (source.bpp != 8 && source.bpp != 32)) return 0;
    if (secondImage && (!secondImage->HasPixels() || secondImage->bpp != target.bpp ||
                        secondImage->width < target.width || secondImage->height < target.height))
        return 0;
    if (!PrepareMask(target)) return 0;

    const float W = float(source.width), H = float(source.height);
    const float corners[4][3] = {{0, 0, 0}, {W, 0, 0}, {0, H, 0}, {W, H, 0}};
    float p[4][3];
    for (int i = 0; i < 4; ++i) {
        TransformPoint(p[i], corners[i], matrix);
        if (!Finite(p[i][0]) || !Finite(p[i][1])) return 1; // nothing that can be placed on the target
    }
    // A matrix that flattens the image draws nothing.
    const double area = (double(p[1][0]) - p[0][0]) * (double(p[2][1]) - p[0][1]) -
                        (double(p[1][1]) - p[0][1]) * (double(p[2][0]) - p[0][0]);
    if (area == 0.0) return 1;

    oxTextureMapping mapping;
    const float points[9] = {p[0][0], p[0][1], 0, p[1][0], p[1][1], 0, p[2][0], p[2][1], 0};
    const float coords[9] = {0, 0, 0, W / 32.0f, 0, 0, 0, H / 32.0f, 0};
    mapping.Setup(points, coords, 1.0f, 1.0f);

    float minX = p[0][0], maxX = minX, minY = p[0][1], maxY = minY;
    for (auto& q : p) {
        minX = std::min(minX, q[0]), maxX = std::max(maxX, q[0]);
        minY = std::min(minY, q[1]), maxY = std::max(maxY, q[1]);
    }
    RECT b{std::max({int32_t(minX), clip.left, 0}), std::max({int32_t(minY), clip.top, 0}),
           std::min({int32_t(maxX) + 1, clip.right, target.width}),
           std::min({int32_t(maxY) + 1, clip.bottom, target.height})};
    if (b.right < b.left) b.right = b.left;
    if (b.bottom < b.top) b.bottom = b.top;
    if (bounds) *bounds = b;
    if (IsRectEmpty(b)) return 1;

    Ctx c{};
    c.src = source.firstRow;
    c.srcStep = source.rowStep;
    c.limU = (int64_t(source.width) - 1) << 20;
    c.limV = (int64_t(source.height) - 1) << 20;
    c.dudx = mapping.stepX[0];
    c.dvdx = mapping.stepX[1];
    c.op = opacityInt;
    c.op5 = opacityInt < 8 ? 0 : opacityInt >> 3; // 256 gives 32
    c.gain = gain_;
    c.blend32 = blend32;
    c.blend16 = blend16;
    if (target.bpp == 16 && target.layout != kLayoutUnspecified) SetPixelFormatForLayout(target.layout);
    c.group = g_pixelFormat.group;
    c.redShift = g_pixelFormat.redShift;
    c.greenShift = g_pixelFormat.greenShift;
    c.blueShift = g_pixelFormat.blueShift;
    c.color32 = color;
    c.color16 = To16(c, color);
    c.oneToOne = c.dudx == kOne && c.dvdx == 0 && opacityInt > 254;

    const int64_t limitU = int64_t(source.width) << 20, limitV = int64_t(source.height) << 20;
    const bool wide = target.bpp != 16;
    for (int32_t y = b.top; y < b.bottom; ++y) {
        const int64_t n = int64_t(b.right) - b.left;
        const int64_t u0 = mapping.At(0, b.left, y), v0 = mapping.At(1, b.left, y);
        int64_t lo = 0, hi = n - 1;
        Inside(u0, c.dudx, limitU, n, &lo, &hi);
        Inside(v0, c.dvdx, limitV, n, &lo, &hi);
        if (lo > hi) {
            spanStart = spanEnd = b.left;
            continue;
        }
        spanStart = b.left + int32_t(lo);
        spanEnd = b.left + int32_t(hi) + 1;
        const int64_t u = u0 + lo * c.dudx, v = v0 + lo * c.dvdx;
        if (mask) {
            for (int32_t x = spanStart; x < spanEnd; ++x)
                saved_[x] = target.bpp == 8    ? target.GetRow8(y)[x]
                            : target.bpp == 16 ? target.GetRow16(y)[x]
                                               : target.GetRow32(y)[x];
        }
        if (target.bpp == 8) {
            std::fill(target.GetRow8(y) + spanStart, target.GetRow8(y) + spanEnd, uint8_t(255));
        } else {
            int s = filter > kCoarse ? int(kNearest) : int(filter);
            // A row that steps one texel per pixel from the middle of a texel samples every texel
            // whole: filtering would give the same pixels, slower.
            if (s != kNearest && std::llabs(c.dudx) == kOne && c.dvdx == 0 && (u & (kOne - 1)) == kHalf) s = kNearest;
            RowFiller fill;
            if (source.bpp == 8) {
                c.second = secondImage ? secondImage->GetRow8(y) : nullptr;
                fill = wide ? PickTint<uint32_t>(*this, s, true) : PickTint<uint16_t>(*this, s, false);
            } else {
                const int op = Op32For(*this, s, wide);
                fill = wide ? Pick32<uint32_t>(s, op) : Pick32<uint16_t>(s, op);
            }
            fill(c, target.GetRow8(y), spanStart, spanEnd, y, u, v);
        }
        if (mask) ApplyMask(target, y);
    }
    return 1;
}
