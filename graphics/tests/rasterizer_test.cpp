#include "graphics/raster/rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/mip_chain.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct Line {
    float x0, y0, x1, y1;
};

using Weights = std::map<std::pair<int, int>, int>;

void Collect(int32_t x, int32_t y, int32_t alpha, void* user) {
    (*static_cast<Weights*>(user))[{x, y}] += alpha;
}

// The weights (out of 255) that the rasteriser hands to its plot callback for one line.
Weights RasterWeights(const Line& l, int size) {
    TestSurface s(size, size, 32);
    oxRasterizer r;
    r.m_target = &s.buffer;
    r.m_clip = RECT{0, 0, size, size};
    Weights w;
    r.m_plot = Collect;
    r.m_plotUser = &w;
    r.DrawLine(l.x0, l.y0, l.x1, l.y1);
    return w;
}

// Slow and plainly correct: the line as the band one pixel wide across it, cut square at both ends
// along its major axis, sampled 32 x 32 times per pixel; weights as the coverage table gives them.
Weights ReferenceWeights(const Line& l, int size) {
    constexpr int kSamples = 32;
    const double dx = l.x1 - l.x0, dy = l.y1 - l.y0;
    const bool xMajor = dx * dx > dy * dy;
    const double len = std::sqrt(dx * dx + dy * dy);
    const double majorLen = std::fabs(xMajor ? dx : dy);
    const double half = std::max(0.5 * len / majorLen, 0.5); // extent across the major axis
    const double m0 = xMajor ? std::min(l.x0, l.x1) : std::min(l.y0, l.y1);
    const double m1 = xMajor ? std::max(l.x0, l.x1) : std::max(l.y0, l.y1);
    const double slope = xMajor ? dy / dx : dx / dy;
    const double minorAt0 = xMajor ? l.y0 : l.x0, majorAt0 = xMajor ? l.x0 : l.y0;
    Weights w;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int hits = 0;
            for (int j = 0; j < kSamples; ++j) {
                for (int i = 0; i < kSamples; ++i) {
                    const double sx = x + (i + 0.5) / kSamples, sy = y + (j + 0.5) / kSamples;
                    const double major = xMajor ? sx : sy, minor = xMajor ? sy : sx;
                    if (major < m0 || major > m1) continue;
                    if (std::fabs(minor - (minorAt0 + slope * (major - majorAt0))) <= half) ++hits;
                }
            }
            if (hits) w[{x, y}] = (hits * 256 / (kSamples * kSamples)) * 255 / 256;
        }
    }
    return w;
}

struct Diff {
    int max = 0;
    int x = 0, y = 0;
};

Diff Compare(const Weights& a, const Weights& b) {
    Diff d;
    auto visit = [&](const Weights& p, const Weights& q) {
        for (const auto& [at, v] : p) {
            const auto it = q.find(at);
            const int diff = std::abs(v - (it == q.end() ? 0 : it->second));
            if (diff > d.max) d = {diff, at.first, at.second};
        }
    };
    visit(a, b);
    visit(b, a);
    return d;
}

// The writers sample each line edge at two points per row, so where an edge crosses a pixel
// between them the pixel's weight is off by up to a quarter of full coverage; the end rows are cut
// along the major axis as the reference cuts them.
TEST(Rasterizer, MatchesSupersampledReferenceOnRandomLines) {
    constexpr int kSize = 40;
    constexpr int kMaxDiff = 64;
    TestRandom rnd(4242);
    for (int round = 0; round < 60; ++round) {
        Line l{rnd.Range(2, kSize - 2), rnd.Range(2, kSize - 2), rnd.Range(2, kSize - 2), rnd.Range(2, kSize - 2)};
        if (std::fabs(l.x1 - l.x0) < 1 && std::fabs(l.y1 - l.y0) < 1) continue;
        const Diff d = Compare(RasterWeights(l, kSize), ReferenceWeights(l, kSize));
        if (d.max > kMaxDiff) {
            // Bisect the line down to the shortest piece around the bad pixel that still fails.
            Line small = l;
            for (int step = 0; step < 20; ++step) {
                Line a = small, b = small;
                a.x1 = b.x0 = (small.x0 + small.x1) / 2;
                a.y1 = b.y0 = (small.y0 + small.y1) / 2;
                if (Compare(RasterWeights(a, kSize), ReferenceWeights(a, kSize)).max > kMaxDiff)
                    small = a;
                else if (Compare(RasterWeights(b, kSize), ReferenceWeights(b, kSize)).max > kMaxDiff)
                    small = b;
                else
                    break;
            }
            const Diff ds = Compare(RasterWeights(small, kSize), ReferenceWeights(small, kSize));
            ADD_FAILURE() << "round " << round << ": weight off by " << ds.max << " at (" << ds.x << ", " << ds.y
                          << ") for the line (" << small.x0 << ", " << small.y0 << ") -> (" << small.x1 << ", "
                          << small.y1 << ")";
        }
    }
}

TEST(Rasterizer, CoverageTables) {
    oxRasterizer a, b;
    a.SetAlpha(256);
    b.SetAlpha(255);
    for (int c = 0; c <= 256; ++c)
        ASSERT_EQ(a.CoverageTable()[c], b.CoverageTable()[c]);
    b.SetAlpha(100);
    EXPECT_EQ(b.CoverageTable()[256], 100);
    EXPECT_EQ(b.CoverageTable()[255], 255 * 100 / 256);
    EXPECT_EQ(b.CoverageTable5()[32], 100 >> 3);
    EXPECT_EQ(b.CoverageTable5()[16], 16 * 12 / 32);
}

TEST(Rasterizer, Reciprocal) {
    oxRasterizer r;
    EXPECT_FLOAT_EQ(oxRasterizer::Reciprocal(0.03f), 32.0f);
    EXPECT_FLOAT_EQ(oxRasterizer::Reciprocal(-0.03f), -32.0f);
    EXPECT_EQ(oxRasterizer::Reciprocal(64.0f), 1.0f / 64.0f);
    EXPECT_EQ(oxRasterizer::Reciprocal(100.0f), 1.0f / 100.0f);
    EXPECT_NEAR(oxRasterizer::Reciprocal(5.0f), 0.2f, 0.2f / 70);
}

TEST(Rasterizer, SetColorRgb) {
    oxRasterizer r;
    const float rgb[3] = {1.5f, -0.2f, 0.5f};
    r.SetColorRgb(rgb);
    EXPECT_EQ(r.Color(), 0x00FF0080u);
}

TEST(Rasterizer, WidePointKeepsClearOfTheClipEdge) {
    TestSurface s(16, 16, 32);
    oxRasterizer r;
    r.m_target = &s.buffer;
    r.m_clip = RECT{0, 0, 16, 16};
    r.SetColor(0xFFFFFFFF);
    EXPECT_EQ(r.DrawPoint2D(1.5f, 8), 0);
    EXPECT_EQ(r.DrawPoint2D(14.5f, 8), 0);
    EXPECT_EQ(r.DrawPoint2D(8, 1.9f), 0);
    EXPECT_EQ(r.DrawPoint2D(2.5f, 8), 1);
    EXPECT_EQ(r.DrawPoint2D(12.9f, 12.9f), 1);
    EXPECT_EQ(s.buffer.GetRow32(8)[2], 0xFFFFFFFFu);
    EXPECT_EQ(s.buffer.GetRow32(8)[4], 0x3F3F3F3Fu); // tip blended at a quarter
}

TEST(Rasterizer, DepthLineWithoutDepthBufferIsALine) {
    TestSurface a(24, 24, 32), b(24, 24, 32);
    oxRasterizer r;
    r.m_clip = RECT{0, 0, 24, 24};
    r.SetColor(0xFF80FF40);
    r.m_target = &a.buffer;
    r.DrawLine(3.2f, 4.7f, 20.1f, 17.3f);
    r.m_target = &b.buffer;
    const oxVertex p0{3.2f, 4.7f, 0.5f}, p1{20.1f, 17.3f, 0.5f};
    r.DrawDepthLine(&p0, &p1);
    EXPECT_EQ(a.bytes, b.bytes);
}

TEST(Rasterizer, GapMaskLeavesOutMajorCoordinates) {
    TestSurface s(32, 8, 32);
    oxRasterizer r;
    r.m_target = &s.buffer;
    r.m_clip = RECT{0, 0, 32, 8};
    r.SetColor(0xFFFFFFFF);
    r.SetAntialias(false);
    r.m_gapMask = 0xAAAAAAAA;
    r.DrawLine(0.5f, 4.5f, 31.5f, 4.5f);
    for (int x = 1; x < 31; ++x)
        EXPECT_EQ(s.buffer.GetRow32(4)[x], x % 2 ? 0u : 0xFFFFFFFFu) << x;
    r.m_gapMask = 0;
    r.DrawLine(0.5f, 4.5f, 31.5f, 4.5f);
    for (int x = 1; x < 31; ++x)
        EXPECT_EQ(s.buffer.GetRow32(4)[x], 0xFFFFFFFFu) << x;
}

TEST(Rasterizer, DepthTest) {
    TestSurface s(16, 16, 32);
    std::vector<int32_t> depth(16 * 16, 0);
    oxRasterizer r;
    r.m_target = &s.buffer;
    r.m_clip = RECT{0, 0, 16, 16};
    r.m_depthBuffer = depth.data();
    r.SetAntialias(false);
    r.SetColor(0xFF00FF00);
    // Depth 0 plus the bias of 600 passes where 600 is stored; the stored depth stays.
    depth[8 * 16 + 5] = 600;
    depth[8 * 16 + 6] = 601;
    const oxVertex p0{2, 8, 0}, p1{12, 8, 0};
    r.DrawDepthLine(&p0, &p1);
    EXPECT_EQ(s.buffer.GetRow32(8)[5], 0xFF00FF00u);
    EXPECT_EQ(s.buffer.GetRow32(8)[6], 0u);
    EXPECT_EQ(depth[8 * 16 + 5], 600);
    r.m_depthWrite = 1;
    r.DrawDepthLine(&p0, &p1);
    EXPECT_EQ(depth[8 * 16 + 4], 600);
}

TEST(Rasterizer, MipLevelChoice) {
    oxMipChain chain;
    chain.m_reduced.resize(3);
    oxRasterizer r;
    r.m_mipChain = &chain;
    r.m_shadeStep[0] = r.m_shadeStep[1] = 1;
    chain.m_factor = 1.0f / 4096; // product below 4^-3
    chain.ChooseLevel(r);
    EXPECT_EQ(chain.m_level, 0);
    EXPECT_EQ(r.m_texture, &chain.m_full);
    r.m_shadeStep[0] = r.m_shadeStep[1] = 1 << 20;
    chain.m_factor = 1.0f;
    chain.ChooseLevel(r);
    EXPECT_EQ(chain.m_level, 3);
    EXPECT_EQ(r.m_texture, &chain.m_reduced[2]);
}

// A grid of hairline cases: angles, end fractions, lines leaving the clip at every side, huge and
// non-finite coordinates, aliased lines, low alpha, a gap pattern and wide points.
void DrawLineGrid(const oxPixelBuffer& target) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    oxRasterizer r;
    r.m_target = &target;
    r.SetColor(0xFFE0F040);
    for (int cell = 0; cell < 16; ++cell) {
        const float cx = static_cast<float>(cell % 4) * 24, cy = static_cast<float>(cell / 4) * 24;
        r.m_clip = RECT{static_cast<LONG>(cx) + 2, static_cast<LONG>(cy) + 2, static_cast<LONG>(cx) + 22,
                        static_cast<LONG>(cy) + 22};
        r.SetAntialias(true);
        r.SetAlpha(256);
        r.m_gapMask = 0;
        auto line = [&](float x0, float y0, float x1, float y1) { r.DrawLine(cx + x0, cy + y0, cx + x1, cy + y1); };
        switch (cell) {
        case 0: // fan of angles
            for (int k = 0; k < 8; ++k)
                line(4, 4, 4 + 16 * std::cos(k * 0.2f), 4 + 16 * std::sin(k * 0.2f));
            break;
        case 1: // fractional ends
            line(4.3f, 5.5f, 18.7f, 5.5f);
            line(4.9f, 9.25f, 18.1f, 12.75f);
            line(6.5f, 14.1f, 6.5f, 20.6f);
            break;
        case 2:
            line(-10, 6, 40, 16);
            break; // through left and right
        case 3:
            line(8, -10, 14, 40);
            break; // through top and bottom
        case 4:
            line(3, 4, 3 + 1e9f, 4 + 5e8f); // one end far away
            line(-1e9f, 20, 1e9f, 20);
            break;
        case 5:
            line(nan, 3, 12, 12);
            line(3, 3, inf, 12);
            break;
        case 6:
            r.SetAntialias(false);
            line(3, 4, 20, 11);
            line(5, 20, 9, 3);
            break;
        case 7:
            r.SetAlpha(96);
            line(3, 4, 20, 19);
            line(3, 19, 20, 4);
            break;
        case 8:
            r.m_gapMask = 0xF0F0F0F0;
            line(3, 6, 20, 6);
            line(4, 10, 19, 18);
            break;
        case 9:
            r.DrawPoint2D(cx + 8.5f, cy + 8.5f);
            r.SetAntialias(false);
            r.DrawPoint2D(cx + 15.2f, cy + 15.7f);
            break;
        case 10: // degenerate
            line(9, 9, 9, 9);
            line(9.2f, 9.1f, 9.4f, 9.3f);
            break;
        case 11: // 45 degrees both ways
            line(3, 3, 20, 20);
            line(20, 3, 3, 20);
            break;
        case 12: // reversed direction gives the same line
            line(19, 17, 4, 6);
            break;
        case 13: // nearly horizontal and nearly vertical
            line(3, 8, 20, 9);
            line(12, 3, 13, 20);
            break;
        case 14: // entirely outside the clip
            line(-30, -30, -2, -5);
            break;
        case 15: // along the clip edges
            line(2, 2, 22, 2);
            line(21.5f, 2, 21.5f, 22);
            break;
        }
    }
}

TEST(Rasterizer, LineGridGoldens) {
    {
        TestSurface s(96, 96, 32);
        s.Fill32(0xFF202020);
        DrawLineGrid(s.buffer);
        EXPECT_TRUE(MatchesGolden(s.buffer, "rasterizer_grid_argb32"));
    }
    {
        SetPixelFormatMasks(5, 6, 5);
        TestSurface s(96, 96, 16, kLayoutRgb565);
        s.Fill16(0x2104);
        DrawLineGrid(s.buffer);
        EXPECT_TRUE(MatchesGolden(s.buffer, "rasterizer_grid_rgb565"));
        SetPixelFormatMasks(0, 0, 0);
    }
}

TEST(Rasterizer, ShadedLineInterpolatesColours) {
    TestSurface s(32, 8, 32);
    oxRasterizer r;
    r.m_target = &s.buffer;
    r.m_clip = RECT{0, 0, 32, 8};
    r.SetAntialias(false);
    const oxVertex p0{2.5f, 4.5f, 0}, p1{29.5f, 4.5f, 0};
    const float c0[3] = {0, 0, 1}, c1[3] = {1, 0, 0};
    EXPECT_NE(r.DrawShadedLine(&p0, c0, &p1, c1), 0);
    EXPECT_EQ(s.buffer.GetRow32(4)[2] & 0xFF, 0xFFu);
    const uint32_t mid = s.buffer.GetRow32(4)[16];
    EXPECT_NEAR(static_cast<int>((mid >> 16) & 0xFF), 128, 8);
    EXPECT_NEAR(static_cast<int>(mid & 0xFF), 128, 8);
}

} // namespace
