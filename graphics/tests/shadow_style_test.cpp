#include "graphics/paint/shadow_style.h"

#include <gtest/gtest.h>

#include <limits>

#include "graphics/effects/drop_shadow.h"
#include "graphics/paint/canvas.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

struct OutsetCase {
    int32_t kind, radius;
    float opacity;
    POINT offset;
    RECT want;
};

TEST(ShadowStyleTest, Outsets) {
    const OutsetCase cases[] = {
        {0, 2, 0.5f, {1, 1}, {3, 3, 5, 5}},
        {0, 2, 0.5f, {0, 0}, {4, 4, 4, 4}},
        {0, 2, 0.5f, {9, -9}, {0, 13, 13, 0}},
        {0, 0, 0.5f, {1, 1}, {0, 0, 0, 0}},
        {0, 2, 0.0f, {1, 1}, {0, 0, 0, 0}},
        {1, 2, 0.5f, {1, 1}, {0, 0, 0, 0}},
        {0, 0x7FFFFFFF, 1.0f, {0, 0}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}},
    };
    for (const OutsetCase& c : cases) {
        oxShadowStyle s(c.kind, 0xFF000000u, c.radius, c.opacity, &c.offset);
        const RECT o = s.GetOutsets();
        EXPECT_EQ(c.want.left, o.left) << c.radius << " " << c.offset.x;
        EXPECT_EQ(c.want.top, o.top);
        EXPECT_EQ(c.want.right, o.right);
        EXPECT_EQ(c.want.bottom, o.bottom);
    }
}

TEST(ShadowStyleTest, SettersAndClone) {
    oxShadowStyle s;
    EXPECT_EQ(0xFF000000u, s.color);
    EXPECT_EQ(2, s.radius);
    EXPECT_EQ(0.5f, s.opacity);
    s.SetRadius(2.0f);
    EXPECT_EQ(2, s.radius);
    s.SetRadius(2.9f);
    EXPECT_EQ(2, s.radius);
    s.SetRadius(5.5f);
    EXPECT_EQ(5, s.radius);
    s.SetRadius(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(0, s.radius);
    s.SetOffset(POINT{3, 4});
    s.SetFillCenter(1);
    s.keyedOnAlpha = 1;
    std::unique_ptr<oxShadowStyle> copy(s.Clone());
    EXPECT_EQ(3, copy->offset.x);
    EXPECT_EQ(4, copy->offset.y);
    EXPECT_EQ(0, copy->fillCenter);
    EXPECT_EQ(0, copy->keyedOnAlpha);
}

// The canvas over a white surface; shadows of a 40 x 20 box at (30, 20).
struct ShadowScene {
    TestSurface surface;
    oxCanvas canvas;
    explicit ShadowScene(int bpp = 32) : surface(100, 64, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified) {
        if (bpp == 32) {
            surface.Fill32(kWhite);
        } else {
            surface.Fill16(0xFFFF);
        }
        canvas.AttachTarget(surface.buffer);
    }
    uint32_t At(int x, int y) const { return surface.buffer.GetRow32(y)[x]; }
};

constexpr oxCanvasRect kBox{30, 20, 40, 20};

TEST(ShadowStyleTest, OuterShadowStaysOutsideTheBoxAndWithinItsReach) {
    for (int radius : {1, 2, 4}) {
        ShadowScene scene;
        oxShadowStyle shadow(0, 0xFF000000u, radius, 1.0f, nullptr);
        shadow.Paint(&scene.canvas, kBox, nullptr);
        const int reach = 3 * radius;
        int touched = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 100; ++x) {
                const bool inBox = x >= 30 && x < 70 && y >= 20 && y < 40;
                const bool inReach = x >= 30 - reach && x < 70 + reach && y >= 20 - reach && y < 40 + reach;
                if (inBox || !inReach) {
                    ASSERT_EQ(kWhite, scene.At(x, y)) << radius << " at " << x << "," << y;
                } else if (scene.At(x, y) != kWhite) {
                    ++touched;
                }
            }
        EXPECT_GT(touched, 0) << radius;
    }
}

// Distance from the box's left edge at which the shadow on the middle row fades out, and the darkest
// value there.
int FadeWidth(const ShadowScene& scene) {
    int width = 0;
    for (int x = 29; x >= 0 && (scene.At(x, 30) & 0xFF) < 255; --x)
        ++width;
    return width;
}

TEST(ShadowStyleTest, BlurRadiusWidensTheFalloff) {
    int previous = 0;
    for (int radius : {1, 2, 3, 4}) {
        ShadowScene scene;
        oxShadowStyle shadow(0, 0xFF000000u, radius, 1.0f, nullptr);
        shadow.Paint(&scene.canvas, kBox, nullptr);
        const int width = FadeWidth(scene);
        EXPECT_GT(width, previous) << radius;
        EXPECT_LE(width, 3 * radius) << radius;
        // Darker next to the box than further out.
        for (int x = 29 - width + 1; x < 29; ++x)
            EXPECT_GE(scene.At(x, 30) & 0xFF, scene.At(x + 1, 30) & 0xFF) << radius << " at " << x;
        previous = width;
    }
}

TEST(ShadowStyleTest, OffsetMovesTheShadow) {
    ShadowScene still, moved;
    const POINT offset{5, 3};
    oxShadowStyle a(0, 0xFF204080u, 3, 0.7f, nullptr), b(0, 0xFF204080u, 3, 0.7f, &offset);
    a.Paint(&still.canvas, kBox, nullptr);
    b.Paint(&moved.canvas, kBox, nullptr);
    int compared = 0;
    for (int y = 0; y < 64 - 3; ++y)
        for (int x = 0; x < 100 - 5; ++x) {
            // Outside the box both ways (the box itself is never shaded).
            const bool inBox = x >= 30 - 5 && x < 70 && y >= 20 - 3 && y < 40;
            if (inBox) continue;
            ASSERT_EQ(still.At(x, y), moved.At(x + 5, y + 3)) << x << "," << y;
            ++compared;
        }
    EXPECT_GT(compared, 4000);
}

// The blend of one pixel worked out channel by channel from the mask: on the middle row left of the
// box the left edge part maps mask columns one to one.
TEST(ShadowStyleTest, MiddleRowMatchesTheMaskBlend) {
    ShadowScene scene;
    const int r = 3;
    const float opacity = 0.6f;
    oxDropShadow shadow;
    ASSERT_TRUE(shadow.SetRadius(r));
    shadow.offsetX = shadow.offsetY = 0;
    shadow.opacity = opacity;
    shadow.color = 0xFF3060C0u;
    const RECT box{30, 20, 70, 40};
    ASSERT_TRUE(shadow.DrawOuter(scene.surface.buffer, &box, nullptr));
    const oxPixelBuffer* mask = shadow.OuterMask();
    ASSERT_TRUE(mask);
    const int s = int(opacity * 256), left = 30 - 3 * r;
    const int colour[3] = {int(0xC0 * opacity * 255 / 256), int(0x60 * opacity * 255 / 256),
                           int(0x30 * opacity * 255 / 256)};
    for (int x = left; x < 30; ++x) {
        const int m = mask->GetRow8(mask->height / 2)[x - left];
        const uint32_t p = scene.At(x, 30);
        for (int c = 0; c < 3; ++c) {
            int want = 255;
            if (s * m > 255) want = 255 + (colour[c] - 255) * (s * m / 256 + 1) / 256;
            // The pair blend rounds a negative step down, a channel-wise division towards zero.
            EXPECT_NEAR(want, int((p >> (8 * c)) & 0xFF), 1) << x << " channel " << c;
        }
    }
}

TEST(ShadowStyleTest, ColourGoesThroughTheCanvasTransform) {
    class Invert : public oxCanvasColorTransform {
        void ComposeWith(const oxCanvasColorTransform&) override {}
        uint32_t TransformPixel(uint32_t argb) override { return argb ^ 0x00FFFFFFu; }
        void ApplyToCanvas(oxCanvas*) override {}
        void RemoveFromCanvas(oxCanvas*) override {}
    };
    ShadowScene scene;
    scene.canvas.PushColorTransform(new Invert);
    oxShadowStyle shadow(0, 0xFFFFFFFFu, 2, 1.0f, nullptr);
    shadow.Paint(&scene.canvas, kBox, nullptr);
    EXPECT_LT(scene.At(29, 30) & 0xFF, 0xC0u); // a white shadow on white shows only when drawn black
}

// Turns the canvas about the middle of kBox, as a box's rotation and scale do, and answers kBox in
// the box's own coordinates.
oxCanvasRect TurnAboutTheBox(oxCanvas& canvas, float degrees, float scale) {
    const float cx = kBox.x + kBox.width / 2.0f, cy = kBox.y + kBox.height / 2.0f;
    canvas.OffsetOrigin(cx, cy);
    oxMatrix local;
    local.Scale(scale, scale, 1.0f);
    local.RotateZ(degrees * 3.14159265f / 180.0f);
    oxMatrix combined;
    oxMatrix::Multiply(combined, local, canvas.GetTransform());
    canvas.SetTransform(combined);
    canvas.OffsetOrigin(-kBox.width / 2.0f, -kBox.height / 2.0f);
    return oxCanvasRect{0, 0, kBox.width, kBox.height};
}

// A turned box casts its shadow turned with it: around the box as drawn, never inside it, and an
// offset turns too.
TEST(ShadowStyleTest, ATurnedBoxCastsATurnedShadow) {
    // Turned a quarter, the 40 x 20 box at (30, 20) stands 20 x 40 at (40, 10).
    ShadowScene turned;
    const oxCanvasRect box = TurnAboutTheBox(turned.canvas, 90.0f, 1.0f);
    oxShadowStyle(0, 0xFF000000u, 2, 1.0f, nullptr).Paint(&turned.canvas, box, nullptr);
    ShadowScene upright; // the same shadow of the box as it stands turned
    oxShadowStyle(0, 0xFF000000u, 2, 1.0f, nullptr).Paint(&upright.canvas, oxCanvasRect{40, 10, 20, 40}, nullptr);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inBox = x >= 40 && x < 60 && y >= 10 && y < 50;
            const bool inReach = x >= 40 - 6 && x < 60 + 6 && y >= 10 - 6 && y < 50 + 6;
            if (inBox || !inReach) {
                ASSERT_EQ(kWhite, turned.At(x, y)) << x << "," << y;
            }
        }
    for (POINT p : {POINT{39, 30}, POINT{60, 30}, POINT{50, 9}, POINT{50, 50}, POINT{37, 7}})
        EXPECT_NEAR(int(turned.At(p.x, p.y) & 0xFF), int(upright.At(p.x, p.y) & 0xFF), 8) << p.x << "," << p.y;
    EXPECT_LT(turned.At(39, 30) & 0xFF, 0xC0u) << "shaded next to the turned box";

    // Turned half way, an offset down and right falls up and left of the box.
    ShadowScene half;
    const POINT offset{6, 4};
    oxShadowStyle(0, 0xFF000000u, 2, 1.0f, &offset)
        .Paint(&half.canvas, TurnAboutTheBox(half.canvas, 180.0f, 1.0f), nullptr);
    EXPECT_LT(half.At(26, 18) & 0xFF, 0xC0u);
    EXPECT_EQ(kWhite, half.At(73, 43));
    EXPECT_EQ(kWhite, half.At(50, 30)) << "inside the box";

    // Scaled to half, the box stands 20 x 10 at (40, 25), its shadow reaching half as far.
    ShadowScene small;
    oxShadowStyle(0, 0xFF000000u, 4, 1.0f, nullptr)
        .Paint(&small.canvas, TurnAboutTheBox(small.canvas, 0.0f, 0.5f), nullptr);
    EXPECT_LT(small.At(39, 30) & 0xFF, 0xC0u);
    EXPECT_EQ(kWhite, small.At(45, 30)) << "inside the box";
    EXPECT_EQ(kWhite, small.At(40 - 7, 30)) << "beyond half the reach";
    EXPECT_EQ(kWhite, small.At(70, 46)) << "under the unscaled box's corner";

    // A bevel stays inside the box as drawn.
    ShadowScene bevel;
    const POINT down{0, 2};
    oxShadowStyle(1, 0xFF000000u, 2, 1.0f, &down)
        .Paint(&bevel.canvas, TurnAboutTheBox(bevel.canvas, 90.0f, 1.0f), nullptr);
    int shaded = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inBox = x >= 40 && x < 60 && y >= 10 && y < 50;
            if (!inBox) {
                ASSERT_EQ(kWhite, bevel.At(x, y)) << x << "," << y;
            } else if (bevel.At(x, y) != kWhite) {
                ++shaded;
            }
        }
    EXPECT_GT(shaded, 0);

    // A turned box far longer than the view: only the part in view is drawn.
    ShadowScene band;
    TurnAboutTheBox(band.canvas, 30.0f, 1.0f);
    oxShadowStyle(0, 0xFF000000u, 2, 1.0f, nullptr)
        .Paint(&band.canvas, oxCanvasRect{-1000000000, 0, 2000000000, 20}, nullptr);
    EXPECT_NE(kWhite, band.At(50, 30 - 14)) << "beside the band";
    EXPECT_EQ(kWhite, band.At(50, 30)) << "inside the band";

    // Shrunk to nothing, or nearly: nothing is drawn, and no picture the size of the shrink is made.
    for (float scale : {0.0f, 1e-6f}) {
        ShadowScene gone;
        oxShadowStyle(0, 0xFF000000u, 4, 1.0f, nullptr)
            .Paint(&gone.canvas, TurnAboutTheBox(gone.canvas, 30.0f, scale), nullptr);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 100; ++x)
                ASSERT_EQ(kWhite, gone.At(x, y)) << scale << " at " << x << "," << y;
    }
}

TEST(ShadowStyleTest, BadParametersDrawNothing) {
    struct Case {
        const char* what;
        int32_t radius;
        oxCanvasRect rect;
        void (*setup)(oxCanvas&);
    };
    const Case cases[] = {
        {"radius 0", 0, kBox, [](oxCanvas&) {}},
        {"negative radius", -4, kBox, [](oxCanvas&) {}},
        {"huge radius", 1000000000, kBox, [](oxCanvas&) {}},
        {"empty rectangle", 3, oxCanvasRect{30, 20, 0, 20}, [](oxCanvas&) {}},
        {"negative rectangle", 3, oxCanvasRect{30, 20, 40, -20}, [](oxCanvas&) {}},
        {"empty clip", 3, kBox,
         [](oxCanvas& c) {
             c.IntersectClip(oxCanvasRect{0, 0, 0, 0});
         }},
        {"far away", 3, oxCanvasRect{-100000, 5000000, 40, 20}, [](oxCanvas&) {}},
    };
    for (const Case& k : cases) {
        for (int kind : {0, 1}) {
            TestSurface block(120, 84, 32);
            block.Fill32(kWhite);
            oxPixelBuffer window;
            const RECT inner{10, 10, 110, 74};
            window.InitSubRect(block.buffer, &inner);
            oxCanvas canvas;
            ASSERT_EQ(1, canvas.AttachTarget(window));
            k.setup(canvas);
            oxShadowStyle shadow(kind, 0xFF000000u, k.radius, 1.0f, nullptr);
            const float radii[4] = {4, 4, 4, 4};
            shadow.Paint(&canvas, k.rect, radii);
            shadow.Paint(&canvas, k.rect, nullptr);
            for (int y = 0; y < 84; ++y)
                for (int x = 0; x < 120; ++x)
                    ASSERT_EQ(kWhite, block.buffer.GetRow32(y)[x])
                        << k.what << " kind " << kind << " at " << x << "," << y;
        }
    }
    // A target the blend cannot write.
    TestSurface grey(16, 16, 8);
    oxDropShadow shadow;
    ASSERT_TRUE(shadow.SetRadius(2));
    const RECT r{4, 4, 12, 12};
    EXPECT_FALSE(shadow.DrawOuter(grey.buffer, &r, nullptr));
    EXPECT_TRUE(shadow.DrawOuter(grey.buffer, nullptr, nullptr));
    EXPECT_FALSE(shadow.SetRadius(oxDropShadow::kMaxRadius + 1));
}

// Shadows at radius 2 and 4, one offset; a square bevel and a rounded bevel; both depths.
TEST(ShadowStyleTest, Golden) {
    for (int bpp : {32, 16}) {
        TestSurface surface(120, 48, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        if (bpp == 32) {
            surface.Fill32(kWhite);
        } else {
            surface.Fill16(0xFFFF);
        }
        oxCanvas canvas;
        ASSERT_EQ(1, canvas.AttachTarget(surface.buffer));
        const POINT offset{3, 3};
        oxShadowStyle soft(0, 0xFF000000u, 2, 0.8f, nullptr), offsetShadow(0, 0xFF0000C0u, 4, 0.8f, &offset);
        oxShadowStyle bevel(1, 0xFF000000u, 2, 0.8f, nullptr), rounded(1, 0xFF800000u, 2, 0.9f, nullptr);
        soft.Paint(&canvas, oxCanvasRect{8, 10, 16, 24}, nullptr);
        offsetShadow.Paint(&canvas, oxCanvasRect{40, 8, 20, 24}, nullptr);
        bevel.Paint(&canvas, oxCanvasRect{72, 10, 16, 24}, nullptr);
        const float radii[4] = {6, 6, 6, 6};
        rounded.Paint(&canvas, oxCanvasRect{96, 10, 18, 24}, radii);
        EXPECT_TRUE(MatchesGolden(surface.buffer, bpp == 32 ? "shadows_argb32" : "shadows_rgb565"));
        if (bpp != 32) continue;
        // Over an opaque target no shadow takes alpha below its own colour's (0.8 x 255), the rounded
        // bevel's soft corners included.
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 120; ++x)
                ASSERT_GE(surface.buffer.GetRow32(y)[x] >> 24, 0xCCu) << x << "," << y;
    }
}

} // namespace
