#include "graphics/raster/span_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "graphics/pixels/pixel_format.h"
#include "graphics/tests/raster_test_util.h"

namespace {

// Everything below works one channel at a time in plain integers, so that it shares no packing
// trick with the renderer.
int FloorDiv(int a, int b) {
    return int(std::floor(double(a) / double(b)));
}
int Ch(uint32_t p, int c) {
    return int((p >> (8 * c)) & 0xFF);
}
uint32_t Make(const int ch[4]) {
    return uint32_t(ch[0]) | uint32_t(ch[1]) << 8 | uint32_t(ch[2]) << 16 | uint32_t(ch[3]) << 24;
}
int LerpRef(int a, int b, int f) {
    return a + FloorDiv((b - a) * f, 256);
}
uint32_t Blend32Ref(uint32_t s, uint32_t t, int w) {
    int out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = Ch(t, c) + FloorDiv((Ch(s, c) - Ch(t, c)) * w, 256);
    return Make(out);
}
// RGB565 fields: blue 5 bits at 0, green 6 at 5, red 5 at 11.
constexpr int kShift565[3] = {0, 5, 11}, kBits565[3] = {5, 6, 5};
int Field(uint16_t p, int f) {
    return (p >> kShift565[f]) & ((1 << kBits565[f]) - 1);
}
uint16_t Blend16Ref(uint16_t s, uint16_t t, int w) {
    int out = 0;
    for (int f = 0; f < 3; ++f)
        out |= (Field(t, f) + FloorDiv((Field(s, f) - Field(t, f)) * w, 32)) << kShift565[f];
    return uint16_t(out);
}
// Each channel's top five bits; green's fifth bit lands on the top of its six.
uint16_t To565(uint32_t p) {
    return uint16_t((Ch(p, 2) >> 3) << 11 | (Ch(p, 1) >> 3) << 6 | (Ch(p, 0) >> 3));
}

uint32_t Callback32(uint32_t s, uint32_t t, int32_t x, int32_t y) {
    return (s & 0xFF00FF00u) | ((t ^ uint32_t(x * 7 + y * 13)) & 0x00FF00FFu);
}
uint16_t Callback16(uint16_t s, uint16_t t, int32_t x, int32_t y) {
    return uint16_t((s & 0xF800u) | ((t ^ uint32_t(x * 5 + y * 3)) & 0x07FFu));
}

uint32_t Texel32(const oxPixelBuffer& b, int64_t i, int64_t j) {
    return b.GetRow32(int32_t(j))[i];
}

// The 2 x 2 neighbourhood of a 12.20 sample: half a texel back, neighbours stop at the last texel.
struct Neighbours {
    int64_t i, i1, j, j1;
    int fx, fy;
    Neighbours(int64_t u, int64_t v, int w, int h) {
        const int64_t one = int64_t(1) << 20;
        u -= one / 2, v -= one / 2;
        const int64_t cu = std::max<int64_t>(u, 0), cv = std::max<int64_t>(v, 0);
        i = cu / one, j = cv / one;
        i1 = u < int64_t(w - 1) * one ? i + 1 : i;
        j1 = v < int64_t(h - 1) * one ? j + 1 : j;
        fx = int((cu % one) * 256 / one), fy = int((cv % one) * 256 / one);
    }
};

uint32_t Bilinear32(const oxPixelBuffer& s, int64_t u, int64_t v) {
    const Neighbours n(u, v, s.width, s.height);
    const uint32_t a = Texel32(s, n.i, n.j), b = Texel32(s, n.i1, n.j), c = Texel32(s, n.i, n.j1),
                   d = Texel32(s, n.i1, n.j1);
    int out[4];
    for (int k = 0; k < 4; ++k)
        out[k] = LerpRef(LerpRef(Ch(a, k), Ch(b, k), n.fx), LerpRef(Ch(c, k), Ch(d, k), n.fx), n.fy);
    return Make(out);
}

uint32_t Coarse32(const oxPixelBuffer& s, int64_t u, int64_t v) {
    const Neighbours n(u, v, s.width, s.height);
    const uint32_t a = Texel32(s, n.i, n.j), b = Texel32(s, n.i1, n.j), c = Texel32(s, n.i, n.j1),
                   d = Texel32(s, n.i1, n.j1);
    if (a == b && a == c && a == d) return a;
    const int ex = n.fx / 64, ey = n.fy / 64;
    int out[4];
    for (int k = 0; k < 4; ++k) {
        const int top = ((Ch(a, k) / 4) * (4 - ex) + (Ch(b, k) / 4) * ex) / 4;
        const int bottom = ((Ch(c, k) / 4) * (4 - ex) + (Ch(d, k) / 4) * ex) / 4;
        out[k] = top * (4 - ey) + bottom * ey;
    }
    return Make(out);
}

int Bilinear8(const oxPixelBuffer& s, int64_t u, int64_t v) {
    const Neighbours n(u, v, s.width, s.height);
    auto at = [&](int64_t i, int64_t j) { return int(s.GetRow8(int32_t(j))[i]); };
    return LerpRef(LerpRef(at(n.i, n.j), at(n.i1, n.j), n.fx), LerpRef(at(n.i, n.j1), at(n.i1, n.j1), n.fx), n.fy);
}

enum Mode { kOpaque, kOpacity, kHalf, kSourceAlpha, kMasked, kCallback, kHalfFlagOrGrey, kSecond, kModes };
const char* const kModeNames[kModes] = {"opaque", "opacity200", "opacity128",    "sourceAlphaInverted",
                                        "mask",   "callback",   "halfFlag/grey", "secondImage"};

// A transform given both ways: as the renderer's matrix and as its exact inverse, so that the test
// finds each pixel's sample without the renderer's mapping. All values are binary fractions.
struct Transform {
    const char* name;
    float m[6]; // x' = m0 x + m2 y + m4, y' = m1 x + m3 y + m5
    RECT clip;
};
const Transform kTransforms[] = {
    {"translate", {1, 0, 0, 1, 2, 1}, {-32768, -32768, 32767, 32767}},
    {"scale2", {2, 0, 0, 2, 3, 2}, {-32768, -32768, 32767, 32767}},
    {"half", {0.5f, 0, 0, 0.5f, 1, 1}, {-32768, -32768, 32767, 32767}},
    {"turned", {2, -1, 1, 1.5f, 3, 12}, {1, 2, 30, 31}},
    {"mirrored", {-1, 0, 0, 2, 20, 3}, {-32768, -32768, 32767, 32767}},
};

struct Cell {
    int sourceBpp, targetBpp, filter, mode;
    const Transform* transform;
};

constexpr int kSourceW = 7, kSourceH = 5, kTargetSize = 32;

// What the renderer should leave at (x, y): `before` the target before drawing.
uint32_t Expected(const Cell& k, const oxPixelBuffer& source, const oxPixelBuffer& second, const oxPixelBuffer& mask,
                  int x, int y, uint32_t before, int op, const int gain[257]) {
    const float* m = k.transform->m;
    const RECT& clip = k.transform->clip;
    if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return before;
    // The inverse of the linear part, applied to the pixel's centre.
    const double det = double(m[0]) * m[3] - double(m[2]) * m[1];
    const double px = x + 0.5 - m[4], py = y + 0.5 - m[5];
    const double sx = (px * m[3] - py * m[2]) / det, sy = (py * m[0] - px * m[1]) / det;
    const int64_t one = int64_t(1) << 20;
    const int64_t u = std::llround(sx * double(one)), v = std::llround(sy * double(one));
    if (u < 0 || v < 0 || u >= kSourceW * one || v >= kSourceH * one) return before;
    const int64_t dudx = std::llround(m[3] / det * double(one)), dvdx = std::llround(-m[1] / det * double(one));
    int filter = k.filter;
    if (filter && std::llabs(dudx) == one && dvdx == 0 && u % one == one / 2) filter = 0;
    const bool wide = k.targetBpp == 32;
    const int op5 = op < 8 ? 0 : op / 8;
    uint32_t t = before, drawn = before;

    if (k.targetBpp == 8) {
        drawn = 255;
    } else if (k.sourceBpp == 32) {
        const uint32_t s = filter == 0   ? Texel32(source, u / one, v / one)
                           : filter == 1 ? Bilinear32(source, u, v)
                                         : Coarse32(source, u, v);
        const uint16_t s16 = To565(s);
        if (k.mode == kSourceAlpha) {
            drawn = wide ? Blend32Ref(s, t, op * gain[s >> 24] / 256)
                         : Blend16Ref(s16, uint16_t(t), op5 * gain[s >> 24] / 256);
        } else if (k.mode == kCallback) {
            if (filter == 0) {
                const uint32_t r = wide ? Callback32(s, t, x, y) : Callback16(s16, uint16_t(t), x, y);
                drawn = op > 254 ? r : wide ? Blend32Ref(r, t, op) : Blend16Ref(uint16_t(r), uint16_t(t), op5);
            } else {
                drawn = wide ? Callback32(s, t, 0, 0) : Callback16(s16, uint16_t(t), 0, 0);
            }
        } else if (filter != 0) {
            drawn = wide ? s : s16;
        } else if ((wide && k.mode == kHalfFlagOrGrey) || op == 128) {
            int out[4];
            for (int c = 0; c < 4; ++c)
                out[c] = Ch(s, c) / 2 + Ch(t, c) / 2;
            drawn = wide ? Make(out) : Blend16Ref(s16, uint16_t(t), 16);
        } else if (op > 254) {
            drawn = wide ? s : s16;
        } else {
            drawn = wide ? Blend32Ref(s, t, op) : Blend16Ref(s16, uint16_t(t), op5);
        }
    } else {
        const int b = filter == 0 ? source.GetRow8(int32_t(v / one))[u / one] : Bilinear8(source, u, v);
        const bool callback = k.mode == kCallback || k.mode == kHalfFlagOrGrey;
        const uint32_t colour = 0xC0306090u;
        if (k.mode == kHalfFlagOrGrey) { // grey with a callback: the result is stored
            if (wide) return Callback32(uint32_t(b) * 0x010101u, t, x, b * 257);
            if (b <= 7) return before;
            const int g = b >> 3;
            return Callback16(uint16_t(g << 11 | g << 6 | g), uint16_t(t), x, y);
        }
        const int cover = filter == 0 && callback ? gain[b] : b;
        int w;
        if (wide) {
            const bool oneToOne = dudx == one && dvdx == 0 && op > 254;
            w = filter == 0 && oneToOne ? cover : cover * op / 256;
            if (w == 0) return before;
            if (filter == 0) ++w;
        } else {
            w = cover * op / 2048;
            if (w == 0) return before;
        }
        uint32_t from = wide ? colour : To565(colour);
        if (k.mode == kSecond) from = wide ? second.GetRow32(y)[x] : second.GetRow16(y)[x];
        if (k.mode == kCallback)
            from = wide ? Callback32(colour, t, x, y) : Callback16(To565(colour), uint16_t(t), x, y);
        drawn = wide ? Blend32Ref(from, t, w) : Blend16Ref(uint16_t(from), uint16_t(t), w);
    }
    if (k.mode != kMasked) return drawn;
    const int a = mask.GetRow8(y)[x];
    if (a == 0) return before;
    if (a == 255) return drawn;
    if (k.targetBpp == 8) return before + uint32_t(FloorDiv((int(drawn) - int(before)) * (a + 1), 256));
    return wide ? Blend32Ref(drawn, before, a + 1) : Blend16Ref(uint16_t(drawn), uint16_t(before), a / 8 + 1);
}

std::string Describe(const Cell& k) {
    return std::to_string(k.sourceBpp) + "->" + std::to_string(k.targetBpp) + " filter " + std::to_string(k.filter) +
           " " + kModeNames[k.mode] + " " + k.transform->name;
}

uint32_t Pixel(const oxPixelBuffer& b, int x, int y) {
    return b.bpp == 32 ? b.GetRow32(y)[x] : b.bpp == 16 ? b.GetRow16(y)[x] : b.GetRow8(y)[x];
}

// Every filler: source depth x target depth x sampling x operation, under several transforms, each
// pixel against the reference above.
TEST(SpanRendererTest, EveryFillerMatchesTheReference) {
    TestRandom rnd(59);
    TestSurface source32(kSourceW, kSourceH, 32), source8(kSourceW, kSourceH, 8);
    for (int y = 0; y < kSourceH; ++y)
        for (int x = 0; x < kSourceW; ++x) {
            source32.buffer.GetRow32(y)[x] = rnd.Next() | (x == 3 ? 0xFF000000u : 0);
            const uint32_t r = rnd.Next() % 4;
            source8.buffer.GetRow8(y)[x] = uint8_t(r == 0 ? 0 : r == 1 ? 255 : rnd.Next());
        }
    TestSurface mask(kTargetSize, kTargetSize, 8);
    for (int y = 0; y < kTargetSize; ++y)
        for (int x = 0; x < kTargetSize; ++x) {
            const uint32_t r = rnd.Next() % 3;
            mask.buffer.GetRow8(y)[x] = uint8_t(r == 0 ? 0 : r == 1 ? 255 : rnd.Next());
        }
    int drawnCells = 0;
    for (const Transform& tr : kTransforms)
        for (int sourceBpp : {8, 32})
            for (int targetBpp : {8, 16, 32})
                for (int filter : {0, 1, 2})
                    for (int mode = 0; mode < kModes; ++mode) {
                        const Cell k{sourceBpp, targetBpp, filter, mode, &tr};
                        const int layout = targetBpp == 16 ? kLayoutRgb565 : kLayoutUnspecified;
                        TestSurface target(kTargetSize, kTargetSize, targetBpp, layout),
                            second(kTargetSize, kTargetSize, targetBpp, layout);
                        for (size_t i = 0; i < target.bytes.size(); ++i) {
                            target.bytes[i] = uint8_t(rnd.Next());
                            second.bytes[i] = uint8_t(rnd.Next());
                        }
                        TestSurface before = target;
                        before.buffer.bits = before.buffer.firstRow = before.bytes.data(); // its own bytes
                        oxSpanRenderer r(mode == kSourceAlpha ? 1 : 0);
                        r.filter = uint8_t(filter);
                        r.color = 0xC0306090u;
                        r.clip = tr.clip;
                        r.SetOpacity(mode == kOpacity || mode == kSourceAlpha || mode == kCallback ? 200 / 256.0f
                                     : mode == kHalf                                               ? 0.5f
                                                                                                   : 1.0f);
                        r.useSourceAlpha = mode == kSourceAlpha;
                        if (mode == kMasked) r.mask = &mask.buffer;
                        if (mode == kCallback || mode == kHalfFlagOrGrey) {
                            r.blend32 = sourceBpp == 8 || mode == kCallback ? Callback32 : nullptr;
                            r.blend16 = sourceBpp == 8 || mode == kCallback ? Callback16 : nullptr;
                        }
                        if (mode == kHalfFlagOrGrey) r.halfBlend = r.grey = 1;
                        if (mode == kSecond) r.secondImage = &second.buffer;
                        oxMatrix m;
                        const float* t = tr.m;
                        m.m[0] = t[0], m.m[1] = t[1], m.m[3] = t[2], m.m[4] = t[3], m.m[9] = t[4], m.m[10] = t[5];
                        const oxPixelBuffer& src = sourceBpp == 32 ? source32.buffer : source8.buffer;
                        ASSERT_EQ(1, r.DrawTransformed(target.buffer, src, m, nullptr)) << Describe(k);
                        int gain[257];
                        for (int i = 0; i <= 256; ++i)
                            gain[i] = mode == kSourceAlpha ? 256 - i : i;
                        int changed = 0;
                        for (int y = 0; y < kTargetSize; ++y)
                            for (int x = 0; x < kTargetSize; ++x) {
                                const uint32_t was = Pixel(before.buffer, x, y);
                                const uint32_t want =
                                    Expected(k, src, second.buffer, mask.buffer, x, y, was, r.opacityInt, gain);
                                const uint32_t got = Pixel(target.buffer, x, y);
                                changed += got != was;
                                ASSERT_EQ(want, got)
                                    << Describe(k) << " at " << x << "," << y << std::hex << " was " << was;
                            }
                        drawnCells += changed > 0;
                    }
    // Every cell should have drawn something; a reference that agrees only by drawing nothing proves nothing.
    EXPECT_EQ(int(std::size(kTransforms)) * 2 * 3 * 3 * kModes, drawnCells);
}

// A translation alone, and a stretch onto a rectangle of the source's own size, give the source back
// in every sampling mode.
TEST(SpanRendererTest, IdentityReproducesTheSource) {
    TestRandom rnd(7);
    TestSurface source(33, 17, 32);
    for (size_t i = 0; i < source.bytes.size(); ++i)
        source.bytes[i] = uint8_t(rnd.Next());
    for (int filter : {0, 1, 2}) {
        TestSurface target(40, 24, 32);
        oxSpanRenderer r;
        r.filter = uint8_t(filter);
        const RECT at{5, 3, 38, 20};
        ASSERT_EQ(1, r.DrawImageInRect(target.buffer, source.buffer, &at));
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= 5 && x < 38 && y >= 3 && y < 20;
                ASSERT_EQ(inside ? source.buffer.GetRow32(y - 3)[x - 5] : 0u, target.buffer.GetRow32(y)[x])
                    << "filter " << filter << " at " << x << "," << y;
            }
    }
}

TEST(SpanRendererTest, KernelsMatchChannelArithmetic) {
    TestRandom rnd(3);
    for (int i = 0; i < 2000; ++i) {
        const uint32_t p[4] = {rnd.Next(), rnd.Next(), i % 5 ? rnd.Next() : 0x12345678u, rnd.Next()};
        const uint32_t fx = rnd.Next() & 0xFF, fy = rnd.Next() & 0xFF;
        int fine[4], coarse[4];
        for (int c = 0; c < 4; ++c) {
            fine[c] = LerpRef(LerpRef(Ch(p[0], c), Ch(p[1], c), int(fx)), LerpRef(Ch(p[2], c), Ch(p[3], c), int(fx)),
                              int(fy));
            const int ex = int(fx) / 64, ey = int(fy) / 64;
            const int top = ((Ch(p[0], c) / 4) * (4 - ex) + (Ch(p[1], c) / 4) * ex) / 4;
            const int bottom = ((Ch(p[2], c) / 4) * (4 - ex) + (Ch(p[3], c) / 4) * ex) / 4;
            coarse[c] = top * (4 - ey) + bottom * ey;
        }
        ASSERT_EQ(Make(fine), oxSpanRenderer::InterpolateArgb(p[0], p[1], p[2], p[3], fx, fy)) << i;
        ASSERT_EQ(Make(coarse), oxSpanRenderer::InterpolateArgbCoarse(p[0], p[1], p[2], p[3], fx, fy)) << i;
    }
    EXPECT_EQ(0x80402010u,
              oxSpanRenderer::InterpolateArgbCoarse(0x80402010u, 0x80402010u, 0x80402010u, 0x80402010u, 100, 200));
    oxMatrix m;
    m.Scale(2, 3, 4);
    m.Translate(1, 2, 3);
    const float in[3] = {1, 1, 1};
    float out[3];
    oxSpanRenderer::TransformPoint(out, in, m);
    EXPECT_EQ(3.0f, out[0]);
    EXPECT_EQ(5.0f, out[1]);
    EXPECT_EQ(7.0f, out[2]);
}

TEST(SpanRendererTest, RefusalsAndEmptyDrawings) {
    TestSurface target(16, 16, 32), source(4, 4, 32), wide(2049, 1, 32), mask(15, 16, 8);
    target.Fill32(0x11223344u);
    source.Fill32(0xFFFFFFFFu);
    const TestSurface before = target;
    oxSpanRenderer r;
    const RECT left{-20, 0, 0, 16}, below{0, 16, 16, 30};
    EXPECT_EQ(1, r.DrawImageInRect(target.buffer, source.buffer, &left));
    EXPECT_EQ(1, r.DrawImageInRect(target.buffer, source.buffer, &below));
    EXPECT_EQ(0, r.DrawImageInRect(target.buffer, wide.buffer, nullptr));
    r.mask = &mask.buffer;
    EXPECT_EQ(0, r.DrawImageInRect(target.buffer, source.buffer, nullptr));
    r.mask = nullptr;
    TestSurface source16(4, 4, 16), target24(8, 8, 24);
    EXPECT_EQ(0, r.DrawImageInRect(target.buffer, source16.buffer, nullptr));
    EXPECT_EQ(0, r.DrawImageInRect(target24.buffer, source.buffer, nullptr));
    // Matrices that flatten the image, or put it out of any reach, draw nothing and fail nothing.
    for (float k : {0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 3e30f}) {
        oxMatrix m;
        m.m[0] = k;
        EXPECT_EQ(1, r.DrawTransformed(target.buffer, source.buffer, m, nullptr)) << k;
    }
    EXPECT_EQ(before.bytes, target.bytes);
    // The bounds of a drawing, cut to the clip.
    RECT bounds;
    oxMatrix m;
    m.Translate(-1.5f, 2.25f, 0);
    r.clip = RECT{0, 0, 16, 5};
    EXPECT_EQ(1, r.DrawTransformed(target.buffer, source.buffer, m, &bounds));
    EXPECT_EQ(0, bounds.left);
    EXPECT_EQ(2, bounds.top);
    EXPECT_EQ(3, bounds.right);
    EXPECT_EQ(5, bounds.bottom);
}

// Mask bytes 0, 255 and 127 over an 8-bit target: before, drawn, and half way ((127 + 1) / 256).
TEST(SpanRendererTest, MaskOnAnEightBitTarget) {
    TestSurface target(3, 1, 8), source(3, 1, 32), mask(3, 1, 8);
    const uint8_t m[3] = {0, 255, 127};
    for (int x = 0; x < 3; ++x) {
        target.buffer.GetRow8(0)[x] = 41;
        mask.buffer.GetRow8(0)[x] = m[x];
    }
    oxSpanRenderer r;
    r.mask = &mask.buffer;
    ASSERT_EQ(1, r.DrawImageInRect(target.buffer, source.buffer, nullptr));
    EXPECT_EQ(41, target.buffer.GetRow8(0)[0]);
    EXPECT_EQ(255, target.buffer.GetRow8(0)[1]);
    EXPECT_EQ(41 + (255 - 41) * 128 / 256, target.buffer.GetRow8(0)[2]);
}

// The paletted path: 4-bit sources take the high nibble for even columns, the colour key is not
// drawn, and columns and rows clipped at the top left still move the source.
TEST(SpanRendererTest, PalettedPath) {
    uint32_t colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = 0xFF000000u | uint32_t(i) * 0x111111u;
    TestSurface source4(4, 2, 8), source8(4, 2, 8);
    source4.buffer.bpp = 4; // two pixels per byte
    source4.buffer.GetRow8(0)[0] = 0x12, source4.buffer.GetRow8(0)[1] = 0x34;
    source4.buffer.GetRow8(1)[0] = 0x56, source4.buffer.GetRow8(1)[1] = 0x7F;
    for (int i = 0; i < 8; ++i)
        source8.buffer.GetRow8(i / 4)[i % 4] = uint8_t(8 + i);
    for (const oxPixelBuffer* s : {&source4.buffer, &source8.buffer}) {
        TestSurface target(8, 4, 32);
        target.Fill32(0xDEADBEEFu);
        oxSpanRenderer r;
        r.palette = colours;
        r.colorKey = colours[s->bpp == 4 ? 0xF : 15];
        r.clip = RECT{1, 1, 100, 100};
        const RECT at{0, 0, 8, 4}; // two pixels per source pixel
        ASSERT_EQ(1, r.DrawImageInRect(target.buffer, *s, &at));
        EXPECT_EQ(nullptr, r.palette);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const int sx = x / 2, sy = y / 2;
                const int index = s->bpp == 8 ? 8 + sy * 4 + sx : (s->GetRow8(sy)[sx / 2] >> (sx % 2 ? 0 : 4)) & 0xF;
                const bool kept = x < 1 || y < 1 || colours[index] == r.colorKey;
                ASSERT_EQ(kept ? 0xDEADBEEFu : colours[index], target.buffer.GetRow32(y)[x])
                    << s->bpp << " bpp at " << x << "," << y;
            }
        // A rectangle reaching from the far end of the range: the steps round down to 0, so every
        // pixel takes the first source pixel, read from where it lies.
        TestSurface far(4, 4, 32);
        r.palette = colours;
        r.colorKey = 0;
        const RECT huge{INT32_MIN, INT32_MIN, 4, 4};
        ASSERT_EQ(1, r.DrawImageInRect(far.buffer, *s, &huge));
        EXPECT_EQ(colours[s->bpp == 8 ? 8 : 1], far.buffer.GetRow32(3)[3]) << s->bpp;
        // Without a palette the paletted path refuses; the palette is used once.
        EXPECT_EQ(0, r.DrawImageInRect(target.buffer, source4.buffer, &at));
    }
}

} // namespace
