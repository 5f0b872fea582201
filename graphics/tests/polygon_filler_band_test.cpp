// Upright bands (two vertical edges over whole rows) take a fast path on 16-bit targets. The same
// rectangle with one side cut in two collinear edges goes through plain scan conversion instead;
// both must give the same pixels on every dither row, opacity, quality, clip and 16-bit layout, in a
// solid colour and in a texture drawn one texel per pixel or scaled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/polygon_filler.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct Rect {
    float l, t, r, b;
};

void Noise(TestSurface& s, TestRandom& rnd) {
    for (int32_t y = 0; y < s.buffer.height; ++y)
        for (int32_t x = 0; x < s.buffer.width; ++x)
            s.buffer.GetRow16(y)[x] = static_cast<uint16_t>(rnd.Next());
}

// A sloped sliver of no area right of a w x h target: with it, no row has only two edges or only
// vertical ones, so every row goes through plain scan conversion.
void AddSliver(oxPolygonFiller& f, int32_t w, int32_t h) {
    f.AddEdge(w + 1.0f, -1.0f, w + 2.0f, h + 1.0f);
    f.AddEdge(w + 2.0f, h + 1.0f, w + 1.0f, -1.0f);
}

// The same noise on two surfaces of one size.
void SameNoise(TestSurface& a, TestSurface& b, uint32_t seed) {
    TestRandom n(seed);
    for (size_t i = 0; i < a.bytes.size(); ++i)
        a.bytes[i] = b.bytes[i] = static_cast<uint8_t>(n.Next());
}

size_t FirstDifference(const TestSurface& a, const TestSurface& b) {
    size_t i = 0;
    while (i < a.bytes.size() && a.bytes[i] == b.bytes[i])
        ++i;
    return i;
}

// The rectangle as two vertical edges, or with its left side split at `mid`.
void FillRect(oxPolygonFiller& f, const Rect& q, bool split, bool reversed) {
    f.BeginPolygon(6);
    const float mid = q.t + (q.b - q.t) / 2;
    const float ys[2] = {reversed ? q.b : q.t, reversed ? q.t : q.b};
    f.AddEdge(q.r, ys[0], q.r, ys[1]);
    if (split) {
        f.AddEdge(q.l, ys[1], q.l, mid);
        f.AddEdge(q.l, mid, q.l, ys[0]);
    } else {
        f.AddEdge(q.l, ys[1], q.l, ys[0]);
    }
    f.Fill();
}

TEST(PolygonFillerBand, SixteenBitBandMatchesScanConversion) {
    constexpr int32_t kW = 61, kH = 23;
    const int32_t opacities[] = {256, 255, 254, 200, 128, 1, 0};
    const int qualities[] = {0, 2, 4, 8};
    TestRandom rnd(7);
    TestSurface texture(16, 16, 32);
    for (uint8_t& b : texture.bytes)
        b = static_cast<uint8_t>(rnd.Next());
    for (size_t i = 3; i < texture.bytes.size(); i += 4)
        texture.bytes[i] = 0xFF;
    for (int layout = 0; layout < 2; ++layout) {
        SetPixelFormatMasks(5, layout == 0 ? 6 : 5, 5);
        int cases = 0, differing = 0;
        for (int i = 0; i < 1500; ++i) {
            // Whole, quarter and arbitrary x; whole rows mostly, so that most cases are bands.
            const float grid = (i % 3 == 0) ? 1.0f : (i % 3 == 1) ? 0.25f : 1.0f / 4096;
            auto snap = [&](float v, float g) { return static_cast<float>(static_cast<int>(v / g)) * g; };
            Rect q;
            q.l = snap(rnd.Range(-6, kW + 2), grid);
            q.r = q.l + snap(rnd.Range(0, i % 5 == 0 ? 6.0f : kW + 8.0f), grid);
            q.t = snap(rnd.Range(-4, kH), i % 7 == 0 ? 0.5f : 1.0f);
            q.b = q.t + snap(rnd.Range(0, 12), 1.0f);
            if (rnd.Next() & 1) std::swap(q.l, q.r);
            const int32_t opacity = opacities[rnd.Next() % 7];
            const int quality = qualities[rnd.Next() % 4];
            const uint32_t color = rnd.Next();
            const bool clip = rnd.Next() % 4 == 0;
            const RECT clipRect{static_cast<LONG>(rnd.Next() % 9), static_cast<LONG>(rnd.Next() % 5),
                                static_cast<LONG>(kW - rnd.Next() % 9), static_cast<LONG>(kH - rnd.Next() % 5)};
            const bool reversed = rnd.Next() & 1;
            const bool nonZero = rnd.Next() & 1;
            const int textured = static_cast<int>(rnd.Next() % 3); // none, one to one, scaled
            const float ox = rnd.Range(-20, 20), oy = rnd.Range(-20, 20);
            const float side = textured == 1 ? 16.0f : rnd.Range(5, 40);
            const float points[9] = {ox, oy, 0, ox + side, oy, 0, ox, oy + side, 0};
            const float coords[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};

            TestSurface fast(kW, kH, 16), slow(kW, kH, 16);
            const uint32_t seed = rnd.Next();
            TestRandom n1(seed), n2(seed);
            Noise(fast, n1);
            Noise(slow, n2);
            for (int pass = 0; pass < 2; ++pass) {
                oxPolygonFiller f;
                f.SetTarget(pass ? &slow.buffer : &fast.buffer);
                f.SetQuality(quality);
                if (clip) f.SetClip(clipRect);
                f.SetColor(color);
                f.SetOpacity(opacity);
                f.SetFillRule(nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
                if (textured) {
                    f.SetTexture(&texture.buffer);
                    f.SetTextureMapping(points, coords);
                }
                FillRect(f, q, pass == 1, reversed);
                // A second fill reuses the prepared solid rows.
                FillRect(f, Rect{q.l + 3, q.t + 2, q.r + 3, q.b + 2}, pass == 1, reversed);
            }
            ++cases;
            if (fast.bytes != slow.bytes) {
                ++differing;
                ADD_FAILURE() << "layout " << layout << " case " << i << ": rect " << q.l << "," << q.t << " - " << q.r
                              << "," << q.b << " opacity " << opacity << " quality " << quality
                              << (clip ? " clipped" : "") << (textured ? " textured" : "");
                if (differing > 5) break;
            }
        }
        EXPECT_EQ(differing, 0) << "of " << cases;
    }
    SetPixelFormatMasks(0, 0, 0);
}

// Rows where only vertical edges are active are computed once for the whole stretch. A sloped
// sliver of no area right of the clip keeps every row on plain scan conversion; with and without it
// nested and overlapping rectangles must give the same pixels at every depth, rule and quality.
// (Without the sliver, a row where one rectangle ends and another starts has a gap with no active
// edges; that row must still be written once, with the coverage of both.)
TEST(PolygonFillerBand, UprightStretchesMatchScanConversion) {
    constexpr int32_t kW = 45, kH = 29;
    const int qualities[] = {0, 2, 4, 8};
    TestRandom rnd(11);
    int differing = 0;
    for (int i = 0; i < 600 && differing < 5; ++i) {
        const int32_t bpp = i % 3 == 0 ? 32 : i % 3 == 1 ? 16 : 8;
        const float grid = (i % 4 == 0) ? 1.0f : (i % 4 == 1) ? 0.5f : (i % 4 == 2) ? 0.25f : 1.0f / 4096;
        auto snap = [&](float v) { return static_cast<float>(static_cast<int>(v / grid)) * grid; };
        std::vector<Rect> rects;
        for (int k = 0, n = 2 + static_cast<int>(rnd.Next() % 3); k < n; ++k) {
            Rect q{snap(rnd.Range(-3, kW)), snap(rnd.Range(-3, kH)), 0, 0};
            q.r = q.l + snap(rnd.Range(1, kW));
            q.b = q.t + snap(rnd.Range(1, kH));
            rects.push_back(q);
        }
        const int quality = qualities[rnd.Next() % 4];
        const bool nonZero = rnd.Next() & 1;
        const uint32_t color = rnd.Next() | 0xFF000000u;
        const int32_t opacity = rnd.Next() % 3 == 0 ? 180 : 256;
        TestSurface plain(kW, kH, bpp), fast(kW, kH, bpp);
        SameNoise(plain, fast, rnd.Next());
        for (int pass = 0; pass < 2; ++pass) {
            oxPolygonFiller f;
            f.SetTarget(pass ? &fast.buffer : &plain.buffer);
            f.SetQuality(quality);
            f.SetColor(color);
            f.SetOpacity(opacity);
            f.SetFillRule(nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
            f.BeginPolygon(static_cast<int32_t>(rects.size()) * 2 + 2);
            for (const Rect& q : rects) {
                f.AddEdge(q.r, q.t, q.r, q.b);
                f.AddEdge(q.l, q.b, q.l, q.t);
            }
            if (pass == 0) AddSliver(f, kW, kH);
            f.Fill();
        }
        if (plain.bytes != fast.bytes) {
            ++differing;
            const size_t b = FirstDifference(plain, fast);
            std::string list;
            for (const Rect& q : rects)
                list += " (" + std::to_string(q.l) + ", " + std::to_string(q.t) + ", " + std::to_string(q.r) + ", " +
                        std::to_string(q.b) + ")";
            ADD_FAILURE() << "case " << i << " at " << bpp << " bits, quality " << quality
                          << (nonZero ? " non-zero" : " even-odd") << ", opacity " << opacity
                          << ", first difference at byte " << b << " (row " << b / plain.buffer.stride
                          << "): " << int(plain.bytes[b]) << " against " << int(fast.bytes[b]) << "; rectangles"
                          << list;
        }
    }
}

// Rows crossed by the same two sloped edges on every sub-scanline (a rounded rectangle's corners, a
// trapezoid) add the pixels inside all their spans once. The sloped sliver right of the clip keeps
// every row on plain scan conversion; with and without it the pixels must be the same.
TEST(PolygonFillerBand, TwoEdgeRowsMatchScanConversion) {
    constexpr int32_t kW = 90, kH = 40;
    const int qualities[] = {0, 2, 4, 8};
    const int32_t opacities[] = {256, 255, 180};
    TestRandom rnd(13);
    int differing = 0;
    for (int i = 0; i < 900 && differing < 5; ++i) {
        const int32_t bpp = i % 3 == 0 ? 32 : i % 3 == 1 ? 16 : 8;
        if (bpp == 16) SetPixelFormatMasks(5, (i / 3) % 2 ? 6 : 5, 5);
        const float grid = (i % 4 == 0) ? 1.0f : (i % 4 == 1) ? 0.5f : (i % 4 == 2) ? 0.25f : 1.0f / 4096;
        auto snap = [&](float v) { return static_cast<float>(static_cast<int>(v / grid)) * grid; };
        std::vector<float> points; // a rounded rectangle with corners of six segments, or a trapezoid
        const float l = snap(rnd.Range(-8, 30)), t = snap(rnd.Range(-4, 20));
        const float w = snap(rnd.Range(20, kW + 10)), h = snap(rnd.Range(4, kH));
        if (i % 2 == 0) {
            // Corners of a hundredth of a pixel put several edges on one sub-scanline, where the order
            // of edges at one x, not the rows of two, decides the pixels.
            const float r = std::min(rnd.Range(1, 16), std::min(w, h) / 2);
            for (int c = 0; c < 4; ++c) {
                const float cx = c == 0 || c == 3 ? l + r : l + w - r, cy = c < 2 ? t + r : t + h - r;
                for (int k = 0; k <= 6; ++k) {
                    const float a = static_cast<float>((c + 2 + k / 6.0) * 1.5707963267948966);
                    points.push_back(cx + r * std::cos(a));
                    points.push_back(cy + r * std::sin(a));
                }
            }
        } else {
            const float in = rnd.Range(-12, 12);
            points = {l + std::max(in, 0.0f),     t,     l + w - std::max(in, 0.0f), t,
                      l + w + std::min(in, 0.0f), t + h, l - std::min(in, 0.0f),     t + h};
        }
        if (rnd.Next() & 1) { // the other way round
            std::vector<float> reversed;
            for (size_t k = points.size(); k >= 2; k -= 2)
                reversed.insert(reversed.end(), {points[k - 2], points[k - 1]});
            points = reversed;
        }
        const int quality = qualities[rnd.Next() % 4];
        const bool nonZero = rnd.Next() & 1;
        const uint32_t color = rnd.Next();
        const int32_t opacity = opacities[rnd.Next() % 3];
        const bool clip = rnd.Next() % 4 == 0;
        const RECT clipRect{static_cast<LONG>(rnd.Next() % 20), static_cast<LONG>(rnd.Next() % 6),
                            static_cast<LONG>(kW - rnd.Next() % 20), static_cast<LONG>(kH - rnd.Next() % 6)};
        TestSurface plain(kW, kH, bpp), fast(kW, kH, bpp);
        SameNoise(plain, fast, rnd.Next());
        const size_t n = points.size() / 2;
        for (int pass = 0; pass < 2; ++pass) {
            oxPolygonFiller f;
            f.SetTarget(pass ? &fast.buffer : &plain.buffer);
            f.SetQuality(quality);
            if (clip) f.SetClip(clipRect);
            f.SetColor(color);
            f.SetOpacity(opacity);
            f.SetFillRule(nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
            f.BeginPolygon(static_cast<int32_t>(n) + 2);
            for (size_t k = 0; k < n; ++k)
                f.AddEdge(points[2 * k], points[2 * k + 1], points[2 * ((k + 1) % n)], points[2 * ((k + 1) % n) + 1]);
            if (pass == 0) AddSliver(f, kW, kH);
            f.Fill();
        }
        if (plain.bytes != fast.bytes) {
            ++differing;
            const size_t b = FirstDifference(plain, fast);
            ADD_FAILURE() << "case " << i << " at " << bpp << " bits, quality " << quality
                          << (nonZero ? " non-zero" : " even-odd") << ", opacity " << opacity
                          << (clip ? ", clipped" : "") << ", first difference at byte " << b << " (row "
                          << b / plain.buffer.stride << "): " << int(plain.bytes[b]) << " against "
                          << int(fast.bytes[b]);
        }
    }
    SetPixelFormatMasks(0, 0, 0);
}

} // namespace
