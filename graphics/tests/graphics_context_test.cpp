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
