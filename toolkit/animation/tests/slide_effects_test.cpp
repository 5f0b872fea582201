// The move, push and squash effects between a black source with a white left column and a white
// target with a black left column, so that each picture's edge shows where it stands.
#include "toolkit/animation/slide_effects.h"

#include <gtest/gtest.h>

#include "graphics/tests/raster_test_util.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu, kGrey = 0xFF808080u;
constexpr int W = 20, H = 10;

struct Pictures {
    TestSurface source{W, H, 32};
    TestSurface target{W, H, 32};
    Pictures() {
        source.Fill32(kBlack);
        target.Fill32(kWhite);
        for (int y = 0; y < H; ++y) {
            source.buffer.GetRow32(y)[0] = kGrey; // marks each picture's left edge
            target.buffer.GetRow32(y)[0] = kGrey;
        }
    }
};

// The surface's row 5 as letters: b black, w white, g grey.
std::string Row(oxTransitionEffect& e, int y = 5) {
    std::string s;
    for (int x = 0; x < W; ++x) {
        const uint32_t p = e.Surface().Target().GetRow32(y)[x];
        s += p == kBlack ? 'b' : p == kWhite ? 'w' : p == kGrey ? 'g' : '?';
    }
    return s;
}

} // namespace

TEST(SlideEffectsTest, PushMovesBothPicturesAlongTheAxis) {
    Pictures p;
    struct Case {
        float dx, dy, a;
        const char* row; // row 5 of the surface
    };
    const Case cases[] = {
        {-1, 0, 0.5f, "bbbbbbbbbbgwwwwwwwww"}, // pushLeft: the source's right half, then the target's left half
        {1, 0, 0.5f, "wwwwwwwwwwgbbbbbbbbb"},  // the target's right half, then the source's left half
        {-1, 0, 0.0f, "gbbbbbbbbbbbbbbbbbbb"},
        {-1, 0, 1.0f, "gwwwwwwwwwwwwwwwwwww"},
        {-1, 0, 0.25f, "bbbbbbbbbbbbbbbgwwww"},
        {0, 1, 0.5f, "gbbbbbbbbbbbbbbbbbbb"}, // pushed down: row 5 is the source's first row
    };
    for (const Case& c : cases) {
        oxPushEffect e(c.dx, c.dy);
        EXPECT_STREQ("Push", e.GetName());
        ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
        e.RenderFrame(c.a);
        EXPECT_EQ(c.row, Row(e)) << c.dx << "," << c.dy << " at " << c.a;
        EXPECT_EQ(1, e.FrameCount());
        EXPECT_FLOAT_EQ(c.a, e.Progress());
        ASSERT_EQ(1u, e.UpdateItems().size());
        EXPECT_EQ(W, e.UpdateItems()[0].destination.right);
    }
    // Pushed up halfway: rows 0-4 are the source's lower half, 5-9 the target's upper half.
    oxPushEffect up(0, -1);
    up.Start(p.source.buffer, p.target.buffer, nullptr, false);
    up.RenderFrame(0.5f);
    EXPECT_EQ("gbbbbbbbbbbbbbbbbbbb", Row(up, 4));
    EXPECT_EQ("gwwwwwwwwwwwwwwwwwww", Row(up, 5));
    up.Finish();
    EXPECT_EQ("gwwwwwwwwwwwwwwwwwww", Row(up, 0));
}

TEST(SlideEffectsTest, MoveCoversTheSourceAndRedrawsItWhenTheProgressGoesBack) {
    Pictures p;
    oxMoveEffect e(1, 0); // slides in from the right
    ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
    e.RenderFrame(0.0f);
    EXPECT_EQ("gbbbbbbbbbbbbbbbbbbb", Row(e)); // the target lies wholly outside
    e.RenderFrame(0.5f);
    EXPECT_EQ("gbbbbbbbbbgwwwwwwwww", Row(e));
    EXPECT_EQ(10, e.UpdateItems()[0].destination.left); // only the target's rectangle
    e.RenderFrame(0.25f);                               // a curve swinging back
    EXPECT_EQ("gbbbbbbbbbbbbbbgwwww", Row(e));
    EXPECT_EQ(0, e.UpdateItems()[0].destination.left); // the full picture
    EXPECT_EQ(W, e.UpdateItems()[0].destination.right);
    e.RenderFrame(1.0f);
    EXPECT_EQ("gwwwwwwwwwwwwwwwwwww", Row(e));
    EXPECT_STREQ("Move", e.GetName());

    oxMoveEffect fromLeft(-1, 0); // the update rectangle starts at 0 however far out the target is
    fromLeft.Start(p.source.buffer, p.target.buffer, nullptr, false);
    fromLeft.RenderFrame(0.5f);
    EXPECT_EQ("wwwwwwwwwwbbbbbbbbbb", Row(fromLeft));
    EXPECT_EQ(0, fromLeft.UpdateItems()[0].destination.left);
    EXPECT_EQ(10, fromLeft.UpdateItems()[0].destination.right);
}

TEST(SlideEffectsTest, SquashScalesEachPictureToItsSide) {
    Pictures p;
    struct Case {
        float dx, a;
        const char* row;
    };
    const Case cases[] = {
        {-1, 0.0f, "gbbbbbbbbbbbbbbbbbbb"}, // squashLeft: the source whole, the target in nothing
        {-1, 1.0f, "gwwwwwwwwwwwwwwwwwww"},
        {-1, 0.5f, "gbbbbbbbbbgwwwwwwwww"}, // each picture in half the width, its edge kept
        {1, 0.5f, "gwwwwwwwwwgbbbbbbbbb"},
        {1, 0.0f, "gbbbbbbbbbbbbbbbbbbb"}, // squashRight starts with the boundary at the left edge
    };
    for (const Case& c : cases) {
        oxSquashEffect e(c.dx, 0);
        ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
        e.RenderFrame(c.a);
        EXPECT_EQ(c.row, Row(e)) << c.dx << " at " << c.a;
    }
}

TEST(SlideEffectsTest, PushAtSixteenBitsKeepsEveryPixel) {
    TestSurface source(W, H, 16, kLayoutRgb565), target(W, H, 16, kLayoutRgb565);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            source.buffer.GetRow16(y)[x] = uint16_t(x * 64 + y);
            target.buffer.GetRow16(y)[x] = uint16_t(0x8000 + x * 64 + y);
        }
    oxPushEffect e(-1, 0);
    ASSERT_TRUE(e.Start(source.buffer, target.buffer, nullptr, false));
    ASSERT_EQ(16, e.Surface().Target().bpp);
    struct Case {
        float a;
        int shift; // where the source's column 0 stands
    };
    for (const Case c : {Case{0.0f, 0}, Case{0.5f, -10}, Case{1.0f, -20}}) {
        e.RenderFrame(c.a);
        int differ = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int from = x - c.shift;
                const uint16_t want = from < W ? source.buffer.GetRow16(y)[from] : target.buffer.GetRow16(y)[from - W];
                differ += e.Surface().Target().GetRow16(y)[x] != want;
            }
        EXPECT_EQ(0, differ) << c.a;
    }
}
