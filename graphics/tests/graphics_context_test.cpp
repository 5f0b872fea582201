#include "graphics/paint/graphics_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct Canvas {
    TestSurface surface;
    oxGraphicsContext gc;
    Canvas(int w, int h) : surface(w, h, 32) {
        surface.Fill32(0xFFFFFFFF);
        gc.AttachTarget(surface.buffer);
    }
    bool Untouched() const {
        for (int y = 0; y < surface.buffer.height; ++y)
            for (int x = 0; x < surface.buffer.width; ++x)
                if (surface.buffer.GetRow32(y)[x] != 0xFFFFFFFFu) return false;
        return true;
    }
};

TEST(GraphicsContextTest, ClearColors) {
    Canvas c(4, 4);
    c.gc.SetClearColor(-1, -1, -1);
    c.gc.Clear(nullptr);
    EXPECT_EQ(0xFF000000u, c.surface.buffer.GetRow32(2)[2]);
    c.gc.SetClearColor(0.3f, 0.3f, 0.3f);
    const RECT r{1, 1, 3, 3};
    c.gc.Clear(&r);
    EXPECT_EQ(0x004C4C4Cu, c.surface.buffer.GetRow32(1)[1]);
    EXPECT_EQ(0xFF000000u, c.surface.buffer.GetRow32(0)[0]);
}

TEST(GraphicsContextTest, SetSizeRaisesToTwoAndReuses) {
    oxGraphicsContext gc;
    ASSERT_EQ(1, gc.SetSize(1, 1, 32));
    EXPECT_EQ(2, gc.Target().width);
    EXPECT_EQ(2, gc.Target().height);
    EXPECT_TRUE(gc.HasTarget());
    const uint8_t* bits = gc.Target().bits;
    EXPECT_EQ(1, gc.SetSize(2, 2, 32));
    EXPECT_EQ(bits, gc.Target().bits);
    gc.ReleaseTarget();
    EXPECT_FALSE(gc.HasTarget());
    EXPECT_EQ(0, gc.Rect(0, 0, 1, 1, 0) == 1 && gc.HasTarget());
}

TEST(GraphicsContextTest, NothingDrawnWithoutAlphaOrForBadPoints) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    Canvas c(32, 32);
    c.gc.SetLineWidth(3.0f);
    const float shapes[][8] = {
        {2, 2, 30, 2, kNaN, 30, 2, 30},                           // one coordinate not a number
        {2, 2, 30, 2, 30, kInf, 2, 30},                           // infinite
        {1e30f, 1e30f, 2e30f, 1e30f, 2e30f, 2e30f, 1e30f, 2e30f}, // far outside
        {-3e38f, 5, -3e38f, 9, -2e38f, 9, -2e38f, 5},
    };
    for (const auto& s : shapes) {
        c.gc.FillPath(4, s, 2, nullptr);
        c.gc.StrokePath(4, s, 2, nullptr);
        c.gc.DrawPolyline(4, s, 2, nullptr);
        ASSERT_TRUE(c.Untouched()) << s[0];
    }
    // A cubic with a huge control point flattens into at most 36 pieces that all pass right of
    // the target; cutting the far pieces to the clip must not lose their x to rounding.
    c.gc.Path().Begin();
    c.gc.Path().MoveTo(40, 40);
    c.gc.Path().CubicTo(1e35f, -1e35f, 50, 50, 60, 40);
    c.gc.DrawPath(0);
    EXPECT_TRUE(c.Untouched());
    c.gc.DrawPath(1);
    EXPECT_TRUE(c.Untouched());

    c.gc.SetAlpha(0);
    EXPECT_EQ(0, c.gc.FillPath(4, shapes[0], 2, nullptr));
    c.gc.Rect(0, 0, 32, 32, 0);
    EXPECT_TRUE(c.Untouched());
}

// Width 0.5 takes the hairline road, 0.7 the stroker: their pixels differ at the line's ends,
// where only the stroker's round caps reach past them.
TEST(GraphicsContextTest, HairlineOrStrokeByWidth) {
    const float line[] = {4.5f, 8.5f, 27.5f, 8.5f};
    Canvas thin(32, 16), wide(32, 16), patterned(32, 16);
    thin.gc.SetLineWidth(0.5f);
    thin.gc.StrokePath(2, line, 2, nullptr);
    wide.gc.SetLineWidth(0.7f);
    wide.gc.StrokePath(2, line, 2, nullptr);
    EXPECT_NE(0xFFFFFFFFu, thin.surface.buffer.GetRow32(8)[10]);
    EXPECT_NE(thin.surface.buffer.GetRow32(9)[10], wide.surface.buffer.GetRow32(9)[10]);
    // Any line pattern sends even a wide stroke to the hairline road.
    patterned.gc.SetLineWidth(5.0f);
    patterned.gc.SetOption(kOptionLinePattern, 0x0F0F0F0F); // set bits are gaps
    patterned.gc.StrokePath(2, line, 2, nullptr);
    EXPECT_EQ(0xFFFFFFFFu, patterned.surface.buffer.GetRow32(11)[10]);
    int drawn = 0;
    for (int x = 4; x < 28; ++x)
        drawn += patterned.surface.buffer.GetRow32(8)[x] != 0xFFFFFFFFu;
    EXPECT_GT(drawn, 8);
    EXPECT_LT(drawn, 20);
}

// Round joins need room: up to a half-width of 2.5 the disc at a vertex would be a polygon of four
// to six sides, coarser than the bevel it replaces, so those strokes are bevelled, and at 1.0 or
// less their round caps become butt caps too. The transform's scale counts.
TEST(GraphicsContextTest, RoundJoinsNeedWidth) {
    const float turn[] = {22, 40, 26, 24, 42, 26};
    struct Case {
        float width, scale;
        int32_t join, cap; // what a round-joined, round-capped stroke is drawn with
    };
    const Case cases[] = {
        {1.0f, 1.0f, oxStroker::kJoinBevel, oxStroker::kCapButt},
        {2.0f, 1.0f, oxStroker::kJoinBevel, oxStroker::kCapRound},
        {2.5f, 1.0f, oxStroker::kJoinBevel, oxStroker::kCapRound},
        {3.0f, 1.0f, oxStroker::kJoinRound, oxStroker::kCapRound},
        {1.5f, 2.0f, oxStroker::kJoinRound, oxStroker::kCapRound},
        {2.0f, 0.5f, oxStroker::kJoinBevel, oxStroker::kCapButt},
    };
    for (const Case& k : cases) {
        Canvas round(64, 64), expected(64, 64), other(64, 64);
        for (Canvas* c : {&round, &expected, &other}) {
            c->gc.Translate(-32, -32); // transforms apply in the order they are given
            c->gc.Scale(k.scale, k.scale);
            c->gc.Translate(32, 32);
            c->gc.SetLineWidth(k.width);
        }
        round.gc.StrokePath(3, turn, 2, nullptr);
        expected.gc.SetLineJoin(k.join);
        expected.gc.SetLineCap(k.cap);
        expected.gc.StrokePath(3, turn, 2, nullptr);
        EXPECT_EQ(expected.surface.bytes, round.surface.bytes) << k.width << " x " << k.scale;
        // And the choice shows: the other join (or cap) draws differently.
        other.gc.SetLineJoin(k.join == oxStroker::kJoinRound ? oxStroker::kJoinBevel : oxStroker::kJoinRound);
        other.gc.SetLineCap(k.cap);
        if (k.join == oxStroker::kJoinBevel && k.cap == oxStroker::kCapRound) {
            other.gc.SetLineJoin(oxStroker::kJoinMiter);
        } else if (k.cap == oxStroker::kCapButt) {
            other.gc.SetLineJoin(k.join);
            other.gc.SetLineCap(oxStroker::kCapRound);
        }
        other.gc.StrokePath(3, turn, 2, nullptr);
        EXPECT_NE(other.surface.bytes, round.surface.bytes) << k.width << " x " << k.scale;
    }
}

// Hairlines leave an opaque target opaque, anti-aliased or not, at full and lowered alpha; an
// aliased line at full alpha writes the colour itself.
TEST(GraphicsContextTest, HairlinesKeepTargetOpaque) {
    const float lines[] = {3, 3, 28, 20, 28, 4, 4, 29.5f};
    for (int samples : {4, 0}) {
        for (float width : {0.5f, 0.25f}) {
            Canvas c(32, 32);
            c.gc.SetAntialias(samples);
            c.gc.SetLineWidth(width);
            c.gc.SetStrokeColor(0x000000);
            c.gc.StrokePath(4, lines, 2, nullptr);
            int inked = 0;
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) {
                    const uint32_t p = c.surface.buffer.GetRow32(y)[x];
                    ASSERT_EQ(0xFF000000u, p & 0xFF000000u) << samples << " " << width << " at " << x << "," << y;
                    inked += p != 0xFFFFFFFFu;
                    if (samples == 0 && width == 0.5f && p != 0xFFFFFFFFu) {
                        ASSERT_EQ(0xFF000000u, p);
                    }
                }
            }
            EXPECT_GT(inked, 40) << samples << " " << width;
        }
    }
}

// Curves, transforms, alpha and clipping through the context.
TEST(GraphicsContextTest, FilledAndStrokedCurvesUnderTransform) {
    Canvas c(96, 48);
    c.gc.SetColor(0x20A040);
    c.gc.Path().Begin();
    c.gc.Path().MoveTo(4, 40);
    c.gc.Path().CubicTo(4, 0, 44, 0, 44, 40);
    c.gc.Path().Close();
    c.gc.DrawPath(0);
    c.gc.Translate(48, 0);
    c.gc.Rotate(0.3f);
    c.gc.SetAlpha(128);
    c.gc.SetStrokeColor(0x0000FF);
    c.gc.SetLineWidth(2.0f);
    c.gc.DrawPath(1);
    c.gc.ResetTransform();
    c.gc.SetAlpha(256);
    const RECT clip{60, 30, 90, 44};
    c.gc.SetClipBounds(&clip);
    c.gc.SetColor(0xC02020);
    c.gc.RoundRect(50, 20, 94, 46, 8, 0);
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "context_curves"));
}

} // namespace

namespace {

uint32_t At(const Canvas& c, int x, int y) {
    return c.surface.buffer.GetRow32(y)[x];
}

// Full ink of a black fill on white; a pixel whose left edge lies on the fill's edge misses one
// level per sub-scanline.
bool Inked(uint32_t p) {
    return p >> 24 == 0xFF && (p & 0xFF) <= 3;
}

// Option 7 snaps the ends of axis-parallel edges: fills to whole pixels, strokes to pixel centres.
TEST(GraphicsContextTest, GridFitSnapsAxisParallelEdges) {
    Canvas fitted(32, 16), plain(32, 16);
    fitted.gc.SetOption(kOptionGridFit, 1);
    EXPECT_EQ(1, fitted.gc.GetOption(kOptionGridFit));
    EXPECT_EQ(0, plain.gc.GetOption(kOptionGridFit));
    for (Canvas* c : {&fitted, &plain})
        c->gc.Rect(2.3f, 3.4f, 20.6f, 12.2f, 0);
    // Snapped to (2, 3)-(21, 12): every pixel is either filled or untouched.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 2 && x < 21 && y >= 3 && y < 12;
            ASSERT_EQ(inside ? 0xFF000000u : 0xFFFFFFFFu, At(fitted, x, y)) << x << "," << y;
        }
    EXPECT_NE(0xFF000000u, At(plain, 2, 5));
    EXPECT_NE(0xFFFFFFFFu, At(plain, 20, 5));

    // A one-pixel outline on whole coordinates lands on pixel centres: one full row, no spill.
    Canvas stroke(32, 16);
    stroke.gc.SetOption(kOptionGridFit, 1);
    stroke.gc.SetLineWidth(0.5f);
    stroke.gc.Rect(4.2f, 4.1f, 20.2f, 12.0f, 1);
    EXPECT_EQ(0xFF000000u, At(stroke, 10, 4));
    EXPECT_EQ(0xFFFFFFFFu, At(stroke, 10, 3));
    EXPECT_EQ(0xFFFFFFFFu, At(stroke, 10, 5));
    EXPECT_EQ(0xFF000000u, At(stroke, 4, 8));
    EXPECT_EQ(0xFFFFFFFFu, At(stroke, 5, 8));
}

// A side made of several collinear points snaps once, like a side of two: every point is rounded
// from where the path put it, so the half pixel a stroke adds is not added again for each point.
TEST(GraphicsContextTest, GridFitSnapsCollinearPointsOnce) {
    const float plain[] = {4, 4, 20, 4, 20, 12, 4, 12};
    const float split[] = {4, 4, 9, 4, 14, 4, 20, 4, 20, 7, 20, 10, 20, 12, 12, 12, 4, 12, 4, 9};
    for (float halfWidth : {0.5f, 1.0f, 1.5f}) {
        Canvas a(28, 20), b(28, 20);
        for (Canvas* c : {&a, &b}) {
            c->gc.SetOption(kOptionGridFit, 1);
            c->gc.SetLineWidth(halfWidth);
            c->gc.SetLineJoin(oxStroker::kJoinMiter);
        }
        uint8_t closedPlain[4] = {kPathMove, kPathLine, kPathLine, kPathLine | kPathClose};
        uint8_t closedSplit[10] = {kPathMove, kPathLine, kPathLine, kPathLine, kPathLine,
                                   kPathLine, kPathLine, kPathLine, kPathLine, kPathLine | kPathClose};
        a.gc.StrokePath(4, plain, 2, closedPlain);
        b.gc.StrokePath(10, split, 2, closedSplit);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 28; ++x)
                ASSERT_EQ(At(a, x, y), At(b, x, y)) << halfWidth << " at " << x << "," << y;
        // The right side's centre line is on pixel column 20, as the left one's is on column 4.
        EXPECT_EQ(At(a, 4, 8), At(a, 20, 8)) << halfWidth;
    }
}

// Option 18 shifts the whole path so that its longest nearly vertical edge lands on a whole pixel
// (the shift reads back as option 19), then snaps edges longer than 8 pixels with the points that
// continue them on the same line; shorter edges stay where they are.
TEST(GraphicsContextTest, VerticalEdgeSnapping) {
    // Left edge at 10.3: 20 pixels and a collinear piece of 4; right edge at 30.6, 24 pixels.
    const float shape[] = {10.3f, 2, 10.3f, 22, 10.3f, 26, 30.6f, 26, 30.6f, 2};
    Canvas c(40, 32);
    c.gc.SetOption(kOptionSnapVertical, 0x101); // the low byte is kept
    EXPECT_EQ(1, c.gc.GetOption(kOptionSnapVertical));
    c.gc.FillPath(5, shape, 2, nullptr);
    EXPECT_NEAR(0.4f, c.gc.GetFloatOption(kOptionSnapShift), 1e-5f);
    // Shifted to 10.7 and 31.0, then the long left edge snapped to 11 down to its end.
    for (int y = 2; y < 26; ++y) {
        ASSERT_EQ(0xFFFFFFFFu, At(c, 10, y)) << y;
        ASSERT_TRUE(Inked(At(c, 11, y))) << y;
        ASSERT_TRUE(Inked(At(c, 30, y))) << y;
        ASSERT_EQ(0xFFFFFFFFu, At(c, 31, y)) << y;
    }

    // A short edge keeps its place: the left one at 10.3, 4 pixels, while the longest, on a whole
    // pixel already, makes the shift 0.
    const float small[] = {10.3f, 2, 10.3f, 6, 14, 12, 14, 2};
    Canvas s(24, 16), fitted(24, 16);
    s.gc.SetOption(kOptionSnapVertical, 1);
    s.gc.SetFloatOption(kOptionSnapShift, 3.0f);
    EXPECT_EQ(3.0f, s.gc.GetFloatOption(kOptionSnapShift));
    s.gc.FillPath(4, small, 2, nullptr);
    EXPECT_EQ(0.0f, s.gc.GetFloatOption(kOptionSnapShift));
    const uint32_t partial = At(s, 10, 4);
    EXPECT_NE(0xFFFFFFFFu, partial);
    EXPECT_NE(0xFF000000u, partial);
    // Grid fitting alone snaps it.
    fitted.gc.SetOption(kOptionGridFit, 1);
    fitted.gc.FillPath(4, small, 2, nullptr);
    EXPECT_TRUE(Inked(At(fitted, 10, 4)));

    // Targets of 14 rows or fewer get the shift but no snapping.
    const float tall[] = {3.3f, 2, 3.3f, 12, 9.6f, 13, 9.6f, 1};
    TestSurface low(16, 14, 32);
    low.Fill32(0xFFFFFFFF);
    oxGraphicsContext gc;
    gc.AttachTarget(low.buffer);
    gc.SetOption(kOptionSnapVertical, 1);
    gc.FillPath(4, tall, 2, nullptr);
    EXPECT_NEAR(0.4f, gc.GetFloatOption(kOptionSnapShift), 1e-5f); // the right edge is the longest
    EXPECT_TRUE(Inked(low.buffer.GetRow32(5)[9]));                 // 9.6 + 0.4 = 10
    EXPECT_EQ(0xFFFFFFFFu, low.buffer.GetRow32(5)[10]);
    EXPECT_FALSE(Inked(low.buffer.GetRow32(5)[3])); // 3.3 + 0.4 = 3.7
    EXPECT_NE(0xFFFFFFFFu, low.buffer.GetRow32(5)[3]);
}

// Option 6 bends partial coverage by t / ((1/p - 2)(1 - t) + 1): 0.5 leaves it, more raises it.
TEST(GraphicsContextTest, CoverageCurveOption) {
    constexpr int kHalf = 4 * ((255 - 128) >> 2); // a pixel cut at its middle on 4 sub-scanlines
    for (float p : {0.5f, 0.55f, 0.7f, 0.3f}) {
        TestSurface mask(16, 8, 8);
        oxGraphicsContext gc;
        gc.AttachTarget(mask.buffer);
        gc.SetFloatOption(kOptionCoverageCurve, p);
        EXPECT_EQ(p, gc.GetFloatOption(kOptionCoverageCurve));
        gc.SetColor(0x0000FF);
        const float rect[] = {2.5f, 0, 12, 0, 12, 8, 2.5f, 8};
        gc.FillPath(4, rect, 2, nullptr);
        const double t = kHalf / 255.0, c = 1 / double(p) - 2;
        EXPECT_EQ(std::lround(t / (c * (1 - t) + 1) * 255), mask.buffer.GetRow8(4)[2]) << p;
        EXPECT_EQ(255, mask.buffer.GetRow8(4)[5]);
    }
}

} // namespace
