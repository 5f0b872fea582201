#include "graphics/raster/polygon_filler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "graphics/pixels/pixel_format.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct Edge {
    float x0, y0, x1, y1;
};
using Edges = std::vector<Edge>;

Edges Polygon(const std::vector<std::pair<float, float>>& pts) {
    Edges e;
    for (size_t i = 0; i < pts.size(); ++i) {
        const auto& a = pts[i];
        const auto& b = pts[(i + 1) % pts.size()];
        e.push_back({a.first, a.second, b.first, b.second});
    }
    return e;
}

void FillEdges(oxPolygonFiller& f, const Edges& edges) {
    f.BeginPolygon(static_cast<int32_t>(edges.size()) + 1);
    for (const Edge& e : edges)
        f.AddEdge(e.x0, e.y0, e.x1, e.y1);
    f.Fill();
}

// The coverage (0..255) that the filler writes into an 8-bit mask with a linear coverage curve.
std::vector<int> FillerCoverage(const Edges& edges, int size, bool nonZero, int quality) {
    TestSurface s(size, size, 8);
    oxPolygonFiller f;
    f.SetQuality(quality);
    f.SetTarget(&s.buffer);
    f.SetCoverageCurve(0.5f);
    f.SetFillRule(nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
    f.SetColor(0xFF);
    FillEdges(f, edges);
    std::vector<int> out;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            out.push_back(s.buffer.GetRow8(y)[x]);
    return out;
}

// Slow and plainly correct: the spans that the edges crossing a sample row enclose, sampled 64
// times across each pixel on each of `sublines` sample rows.
std::vector<int> ReferenceCoverage(const Edges& edges, int size, bool nonZero, int sublines) {
    constexpr int kAcross = 64;
    std::vector<int> out(static_cast<size_t>(size) * size, 0);
    for (int y = 0; y < size; ++y) {
        std::vector<int> hits(static_cast<size_t>(size), 0);
        for (int k = 0; k < sublines; ++k) {
            const double sy = y + (k + 0.5) / sublines;
            std::vector<std::pair<double, int>> crossings;
            for (const Edge& e : edges) {
                const double ya = e.y0, yb = e.y1;
                if (ya == yb) continue;
                const bool down = ya < yb;
                const double top = down ? ya : yb, bottom = down ? yb : ya;
                if (!(top <= sy && sy < bottom)) continue;
                const double x = e.x0 + (e.x1 - e.x0) * ((sy - ya) / (yb - ya));
                crossings.push_back({x, down ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end());
            // Spans close where the winding returns to 0 (non-zero) or at every second crossing
            // (even-odd), so an edge set that is not closed fills only what it closes.
            std::vector<std::pair<double, double>> spans;
            int winding = 0;
            for (size_t c = 0; c < crossings.size(); ++c) {
                if (nonZero) {
                    const int before = winding;
                    winding += crossings[c].second;
                    if (before == 0 && winding != 0)
                        spans.push_back({crossings[c].first, crossings[c].first});
                    else if (before != 0 && winding == 0)
                        spans.back().second = crossings[c].first;
                } else if (c % 2 == 1) {
                    spans.push_back({crossings[c - 1].first, crossings[c].first});
                }
            }
            if (nonZero && winding != 0) spans.pop_back();
            for (int x = 0; x < size; ++x) {
                for (int j = 0; j < kAcross; ++j) {
                    const double sx = x + (j + 0.5) / kAcross;
                    for (const auto& sp : spans) {
                        if (sp.first < sx && sx <= sp.second) {
                            ++hits[static_cast<size_t>(x)];
                            break;
                        }
                    }
                }
            }
        }
        for (int x = 0; x < size; ++x)
            out[static_cast<size_t>(y) * size + x] =
                static_cast<int>(std::lround(255.0 * hits[static_cast<size_t>(x)] / (kAcross * sublines)));
    }
    return out;
}

struct Diff {
    int max = 0;
    double mean = 0;
    int x = 0, y = 0;
};

Diff Compare(const std::vector<int>& a, const std::vector<int>& b, int size) {
    Diff d;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int v = std::abs(a[i] - b[i]);
        sum += v;
        if (v > d.max) {
            d.max = v;
            d.x = static_cast<int>(i) % size;
            d.y = static_cast<int>(i) / size;
        }
    }
    d.mean = sum / static_cast<double>(a.size());
    return d;
}

// Reduces a failing edge set to a smallest one that still fails: drops halves, then quarters, and
// so on down to single edges, keeping every removal after which the failure persists.
template <typename Fails> Edges Reduce(Edges edges, Fails fails) {
    for (size_t chunk = edges.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t start = 0; start < edges.size();) {
            Edges trial = edges;
            trial.erase(trial.begin() + static_cast<long>(start),
                        trial.begin() + static_cast<long>(std::min(start + chunk, trial.size())));
            if (!trial.empty() && fails(trial))
                edges = trial;
            else
                start += chunk;
        }
    }
    return edges;
}

std::string Describe(const Edges& edges) {
    std::ostringstream s;
    s.precision(9);
    for (const Edge& e : edges)
        s << "  (" << e.x0 << ", " << e.y0 << ") -> (" << e.x1 << ", " << e.y1 << ")\n";
    return s.str();
}

Edges RandomPolygon(TestRandom& rnd, int vertices, float lo, float hi) {
    std::vector<std::pair<float, float>> pts;
    for (int i = 0; i < vertices; ++i)
        pts.push_back({rnd.Range(lo, hi), rnd.Range(lo, hi)});
    return Polygon(pts);
}

// Against the reference with the same sample rows, the filler differs only by its fixed point and
// by how a span inside a single pixel is counted (the product of its two end fractions, which for a
// sliver is far from its width). Random polygons have such slivers where edges meet, so a single
// pixel may be off by up to a quarter of full coverage per sample row it has a sliver on; on the
// whole image the mean difference stays below one level.
TEST(PolygonFiller, MatchesSupersampledReferenceOnRandomPolygons) {
    constexpr int kSize = 48;
    constexpr int kMaxDiff = 100;
    constexpr double kMaxMean = 1.0;
    TestRandom rnd(20240611);
    for (int quality : {1, 4, 8}) {
        const int sublines = quality == 1 ? 1 : quality;
        for (bool nonZero : {true, false}) {
            for (int round = 0; round < 12; ++round) {
                const Edges edges = RandomPolygon(rnd, 3 + round % 9, -6.0f, kSize + 6.0f);
                auto fails = [&](const Edges& e) {
                    const Diff d = Compare(FillerCoverage(e, kSize, nonZero, quality),
                                           ReferenceCoverage(e, kSize, nonZero, sublines), kSize);
                    return d.max > kMaxDiff || d.mean > kMaxMean;
                };
                if (fails(edges)) {
                    const Edges small = Reduce(edges, fails);
                    const Diff d = Compare(FillerCoverage(small, kSize, nonZero, quality),
                                           ReferenceCoverage(small, kSize, nonZero, sublines), kSize);
                    ADD_FAILURE() << "quality " << quality << (nonZero ? " non-zero" : " even-odd") << " round "
                                  << round << ": max diff " << d.max << " at (" << d.x << ", " << d.y << "), mean "
                                  << d.mean << " with the edges\n"
                                  << Describe(small);
                }
            }
        }
    }
}

// Against a reference that samples the true area (16 x 64 per pixel), edges that run nearly along
// the rows are off by up to the height of one sample row.
TEST(PolygonFiller, ApproachesTheTrueArea) {
    constexpr int kSize = 48;
    TestRandom rnd(77);
    for (int round = 0; round < 6; ++round) {
        const Edges edges = RandomPolygon(rnd, 6, 0.0f, kSize);
        const Diff d = Compare(FillerCoverage(edges, kSize, true, 8), ReferenceCoverage(edges, kSize, true, 16), kSize);
        EXPECT_LE(d.mean, 1.5) << Describe(edges);
    }
}

TEST(PolygonFiller, WholePixelRectangleHasNoSoftBorders) {
    TestSurface s(16, 16, 32);
    s.Fill32(0xFF000000);
    oxPolygonFiller f;
    f.SetTarget(&s.buffer);
    f.SetColor(0x00336699);
    FillEdges(f, Polygon({{3, 2}, {11, 2}, {11, 9}, {3, 9}}));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(s.buffer.GetRow32(y)[x], x >= 3 && x < 11 && y >= 2 && y < 9 ? 0xFF336699u : 0xFF000000u)
                << x << "," << y;
}

TEST(PolygonFiller, StarCentreDependsOnFillRule) {
    std::vector<std::pair<float, float>> star;
    for (int i = 0; i < 5; ++i) {
        const double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star.push_back({static_cast<float>(16 + 14 * std::cos(a)), static_cast<float>(16 + 14 * std::sin(a))});
    }
    EXPECT_EQ(FillerCoverage(Polygon(star), 32, true, 4)[16 * 32 + 16], 255);
    EXPECT_EQ(FillerCoverage(Polygon(star), 32, false, 4)[16 * 32 + 16], 0);
}

TEST(PolygonFiller, EdgeResults) {
    TestSurface s(16, 16, 32);
    oxPolygonFiller f;
    f.SetTarget(&s.buffer);
    f.SetClip(RECT{0, 4, 16, 12});
    ASSERT_EQ(f.BeginPolygon(4), 1);
    EXPECT_EQ(f.AddEdge(1, 0, 5, 3), 1);   // wholly above the clip
    EXPECT_EQ(f.AddEdge(1, 13, 5, 15), 1); // wholly below
    EXPECT_EQ(f.AddEdge(1, 6, 9, 6), 0);   // horizontal: no sub-scanline
    EXPECT_EQ(f.AddEdge(1, 6.1f, 9, 6.1f), 0);
    EXPECT_EQ(f.AddEdge(-4, 5, -4, 9), 1); // left of the clip, still stored for winding
    EXPECT_EQ(f.EdgeCount(), 1);
    EXPECT_EQ(f.AddEdge(std::nanf(""), 5, 3, 9), 0);
    f.Fill();
    EXPECT_EQ(f.EdgeCount(), 0);
}

TEST(PolygonFiller, EdgesLeftOfTheClipStillWind) {
    // A rectangle whose left side is far left of the clip covers the clip's left columns.
    TestSurface s(16, 8, 8);
    oxPolygonFiller f;
    f.SetTarget(&s.buffer);
    f.SetColor(0xFF);
    f.SetClip(RECT{4, 0, 16, 8});
    FillEdges(f, Polygon({{-20, 1}, {10, 1}, {10, 7}, {-20, 7}}));
    EXPECT_EQ(s.buffer.GetRow8(3)[3], 0);
    // A span that starts on a whole pixel counts 255 >> n per sub-scanline there.
    EXPECT_GE(s.buffer.GetRow8(3)[4], 250);
    EXPECT_EQ(s.buffer.GetRow8(3)[9], 255);
    EXPECT_EQ(s.buffer.GetRow8(3)[10], 0);
}

TEST(PolygonFiller, QualitySetsSubScanlines) {
    // A thin horizontal bar half a pixel high: with one sub-scanline per row it either covers the
    // row's centre or not; with eight it covers half of the row.
    const Edges bar = Polygon({{2, 3.1f}, {12, 3.1f}, {12, 3.6f}, {2, 3.6f}});
    EXPECT_EQ(FillerCoverage(bar, 16, true, 0)[3 * 16 + 6], 255);
    const int eighths = FillerCoverage(bar, 16, true, 8)[3 * 16 + 6];
    EXPECT_NEAR(eighths, 128, 2);
}

TEST(PolygonFiller, OpacityZeroDrawsNothingAndFullOpacityIsOpaque) {
    TestSurface s(16, 16, 32);
    s.Fill32(0x80102030);
    oxPolygonFiller f;
    f.SetTarget(&s.buffer);
    f.SetColor(0x00FF0000);
    f.SetOpacity(0);
    FillEdges(f, Polygon({{1.5f, 1.5f}, {14.5f, 1.5f}, {8, 14}}));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(s.buffer.GetRow32(y)[x], 0x80102030u);
    f.SetOpacity(256);
    FillEdges(f, Polygon({{0.5f, 0.5f}, {15.5f, 0.5f}, {15.5f, 15.5f}, {0.5f, 15.5f}}));
    EXPECT_EQ(s.buffer.GetRow32(8)[8], 0xFFFF0000u);
}

TEST(PolygonFiller, UnfilledEdgesDoNotLeakIntoTheNextPolygon) {
    TestSurface s(16, 16, 8);
    oxPolygonFiller f;
    f.SetTarget(&s.buffer);
    f.SetColor(0xFF);
    f.BeginPolygon(8);
    f.AddEdge(2, 2, 2, 12);
    f.AddEdge(10, 12, 10, 2);
    // A new polygon without filling the first one.
    FillEdges(f, Polygon({{12, 12}, {14, 12}, {14, 14}}));
    EXPECT_EQ(s.buffer.GetRow8(6)[5], 0);
}

TEST(PolygonFiller, NoTargetDrawsNothing) {
    oxPolygonFiller f;
    EXPECT_EQ(f.SetTarget(nullptr), 0);
    FillEdges(f, Polygon({{0, 0}, {10, 0}, {10, 10}}));
    f.SetClip(RECT{0, 0, 100, 100});
    FillEdges(f, Polygon({{0, 0}, {10, 0}, {10, 10}}));
}

TEST(PolygonFiller, FloorToInt) {
    EXPECT_EQ(oxPolygonFiller::FloorToInt(-0.5), -1);
    EXPECT_EQ(oxPolygonFiller::FloorToInt(2.999), 2);
    EXPECT_EQ(oxPolygonFiller::FloorToInt(-3.0), -3);
}

// One cell of the edge-case grid: a polygon drawn with the cell as clip rectangle.
struct GridCase {
    const char* what;
    std::vector<std::vector<std::pair<float, float>>> contours;
    int opacity = 256;
};

std::vector<GridCase> GridCases() {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<std::pair<float, float>> star;
    for (int i = 0; i < 5; ++i) {
        const double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star.push_back({static_cast<float>(16 + 14 * std::cos(a)), static_cast<float>(16 + 14 * std::sin(a))});
    }
    std::vector<std::pair<float, float>> octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4 + M_PI / 8;
        octagon.push_back({static_cast<float>(12 * std::cos(a)), static_cast<float>(12 * std::sin(a))});
    }
    auto moved = [](std::vector<std::pair<float, float>> p, float dx, float dy) {
        for (auto& q : p) {
            q.first += dx;
            q.second += dy;
        }
        return p;
    };
    return {
        {"thin sliver", {{{3, 2}, {3.3f, 2}, {29, 30}}}},
        {"empty: collinear points", {{{2, 2}, {16, 16}, {30, 30}}}},
        {"inverted square inside", {{{2, 2}, {30, 2}, {30, 30}, {2, 30}}, {{8, 8}, {8, 24}, {24, 24}, {24, 8}}}},
        {"huge coordinates", {{{-1e7f, -1e7f}, {1e7f, 16}, {16.5f, 1e8f}}}},
        {"negative coordinates", {{{-40, -40}, {20.5f, -3}, {6, 20.25f}}}},
        {"NaN point", {{{2, 2}, {30, 2}, {nan, 16}, {2, 30}}}},
        {"infinite point", {{{2, 2}, {30, 2}, {inf, 16}, {2, 30}}}},
        {"self-intersecting star", {star}},
        {"clipped left", {moved(octagon, 2, 16)}},
        {"clipped right", {moved(octagon, 30, 16)}},
        {"clipped top", {moved(octagon, 16, 2)}},
        {"clipped bottom", {moved(octagon, 16, 30)}},
        {"whole-pixel rectangle", {{{4, 6}, {28, 6}, {28, 26}, {4, 26}}}},
        {"half-pixel rectangle, opacity 128", {{{4.5f, 6.5f}, {27.5f, 6.5f}, {27.5f, 25.5f}, {4.5f, 25.5f}}}, 128},
        {"bow tie", {{{3, 4}, {29, 28}, {29, 4}, {3, 28}}}},
        {"smaller than a pixel", {{{15.2f, 15.1f}, {15.9f, 15.3f}, {15.4f, 15.8f}}}},
    };
}

void DrawGrid(oxPolygonFiller& f, const oxPixelBuffer& target, bool nonZero) {
    f.SetTarget(&target);
    f.SetFillRule(nonZero ? oxPolygonFiller::kNonZero : oxPolygonFiller::kEvenOdd);
    f.SetColor(0xFF2080E0);
    const std::vector<GridCase> cases = GridCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const float cx = static_cast<float>(i % 4) * 32, cy = static_cast<float>(i / 4) * 32;
        f.SetClip(
            RECT{static_cast<LONG>(cx), static_cast<LONG>(cy), static_cast<LONG>(cx) + 32, static_cast<LONG>(cy) + 32});
        f.SetOpacity(cases[i].opacity);
        size_t edges = 0;
        for (const auto& c : cases[i].contours)
            edges += c.size();
        f.BeginPolygon(static_cast<int32_t>(edges) + 1);
        for (const auto& c : cases[i].contours)
            for (const Edge& e : Polygon(c))
                f.AddEdge(e.x0 + cx, e.y0 + cy, e.x1 + cx, e.y1 + cy);
        f.Fill();
    }
}

TEST(PolygonFiller, EdgeCaseGridGoldens) {
    for (bool nonZero : {true, false}) {
        const char* rule = nonZero ? "nonzero" : "evenodd";
        {
            TestSurface s(128, 128, 32);
            s.Fill32(0xFF303030);
            oxPolygonFiller f;
            DrawGrid(f, s.buffer, nonZero);
            EXPECT_TRUE(MatchesGolden(s.buffer, std::string("polygon_grid_argb32_") + rule));
        }
        {
            SetPixelFormatMasks(5, 6, 5);
            TestSurface s(128, 128, 16, kLayoutRgb565);
            s.Fill16(0x3186);
            oxPolygonFiller f;
            DrawGrid(f, s.buffer, nonZero);
            EXPECT_TRUE(MatchesGolden(s.buffer, std::string("polygon_grid_rgb565_") + rule));
            SetPixelFormatMasks(0, 0, 0);
        }
    }
}

TEST(PolygonFiller, BottomUpTargetMatchesTopDown) {
    TestSurface top(32, 32, 32, kLayoutUnspecified, true), bottom(32, 32, 32, kLayoutUnspecified, false);
    for (TestSurface* s : {&top, &bottom}) {
        oxPolygonFiller f;
        f.SetTarget(&s->buffer);
        f.SetColor(0xFFFFFF);
        FillEdges(f, Polygon({{1.3f, 2.2f}, {30, 5}, {12, 29.7f}}));
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(top.buffer.GetRow32(y)[x], bottom.buffer.GetRow32(y)[x]);
}

} // namespace
