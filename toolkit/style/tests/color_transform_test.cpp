#include "toolkit/style/color_transform.h"

#include <gtest/gtest.h>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"

#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

// The colour members colorAdd .. flip of one box.
struct ColorMembers {
    oxStyleValue v[kStyle_flip - kStyle_colorAdd + 1];
    oxStyleValue& operator[](int id) { return v[id - kStyle_colorAdd]; }
};

uint32_t Transform(ColorMembers& m, uint32_t pixel) {
    oxColorTransform t(nullptr, m.v);
    return t.TransformPixel(pixel);
}

} // namespace

TEST(ColorTransform, IdentityLeavesPixelsAlone) {
    oxColorTransform t;
    for (uint32_t p : {0xFF000000u, 0x80FF7F01u, 0xFFFFFFFFu, 0x00000000u})
        EXPECT_EQ(t.TransformPixel(p), p == 0 ? 0u : p);
    ColorMembers none;
    EXPECT_EQ(Transform(none, 0xFF123456), 0xFF123456u);
}

TEST(ColorTransform, ScalesAndOffsetsWorkedByHand) {
    ColorMembers scaleR;
    scaleR[kStyle_colorScaleR] = oxStyleValue(50, kStyleNumber);
    EXPECT_EQ(Transform(scaleR, 0xFFC80000), 0xFF640000u); // red 200 -> 100

    ColorMembers add;
    add[kStyle_colorAdd] = oxStyleValue::Color(0x00100000); // red + 0x10
    EXPECT_EQ(Transform(add, 0xFFFA0000), 0xFFFF0000u);     // 250 -> 255
    EXPECT_EQ(Transform(add, 0xFF000000), 0xFF100000u);     // 0 -> 16

    ColorMembers subtract;
    subtract[kStyle_colorSubtract] = oxStyleValue::Color(0x00200000);
    EXPECT_EQ(Transform(subtract, 0xFF0A0000), 0xFF000000u); // 10 -> 0
    EXPECT_EQ(Transform(subtract, 0xFF300000), 0xFF100000u);

    // Scale 150% of green 100 with blue offset -0x40 on blue 0x50: 150 and 0x10.
    ColorMembers both;
    both[kStyle_colorScaleG] = oxStyleValue(150, kStylePercent);
    both[kStyle_colorSubtract] = oxStyleValue::Color(0x00000040);
    EXPECT_EQ(Transform(both, 0xFF006450), 0xFF009610u);
}

TEST(ColorTransform, AlphaCapsTheColourChannels) {
    ColorMembers m;
    m[kStyle_colorScaleA] = oxStyleValue(50, kStyleNumber);
    // alpha 255 -> 127; the colour channels are capped at (0x8000 * 255) >> 16 = 127.
    EXPECT_EQ(Transform(m, 0xFFFF8040), 0x7F7F7F40u);
    ColorMembers zero;
    zero[kStyle_colorScaleA] = oxStyleValue(0, kStyleNumber);
    EXPECT_EQ(Transform(zero, 0xFFFFFFFF), 0x00000000u);
}

TEST(ColorTransform, SaturationZeroGivesGray) {
    ColorMembers m;
    m[kStyle_colorSaturation] = oxStyleValue(0, kStyleNumber);
    // gray = trunc(0.3 * 200 + 0.59 * 100 + 0.11 * 50) = trunc(124.5) = 124
    EXPECT_EQ(Transform(m, 0xFFC86432), 0xFF7C7C7Cu);
    oxColorTransform t(nullptr, m.v);
    for (uint32_t p : {0xFF102030u, 0xFFFFFF00u, 0x80FF0000u}) {
        uint32_t out = t.TransformPixel(p);
        EXPECT_EQ((out >> 16) & 0xFF, (out >> 8) & 0xFF);
        EXPECT_EQ((out >> 8) & 0xFF, out & 0xFF);
    }
    // 200% of (200, 100, 50): k = -124; 400-124 = 276 -> capped 255, 200-124 = 76, 100-124 -> 0.
    ColorMembers vivid;
    vivid[kStyle_colorSaturation] = oxStyleValue(200, kStyleNumber);
    EXPECT_EQ(Transform(vivid, 0xFFC86432), 0xFFFF4C00u);
}

TEST(ColorTransform, ComposeCopyAndHugeValues) {
    ColorMembers half;
    half[kStyle_colorScaleR] = oxStyleValue(50, kStyleNumber);
    half[kStyle_colorAdd] = oxStyleValue::Color(0x00000010);
    half[kStyle_colorSaturation] = oxStyleValue(50, kStyleNumber);
    oxColorTransform a(nullptr, half.v), b(nullptr, half.v);
    a.Compose(&b);
    EXPECT_EQ(a.GetScale(oxColorTransform::kRed), 0x4000);
    EXPECT_EQ(a.GetOffset(oxColorTransform::kBlue), 0x20);
    EXPECT_FLOAT_EQ(a.GetSaturation(), 0.25f);
    EXPECT_TRUE(a.IsDirty());
    a.Compose(nullptr);

    oxColorTransform c;
    c.CopyFrom(&a);
    EXPECT_EQ(c.GetScale(oxColorTransform::kRed), 0x4000);
    c.CopyFrom(nullptr);
    EXPECT_EQ(c.GetScale(oxColorTransform::kRed), 0x10000);
    EXPECT_TRUE(c.IsDirty());

    // Scales far beyond 32 bits of product saturate at 255 instead of wrapping round to dark.
    ColorMembers huge;
    huge[kStyle_colorScaleR] = oxStyleValue(2000000000, kStyleNumber);
    EXPECT_EQ(Transform(huge, 0xFF010000), 0xFFFF0000u);
    ColorMembers negative;
    negative[kStyle_colorScaleR] = oxStyleValue(-100, kStyleNumber);
    EXPECT_EQ(Transform(negative, 0xFFFF0000), 0xFF000000u);
}

// An image drawn on a canvas through the transform gets each pixel as TransformPixel gives it, and
// pushed transforms compose: two colorScaleR 50 halve red twice.
TEST(ColorTransform, AppliedToCanvasImagesAndNested) {
    oxDibBitmap image(2, 2, 32, true, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            image.pixels.GetRow32(y)[x] = 0xFFC86432u;
    ColorMembers half;
    half[kStyle_colorScaleR] = oxStyleValue(50, kStyleNumber);
    ColorMembers gray;
    gray[kStyle_colorSaturation] = oxStyleValue(0, kStyleNumber);

    oxCanvas canvas(8, 8);
    const oxCanvasRect dest{0, 0, 8, 8};
    canvas.PushColorTransform(new oxColorTransform(nullptr, half.v));
    ASSERT_EQ(1, canvas.DrawImage(&image, &dest, nullptr));
    EXPECT_EQ(0xFF646432u, canvas.Target().GetRow32(3)[3]);
    canvas.PushColorTransform(new oxColorTransform(nullptr, half.v));
    EXPECT_EQ(0xFF326432u, canvas.ApplyColorTransform(0xFFC86432u));
    ASSERT_EQ(1, canvas.DrawImage(&image, &dest, nullptr));
    EXPECT_EQ(0xFF326432u, canvas.Target().GetRow32(3)[3]);
    canvas.PopColorTransform();
    canvas.PushColorTransform(new oxColorTransform(nullptr, gray.v));
    ASSERT_EQ(1, canvas.DrawImage(&image, &dest, nullptr));
    // The texture road greys first and then runs the tables, so the halved red stays half the grey.
    const uint32_t p = canvas.Target().GetRow32(3)[3];
    EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF);
    EXPECT_NEAR(double((p >> 8) & 0xFF) / 2, double((p >> 16) & 0xFF), 1.0);
    canvas.PopColorTransform();
    canvas.PopColorTransform();
    // Taken off again: the image comes out as it is.
    ASSERT_EQ(1, canvas.DrawImage(&image, &dest, nullptr));
    EXPECT_EQ(0xFFC86432u, canvas.Target().GetRow32(3)[3]);
}
