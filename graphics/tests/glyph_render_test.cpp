#include "graphics/text/glyph_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/paint/graphics_context.h"
#include "graphics/tests/font_test_util.h"

namespace {

// The glyph filters as this test reads them, written apart from the renderer.
namespace ref {

int Round(double v) {
    return int(std::floor(v + 1.5e-8 + 0.5));
}
std::vector<uint8_t> Smooth(const std::vector<uint8_t>& row) {
    std::vector<uint8_t> out(row.size());
    const int n = int(row.size());
    for (int i = 0; i < n; ++i) {
        const int l = row[size_t(std::max(i - 1, 0))], r = row[size_t(std::min(i + 1, n - 1))];
        out[size_t(i)] = uint8_t((9 * l + 2 * row[size_t(i)] + 9 * r) / 20);
    }
    return out;
}
float BiasF(float x, float g) {
    return x / ((1.0f / g - 2.0f) * (1.0f - x) + 1.0f);
}
float Gain(float x, float g) {
    return x < 0.5f ? BiasF(2.0f * x, g) / 2.0f : 1.0f - BiasF(2.0f - 2.0f * x, g) / 2.0f;
}
uint8_t Table(int i, double value) {
    if (i == 0 || i == 255) return uint8_t(i);
    return uint8_t(std::clamp(Round(value), 0, 255));
}

struct Cell {
    int w = 0, h = 0;
    std::vector<uint8_t> bytes; // 3w x h
    uint8_t At(int x, int y) const { return bytes[size_t(y * 3 * w + x)]; }
};

// Raw coverage: the outline filled at `size` and `phase` into a cell of the font's height.
Cell Raw(oxFont& font, int code, int size, int phase) {
    const oxGlyph* g = font.GetGlyph(code);
    const float s = float(size) / 2048.0f;
    Cell c;
    c.w = int(std::floor(double(size) * g->RightExtent())) + 2;
    const double height =
        (double(font.GetVerticalMetric1()) + font.GetVerticalMetric2() + font.GetVerticalMetric3()) * s;
    c.h = height - std::floor(height) < 1e-6 ? int(std::floor(height)) : int(std::ceil(height));
    c.bytes.assign(size_t(3 * c.w * c.h), 0);
    oxPixelBuffer b;
    b.InitExternal(c.bytes.data(), 3 * c.w, 3 * c.w, c.h, 8, 1, true);
    oxGraphicsContext gc;
    gc.AttachTarget(b);
    gc.SetOption(kOptionSnapVertical, 1);
    gc.Scale(float(size), float(size));
    gc.Translate(0, float(Round(double(s) * font.GetVerticalMetric2())));
    gc.Translate(phase / 4.0f, 0);
    gc.SetFillColorF(1, 1, 1);
    gc.Scale(3, 1);
    gc.SetFloatOption(kOptionCoverageCurve, size < 11 ? std::min(0.5f + 0.05f * (11 - size), 0.7f) : 0.5f);
    gc.FillPath(g->PointCount(), g->Points(), 2, g->Commands());
    return c;
}

double Darkness(oxFont& font) {
    const Cell m = Raw(font, 'm', 12, 0);
    double sum = 0;
    for (uint8_t v : m.bytes)
        sum += v;
    return std::max(sum / (3.0 * m.w * m.h * 188.0), 0.125);
}

// The finished bitmap and its ink flags.
Cell Filtered(oxFont& font, int code, int size, int phase, float darkness, uint8_t& ink) {
    Cell c = Raw(font, code, size, phase);
    const oxGlyph* g = font.GetGlyph(code);
    const double s = size / 2048.0;
    ink = 0;
    const int advanceColumn = int(std::floor(std::min(3 * s * g->Advance()[0], 3.0 * size * g->RightExtent())));
    for (int y = 0; y < c.h; ++y) {
        if (3 * c.w > 4 && c.At(4, y) > 31) ink |= 2;
        if (advanceColumn < 3 * c.w && c.At(advanceColumn, y) > 31) ink |= 1;
    }
    // Edge rows: the first inked row from each end goes when it is faint throughout.
    for (int dir : {1, -1})
        for (int y = dir > 0 ? 0 : c.h - 1; y >= 0 && y < c.h; y += dir) {
            auto first = c.bytes.begin() + y * 3 * c.w, last = first + 3 * c.w;
            const int peak = *std::max_element(first, last);
            if (peak < 5) continue;
            if (peak < 65) std::fill(first, last, 0);
            break;
        }
    float w0 = std::clamp(0.35f + 0.05f * (7 - size), 0.25f, 0.45f);
    w0 = std::max(w0, w0 + 1.0f - 4.5f * darkness);
    const double v = -4.0 * (double(w0) - 0.5);
    uint8_t c1[256], c2[256];
    for (int i = 0; i < 256; ++i) {
        const double x = i / 255.0;
        c1[i] = Table(i, 255.0 * Gain(float(i) / 255.0f, 0.45f));
        c2[i] = Table(i, 255.0 * x * (v * x + 1 - v));
    }
    for (int y = 0; y < c.h; ++y) {
        std::vector<uint8_t> row(c.bytes.begin() + y * 3 * c.w, c.bytes.begin() + (y + 1) * 3 * c.w);
        row = Smooth(row);
        for (auto& b : row)
            b = c2[b];
        for (int p = 0; p < c.w; ++p) {
            int t[3] = {row[size_t(3 * p)], row[size_t(3 * p + 1)], row[size_t(3 * p + 2)]};
            const int d[3] = {std::abs(t[1] - t[0]), std::abs(t[2] - t[1]), std::abs(t[0] - t[2])};
            const int mean3 = (t[0] + t[1] + t[2]) / 3 * 3;
            const bool even = *std::max_element(d, d + 3) < 2 * *std::min_element(d, d + 3);
            for (int k = 0; k < 3; ++k)
                row[size_t(3 * p + k)] = c1[even ? (mean3 + 5 * t[k]) / 8 : (2 * (t[k] + mean3)) / 8];
        }
        std::copy(row.begin(), row.end(), c.bytes.begin() + y * 3 * c.w);
    }
    return c;
}

} // namespace ref

TEST(GlyphRender, SmoothRowAndCurves) {
    struct Case {
        std::vector<uint8_t> in, out;
    };
    const Case cases[] = {
        {{100}, {100}},
        {{0, 200, 0}, {90, 20, 90}},
        {{10, 20}, {14, 15}},
        {{255, 255, 255, 0}, {255, 255, 140, 114}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> row = c.in;
        SmoothRow(row.data(), int32_t(row.size()));
        EXPECT_EQ(row, c.out);
        EXPECT_EQ(ref::Smooth(c.in), c.out);
    }
    for (float g : {0.3f, 0.45f, 0.7f}) {
        EXPECT_NEAR(GainCurve(0.5f, g), 0.5f, 1e-6);
        EXPECT_EQ(GainCurve(0.0f, g), 0.0f);
        EXPECT_NEAR(GainCurve(1.0f, g), 1.0f, 1e-6);
        for (float x : {0.1f, 0.25f, 0.4f}) {
            EXPECT_NEAR(GainCurve(1.0f - x, g), 1.0f - GainCurve(x, g), 1e-6); // symmetric about the middle
            EXPECT_EQ(GainCurve(x, g) < x, g < 0.5f);                          // below 0.5 it steepens
            EXPECT_NEAR(Bias(x, 0.5f), x, 1e-6);
        }
    }
    EXPECT_EQ(RoundHalfUp(2.5), 3.0);
    EXPECT_EQ(RoundHalfUp(3.5), 4.0);
    EXPECT_EQ(RoundHalfUp(-0.4), -0.0);
}

TEST(GlyphRender, BitmapsFollowTheFiltersOnComputedCases) {
    EnsureFontGraphicsContext();
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    const float darkness = float(ref::Darkness(*font));
    struct Case {
        int code, size;
        float x;
    };
    const Case cases[] = {{'A', 12, 0.0f}, {'g', 20, 10.3f}, {'m', 12, 0.6f}, {'1', 7, 3.75f},
                          {'W', 32, 0.5f}, {'e', 9, 0.2f},   {0xE9, 16, 1.8f}};
    for (const Case& c : cases) {
        const oxGlyphBitmap* b = RenderGlyph(font.get(), c.code, c.size, c.x);
        ASSERT_TRUE(b) << c.code;
        EXPECT_NEAR(font->Darkness(), darkness, 1e-6);
        const int phase = int(std::floor(4.0 * c.x)) & 3;
        EXPECT_EQ(b->phase, phase);
        uint8_t ink = 0;
        const ref::Cell want = ref::Filtered(*font, c.code, c.size, phase, darkness, ink);
        ASSERT_EQ(b->pixels.width, 3 * want.w) << c.code;
        ASSERT_EQ(b->pixels.height, want.h) << c.code;
        EXPECT_EQ(b->ink, ink) << c.code << " at " << c.size;
        int differing = 0;
        for (int y = 0; y < want.h; ++y)
            for (int x = 0; x < 3 * want.w; ++x)
                differing += b->pixels.GetRow8(y)[x] != want.At(x, y);
        EXPECT_EQ(differing, 0) << c.code << " at " << c.size;
    }
}

TEST(GlyphRender, CacheKeysOnSizeAndQuarterPixelPhase) {
    EnsureFontGraphicsContext();
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    EXPECT_EQ(RenderGlyph(font.get(), 'A', 33, 0), nullptr);
    EXPECT_EQ(RenderGlyph(font.get(), ' ', 12, 0), nullptr); // no outline
    EXPECT_EQ(RenderGlyph(font.get(), 300, 12, 0), nullptr); // no glyph
    ASSERT_NE(RenderGlyph(font.get(), 'A', 32, 0), nullptr);

    const oxGlyphBitmap* a = RenderGlyph(font.get(), 'B', 14, 10.3f);
    const oxGlyphBitmap* b = RenderGlyph(font.get(), 'B', 14, 10.6f);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->phase, 1);
    EXPECT_EQ(b->phase, 2);
    EXPECT_NE(a, b);
    const oxGlyphBitmap* c = RenderGlyph(font.get(), 'B', 14, 10.1f);
    EXPECT_EQ(c->phase, 0);
    EXPECT_EQ(RenderGlyph(font.get(), 'B', 14, 11.1f), c);
    EXPECT_EQ(RenderGlyph(font.get(), 'B', 14, 10.3f), a);
    int chain = 0;
    for (const oxGlyphBitmap* e = font->GetGlyph('B')->FirstBitmap(); e; e = e->next)
        ++chain;
    EXPECT_EQ(chain, 3);
    // The quarter-pixel phases shift the ink right by three quarters of a subpixel each.
    EXPECT_GT(font->GlyphCacheBytes(), 0u);
}

TEST(GlyphRender, DarknessIsMeasuredOnTheFontsM) {
    EnsureFontGraphicsContext();
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    EXPECT_EQ(font->Darkness(), -1.0f);
    ASSERT_TRUE(RenderGlyph(font.get(), 'A', 20, 0));
    EXPECT_GE(font->Darkness(), 0.125f);
    const oxGlyphBitmap* m = font->GetGlyph('m')->FirstBitmap();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->size, 12);
    EXPECT_EQ(m->phase, 0);

    // Without an outline for 'm' the font stays unmeasured, and tries again next time.
    auto plain = LoadTestFont();
    plain->SetGlyph('m', new oxGlyph);
    ASSERT_TRUE(RenderGlyph(plain.get(), 'A', 20, 0));
    EXPECT_EQ(plain->Darkness(), -1.0f);
    ASSERT_TRUE(RenderGlyph(plain.get(), 'A', 21, 0));
    EXPECT_EQ(plain->Darkness(), -1.0f);
}

TEST(GlyphRender, FindFontMatchesFacePrefixes) {
    oxFont arial, sans;
    ASSERT_TRUE(arial.SetFaceName("Arial", 5));
    ASSERT_TRUE(sans.SetFaceName("DejaVu Sans", 11));
    // With an empty registry nothing is found, with or without the fallback.
    EXPECT_EQ(FindFont("Arial", 0, 0.4f, 0, true), nullptr);
    EXPECT_EQ(FindFont(nullptr, 0, 0.4f, 0, true), nullptr);
    oxFontRegistry::Register(&sans);
    oxFontRegistry::Register(&arial);
    struct Case {
        const char* face;
        bool fallback;
        oxFont* want;
    };
    const Case cases[] = {
        {"Ari", false, &arial},
        {"arial", false, nullptr},
        {"arial", true, &arial},
        {"DejaVu", false, &sans},
        {"DejaVu Sans Bold", false, nullptr},
        {nullptr, true, &arial},
        {"", false, &sans},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindFont(c.face, 0, 0.4f, 0, c.fallback), c.want) << (c.face ? c.face : "(null)");
    oxFontRegistry::Unregister(&arial);
    oxFontRegistry::Unregister(&sans);
    EXPECT_EQ(FindFont("Ari", 0, 0.4f, 0, true), nullptr);
}

} // namespace
