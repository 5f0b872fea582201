#include "toolkit/style/color_transform.h"

#include <gtest/gtest.h>

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
