#include "graphics/raster/stroker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/raster/polygon_filler.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct Canvas {
    TestSurface surface;
    oxGraphicsContext gc;
    Canvas(int w, int h) : surface(w, h, 32) {
        surface.Fill32(0xFFFFFFFF);
        gc.AttachTarget(surface.buffer);
        gc.SetStrokeColor(0x000000);
    }
};

uint32_t Pixel(const TestSurface& s, int x, int y) {
    return s.buffer.GetRow32(y)[x];
}

// Every join with every cap, at stroke widths 1, 2 and 10 (half-widths 0.5, 1 and 5): each cell
// holds an open polyline with a right-angle turn and a sharp turn.
TEST(StrokerTest, JoinsAndCapsAtThreeWidths) {
    constexpr int kCell = 48;
    Canvas c(9 * kCell, 3 * kCell);
    const float halfWidths[3] = {0.5f, 1.0f, 5.0f};
    for (int row = 0; row < 3; ++row) {
        for (int join = 0; join < 3; ++join) {
            for (int cap = 0; cap < 3; ++cap) {
                const float ox = float((join * 3 + cap) * kCell), oy = float(row * kCell);
                const float pts[] = {ox + 10, oy + 38, ox + 10, oy + 12, ox + 30, oy + 12, ox + 36, oy + 38};
                c.gc.SetLineWidth(halfWidths[row]);
                c.gc.SetLineJoin(join);
                c.gc.SetLineCap(cap);
                EXPECT_EQ(1, c.gc.StrokePath(4, pts, 2, nullptr));
            }
        }
    }
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "stroke_joins_caps"));
}

// Sharp miters fall back to bevels, zero-length pieces vanish, closed paths join at the start.
TEST(StrokerTest, MitersZeroLengthAndClosedPaths) {
    Canvas c(240, 64);
    c.gc.SetLineWidth(4.0f);
    c.gc.SetLineJoin(oxStroker::kJoinMiter);
    c.gc.SetLineCap(oxStroker::kCapButt);
    // A 90 degree turn gets a pointed corner; a near reversal (cosine below -0.3) a bevel.
    const float right[] = {8, 56, 8, 12, 40, 12};
    c.gc.StrokePath(3, right, 2, nullptr);
    const float sharp[] = {50, 56, 60, 10, 70, 56};
    c.gc.StrokePath(3, sharp, 2, nullptr);
    // Repeated points inside a polyline and a path of one repeated point.
    c.gc.SetLineCap(oxStroker::kCapSquare);
    const float repeated[] = {90, 50, 90, 50, 110, 20, 110, 20, 110, 20, 125, 50};
    c.gc.StrokePath(6, repeated, 2, nullptr);
    const float dot[] = {140, 30, 140, 30};
    c.gc.StrokePath(2, dot, 2, nullptr);
    // The same triangle open and closed.
    const uint8_t open[] = {kPathMove, kPathLine, kPathLine};
    const uint8_t closed[] = {kPathMove, kPathLine, kPathLine | kPathClose};
    const float tri1[] = {160, 54, 180, 14, 196, 54};
    c.gc.StrokePath(3, tri1, 2, open);
    const float tri2[] = {204, 54, 220, 14, 236, 54};
    c.gc.StrokePath(3, tri2, 2, closed);
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "stroke_miters_closed"));
    // The right angle's outer corner (4, 8) is inked to its tip; the sharp turn's tip at (60, 10)
    // would reach 18 pixels up, its bevel stops within one.
    EXPECT_LE(Pixel(c.surface, 4, 8) & 0xFF, 8u);
    EXPECT_LE(Pixel(c.surface, 5, 9) & 0xFF, 8u);
    EXPECT_EQ(0xFFFFFFFFu, Pixel(c.surface, 60, 5));
    // The lone repeated point draws nothing.
    for (int y = 20; y < 40; ++y)
        for (int x = 132; x < 150; ++x)
            ASSERT_EQ(0xFFFFFFFFu, Pixel(c.surface, x, y)) << x << "," << y;
}

// The two sides of a segment lie at the half-widths given for its ends.
TEST(StrokerTest, SegmentWidthGrowsAlongIt) {
    TestSurface s(64, 32, 32);
    oxPolygonFiller filler;
    filler.SetTarget(&s.buffer);
    filler.SetColor(0xFF000000);
    oxStroker stroker(&filler);
    filler.BeginPolygon(16);
    stroker.SetHalfWidth(1.0f);
    stroker.StartCap(4, 16, 60, 16);
    stroker.Segment(4, 16, 60, 16, 1.0f, 3.0f);
    stroker.SetHalfWidth(3.0f);
    stroker.EndCap(4, 16, 60, 16);
    filler.Fill();
    auto inked = [&](int x) {
        int n = 0;
        for (int y = 0; y < 32; ++y)
            n += (s.buffer.GetRow32(y)[x] >> 24) >= 128;
        return n;
    };
    EXPECT_EQ(2, inked(5));  // about 2 pixels wide near the start
    EXPECT_EQ(6, inked(59)); // about 6 near the end
}

// Slow and plainly correct: a stroke is the union of a rectangle along each segment, a wedge or a
// disc at each vertex and a cap at each open end, sampled on the filler's 4 sub-scanlines and 64
// times across each pixel. The stroker draws a disc as an inscribed polygon whose sides span
// `step` of the 64 steps of a turn, so between that polygon's inner circle and the disc a sample
// may go either way: the upper bound counts it, the lower bound does not.
struct Stroke {
    std::vector<std::pair<float, float>> points;
    float w;
    int join, cap;
    bool closed;
};

struct Piece {
    bool disc = false;
    double cx = 0, cy = 0, r = 0, inner = 0;     // disc: radius and inscribed polygon's inner radius
    std::vector<std::pair<double, double>> poly; // convex, either orientation
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;       // bounds
};

bool InPiece(const Piece& p, double x, double y, bool upper) {
    if (x < p.x0 || x > p.x1 || y < p.y0 || y > p.y1) return false;
    if (p.disc) {
        const double r = upper ? p.r : p.inner;
        return (x - p.cx) * (x - p.cx) + (y - p.cy) * (y - p.cy) <= r * r;
    }
    int sign = 0;
    for (size_t i = 0; i < p.poly.size(); ++i) {
        const auto& a = p.poly[i];
        const auto& b = p.poly[(i + 1) % p.poly.size()];
        const double c = (b.first - a.first) * (y - a.second) - (b.second - a.second) * (x - a.first);
        if (c == 0) continue;
        const int s = c > 0 ? 1 : -1;
        if (sign && s != sign) return false;
        sign = s;
    }
    return true;
}

std::vector<Piece> StrokePieces(const Stroke& s) {
    const double w = s.w;
    int join = s.join, cap = s.cap;
    // Thin strokes trade round joins for bevels, and the thinnest round caps for butt ones.
    if (join == oxStroker::kJoinRound && w <= 1.0) join = oxStroker::kJoinBevel, cap = oxStroker::kCapButt;
    if (join == oxStroker::kJoinRound && w <= 2.5) join = oxStroker::kJoinBevel;
    const int step = std::clamp(int((64.0 / w + 0.5) * 0.5), 1, 16);
    auto disc = [&](double x, double y) {
        Piece p;
        p.disc = true;
        p.cx = x, p.cy = y, p.r = w, p.inner = w * std::cos(step * 3.14159265358979 / 64);
        p.x0 = x - w, p.y0 = y - w, p.x1 = x + w, p.y1 = y + w;
        return p;
    };
    const auto& q = s.points;
    const size_t n = q.size();
    auto dir = [&](size_t a, size_t b) {
        const double dx = q[b].first - q[a].first, dy = q[b].second - q[a].second, len = std::hypot(dx, dy);
        return std::pair<double, double>{dx / len, dy / len};
    };
    std::vector<Piece> pieces;
    const size_t segments = s.closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        const size_t j = (i + 1) % n;
        const auto [dx, dy] = dir(i, j);
        const double nx = -dy * w, ny = dx * w;
        Piece p;
        p.poly = {{q[i].first + nx, q[i].second + ny},
                  {q[j].first + nx, q[j].second + ny},
                  {q[j].first - nx, q[j].second - ny},
                  {q[i].first - nx, q[i].second - ny}};
        pieces.push_back(p);
    }
    for (size_t v = s.closed ? 0 : 1; v < (s.closed ? n : n - 1); ++v) {
        const size_t a = (v + n - 1) % n, b = (v + 1) % n;
        const auto d1 = dir(a, v), d2 = dir(v, b);
        const double c = d1.first * d2.first + d1.second * d2.second;
        // The outer side is the one whose normal the next segment turns away from.
        double o1x = d1.second, o1y = -d1.first, o2x = d2.second, o2y = -d2.first;
        if (o1x * d2.first + o1y * d2.second > 0) o1x = -o1x, o1y = -o1y, o2x = -o2x, o2y = -o2y;
        const double vx = q[v].first, vy = q[v].second;
        Piece p;
        p.poly = {{vx, vy}, {vx + w * o1x, vy + w * o1y}};
        if (join == oxStroker::kJoinMiter && c > -0.3 && w > 0.75)
            p.poly.push_back({vx + w * (o1x + o2x) / (1 + c), vy + w * (o1y + o2y) / (1 + c)});
        p.poly.push_back({vx + w * o2x, vy + w * o2y});
        pieces.push_back(p);
        if (join == oxStroker::kJoinRound) pieces.push_back(disc(vx, vy));
    }
    if (!s.closed) {
        const std::pair<size_t, size_t> ends[2] = {{1, 0}, {n - 2, n - 1}}; // direction outwards
        for (const auto& [from, at] : ends) {
            const auto [dx, dy] = dir(from, at);
            const double x = q[at].first, y = q[at].second;
            if (cap == oxStroker::kCapRound) pieces.push_back(disc(x, y));
            if (cap != oxStroker::kCapSquare) continue;
            Piece p;
            p.poly = {{x - dy * w, y + dx * w},
                      {x - dy * w + dx * w, y + dx * w + dy * w},
                      {x + dy * w + dx * w, y - dx * w + dy * w},
                      {x + dy * w, y - dx * w}};
            pieces.push_back(p);
        }
    }
    for (Piece& p : pieces) {
        if (p.disc) continue;
        p.x0 = p.x1 = p.poly[0].first, p.y0 = p.y1 = p.poly[0].second;
        for (const auto& [x, y] : p.poly)
            p.x0 = std::min(p.x0, x), p.x1 = std::max(p.x1, x), p.y0 = std::min(p.y0, y), p.y1 = std::max(p.y1, y);
    }
    return pieces;
}

// Lower and upper bounds of the coverage (0..255) of every pixel.
void ReferenceStroke(const Stroke& s, int size, std::vector<int>& lo, std::vector<int>& hi) {
    constexpr int kRows = 4, kAcross = 64;
    const std::vector<Piece> pieces = StrokePieces(s);
    lo.assign(static_cast<size_t>(size) * size, 0);
    hi.assign(lo.size(), 0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int inLo = 0, inHi = 0;
            for (int k = 0; k < kRows; ++k) {
                const double sy = y + (k + 0.5) / kRows;
                for (int j = 0; j < kAcross; ++j) {
                    const double sx = x + (j + 0.5) / kAcross;
                    bool l = false, h = false;
                    for (const Piece& p : pieces) {
                        if (!h && InPiece(p, sx, sy, true)) h = true;
                        if (!l && InPiece(p, sx, sy, false)) l = h = true;
                        if (l) break;
                    }
                    inLo += l, inHi += h;
                }
            }
            lo[static_cast<size_t>(y) * size + x] = int(std::lround(255.0 * inLo / (kRows * kAcross)));
            hi[static_cast<size_t>(y) * size + x] = int(std::lround(255.0 * inHi / (kRows * kAcross)));
        }
    }
}

// The stroke's coverage through the graphics context, in an 8-bit mask with a linear coverage curve.
std::vector<int> ContextStroke(const Stroke& s, int size) {
    TestSurface t(size, size, 8);
    oxGraphicsContext gc;
    gc.AttachTarget(t.buffer);
    gc.SetFloatOption(kOptionCoverageCurve, 0.5f);
    gc.SetStrokeColor(0x0000FF); // a mask takes the colour's low byte where fully covered
    gc.SetLineWidth(s.w);
    gc.SetLineJoin(s.join);
    gc.SetLineCap(s.cap);
    std::vector<float> pts;
    std::vector<uint8_t> cmds;
    for (const auto& [x, y] : s.points) {
        pts.push_back(x), pts.push_back(y);
        cmds.push_back(cmds.empty() ? kPathMove : kPathLine);
    }
    if (s.closed) cmds.back() |= kPathClose;
    gc.StrokePath(int32_t(s.points.size()), pts.data(), 2, cmds.data());
    std::vector<int> out;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            out.push_back(t.buffer.GetRow8(y)[x]);
    return out;
}

struct Excess {
    int max = 0, x = 0, y = 0, value = 0, lo = 0, hi = 0;
    double mean = 0;
};

Excess CompareStroke(const Stroke& s, int size) {
    std::vector<int> lo, hi;
    ReferenceStroke(s, size, lo, hi);
    const std::vector<int> got = ContextStroke(s, size);
    Excess e;
    double sum = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        const int v = std::max({0, lo[i] - got[i], got[i] - hi[i]});
        sum += v;
        if (v > e.max) e = {v, int(i) % size, int(i) / size, got[i], lo[i], hi[i], 0};
    }
    e.mean = sum / double(got.size());
    return e;
}

std::string Describe(const Stroke& s) {
    std::ostringstream o;
    o.precision(9);
    o << "half-width " << s.w << " join " << s.join << " cap " << s.cap << (s.closed ? " closed:" : " open:");
    for (const auto& [x, y] : s.points)
        o << " (" << x << ", " << y << ")";
    return o.str();
}

// Drops points, halves first, while the stroke keeps failing.
template <typename Fails> Stroke Reduce(Stroke s, Fails fails) {
    const size_t least = s.closed ? 3 : 2;
    for (size_t chunk = s.points.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t start = 0; start < s.points.size();) {
            Stroke trial = s;
            trial.points.erase(trial.points.begin() + long(start),
                               trial.points.begin() + long(std::min(start + chunk, trial.points.size())));
            if (trial.points.size() >= least && fails(trial))
                s = trial;
            else
                start += chunk;
        }
    }
    return s;
}

// Random polylines, open and closed, with every join and cap, against the reference: inside its
// bounds but for the filler's own rounding. A nearly horizontal edge that passes between the
// filler's sample row and the reference's moves a pixel by up to one sub-scanline (64), and a span
// within one pixel counts as the product of its end fractions; a miter tip or a corner gone
// missing leaves whole pixels out.
TEST(StrokerTest, MatchesSupersampledReferenceOnRandomStrokes) {
    constexpr int kSize = 48;
    constexpr int kMaxDiff = 64;
    constexpr double kMaxMean = 0.5;
    TestRandom rnd(20240614);
    for (int round = 0; round < 72; ++round) {
        Stroke s;
        s.join = round % 3;
        s.cap = (round / 3) % 3;
        s.closed = round % 4 == 3;
        s.w = rnd.Range(1.0f, 7.0f);
        const int n = s.closed ? 3 + round % 4 : 2 + round % 5;
        for (int i = 0; i < n; ++i)
            s.points.push_back({rnd.Range(4.0f, kSize - 4.0f), rnd.Range(4.0f, kSize - 4.0f)});
        auto fails = [&](const Stroke& t) {
            const Excess e = CompareStroke(t, kSize);
            return e.max > kMaxDiff || e.mean > kMaxMean;
        };
        if (!fails(s)) continue;
        const Stroke small = Reduce(s, fails);
        const Excess e = CompareStroke(small, kSize);
        ADD_FAILURE() << "round " << round << ": " << e.value << " outside [" << e.lo << ", " << e.hi << "] at (" << e.x
                      << ", " << e.y << "), mean excess " << e.mean << ", " << Describe(small);
    }
}

TEST(StrokerTest, DotStepFollowsHalfWidth) {
    struct Case {
        float w;
        int edges;
    };
    // Nearly flat edges at the top and bottom may cross no sub-scanline and are not stored.
    for (const Case& k : {Case{2.0f, 4}, Case{40.0f, 64}}) {
        TestSurface s(128, 128, 32);
        oxPolygonFiller filler;
        filler.SetTarget(&s.buffer);
        oxStroker stroker(&filler);
        stroker.SetHalfWidth(k.w);
        filler.BeginPolygon(8);
        stroker.Dot(64.3f, 64.3f);
        EXPECT_LE(filler.EdgeCount(), k.edges);
        EXPECT_GE(filler.EdgeCount(), k.edges - 2);
    }
}

} // namespace
