#include "graphics/raster/stroker.h"

#include <gtest/gtest.h>

#include <cmath>
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
