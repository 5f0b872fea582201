#include "toolkit/paint/box_painter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"

namespace {

// Elements by the first letter of a reference: "g" a vertical gradient, "b" a picture that could
// not be decoded, "s" a solid brush; anything else names nothing.
class Elements : public oxPaintResolver {
public:
    class Gradient : public oxPaintElement {
    public:
        Gradient() : ramp(256, 1, 32, true, false) {}
        Kind GetPaintKind() const override { return kLinearGradientBrush; }
        bool GetGradient(const oxCanvasRect& rect, oxGradientFill* out) override {
            const uint32_t stops[2] = {0xFFFFC000u, 0xFF2040C0u};
            return BuildLinearGradient(&ramp, stops, 2, rect, 0, 0, 0, 1, out);
        }
        oxDibBitmap ramp;
    };
    class Broken : public oxPaintElement {
    public:
        Kind GetPaintKind() const override { return kImage; }
    };
    class Solid : public oxPaintElement {
    public:
        Solid() : group(static_cast<oxFillGroup*>(CreateStyleGroup(6))) {
            group->SetMember(kStyle_fill, oxStyleValue::Color(0xFF00FF00u));
        }
        Kind GetPaintKind() const override { return kSolidBrush; }
        oxFillGroup* GetFillGroup() override { return group.get(); }
        std::unique_ptr<oxFillGroup> group;
    };

    oxPaintElement* Resolve(oxBoxScene*, const oxStyleValue& value) override {
        const WCHAR* text = value.GetText();
        if (!text) return nullptr;
        switch (text[0]) {
        case u'g':
            return &gradient;
        case u'b':
            return &broken;
        case u's':
            return &solid;
        default:
            return nullptr;
        }
    }
    Gradient gradient;
    Broken broken;
    Solid solid;
};

struct StyleRef {
    oxBoxStyle* style = new oxBoxStyle(nullptr, false, nullptr);
    ~StyleRef() { style->Release(); }
    void Set(int id, const oxStyleValue& v) { style->SetProperty(id, v); }
};

oxStyleValue Int(int v) {
    return oxStyleValue(v, kStyleInteger);
}

class BoxPainterTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxBoxPainter::SetResolver(&elements);
        oxBoxPainter::ResetReports();
    }
    void TearDown() override { oxBoxPainter::SetResolver(nullptr); }
    Elements elements;
};

} // namespace

TEST_F(BoxPainterTest, StrokeMasks) {
    struct Case {
        oxStyleValue value;
        uint32_t mask;
    };
    const Case cases[] = {
        {oxStyleValue::Keyword(kKeywordDotted), 0xAAAAAAAAu},
        {oxStyleValue::Keyword(kKeywordMediumDotted), 0xCCCCCCCCu},
        {oxStyleValue::Keyword(kKeywordLargeDotted), 0xF0F0F0F0u},
        {oxStyleValue::Keyword(kKeywordDotDash), 0x18FF18FFu},
        {oxStyleValue::Keyword(kKeywordSolid), 0xFFFFFFFFu},
        {oxStyleValue(), 0xFFFFFFFFu},
        {oxStyleValue::Color(0x0F0F00FFu), 0x0F0F00FFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mask, oxBoxPainter::StrokeMask(c.value));
}

// A fill that names a missing or broken picture paints nothing, the stroke still paints, and each
// picture is reported once however often the box repaints.
TEST_F(BoxPainterTest, MissingPicturePaintsTheRestAndReportsOnce) {
    for (const char16_t* reference : {u"missing.png", u"broken.png"}) {
        StyleRef s;
        s.Set(kStyle_fill, oxStyleValue(reference, kStyleUrl));
        s.Set(kStyle_stroke, oxStyleValue::Color(0xFF000000u));
        s.Set(kStyle_strokeWidth, Int(1));
        TestSurface surface(20, 20, 32);
        surface.Fill32(0xFFFFFFFFu);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        testing::internal::CaptureStderr();
        for (int i = 0; i < 3; ++i) {
            oxBoxPainter::PaintBoxFill(&canvas, nullptr, {2, 2, 16, 16}, s.style);
            oxBoxPainter::PaintBoxStroke(&canvas, nullptr, {2, 2, 16, 16}, s.style);
        }
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string name = reference[0] == u'm' ? "missing.png" : "broken.png";
        EXPECT_EQ(err.find(name), err.rfind(name)) << err;
        EXPECT_NE(std::string::npos, err.find(name)) << err;
        EXPECT_EQ(0xFF000000u, surface.buffer.GetRow32(2)[8]);  // the stroke's top row
        EXPECT_EQ(0xFFFFFFFFu, surface.buffer.GetRow32(8)[8]);  // no fill inside
        EXPECT_EQ(0xFF000000u, surface.buffer.GetRow32(8)[17]); // the outermost column
    }
}

// The centre line of a stroke runs through the box's outermost pixel rows and columns on all four
// sides alike: across each side the ink adds up to the width, the outermost pixel is fully inked,
// nothing reaches past half the width outside, and the right and bottom sides mirror the left and
// top ones. Rounded corners put collinear points on every side, which once pushed the right and
// bottom sides a pixel out and the left one a pixel in.
TEST_F(BoxPainterTest, StrokeSitsOnTheOutermostPixelsOfEverySide) {
    const oxCanvasRect box{10, 8, 31, 24};
    for (bool fourSides : {false, true})
        for (int width : {1, 2, 3, 4})
            for (int radius : {0, 5, 6}) {
                StyleRef s;
                if (fourSides) {
                    oxStyleRectValue sides;
                    for (oxStyleValue& side : sides.sides)
                        side = oxStyleValue::Color(0xFF000000u);
                    s.Set(kStyle_stroke, oxStyleValue(sides));
                } else {
                    s.Set(kStyle_stroke, oxStyleValue::Color(0xFF000000u));
                }
                s.Set(kStyle_strokeWidth, Int(width));
                for (int id = kStyle_strokeCornerRadiusTop; id <= kStyle_strokeCornerRadiusLeft; ++id)
                    s.Set(id, Int(radius));
                TestSurface surface(box.x * 2 + box.width, box.y * 2 + box.height, 32);
                surface.Fill32(0xFFFFFFFFu);
                oxCanvas canvas;
                canvas.AttachTarget(surface.buffer);
                oxBoxPainter::PaintBoxStroke(&canvas, nullptr, box, s.style);
                const auto ink = [&](int x, int y) { return 255 - int(surface.buffer.GetRow32(y)[x] & 0xFF); };
                // Ink at depth d into the box from each side's outermost pixel (d < 0 is outside).
                const int midX = box.x + box.width / 2, midY = box.y + box.height / 2;
                const auto left = [&](int d) { return ink(box.x + d, midY); };
                const auto right = [&](int d) { return ink(box.x + box.width - 1 - d, midY); };
                const auto top = [&](int d) { return ink(midX, box.y + d); };
                const auto bottom = [&](int d) { return ink(midX, box.y + box.height - 1 - d); };
                const std::string where = std::string(fourSides ? "sides" : "colour") + " width " +
                                          std::to_string(width) + " radius " + std::to_string(radius);
                for (const auto& side : {std::function<int(int)>(left), std::function<int(int)>(right),
                                         std::function<int(int)>(top), std::function<int(int)>(bottom)}) {
                    int sum = 0;
                    for (int d = -width; d <= width; ++d)
                        sum += side(d);
                    // A partly covered pixel comes out up to 11 levels light, and a side has two.
                    EXPECT_NEAR(width * 255, sum, 24) << where;
                    EXPECT_GE(side(0), 250) << where;
                    EXPECT_EQ(0, side(-width / 2 - 1)) << where;
                }
                for (int d = -width; d <= width; ++d) {
                    EXPECT_NEAR(left(d), right(d), 4) << where << " depth " << d;
                    EXPECT_NEAR(top(d), bottom(d), 4) << where << " depth " << d;
                }
            }
}

// Four sides of which only top and bottom are set get no corner radii: the top line reaches the
// box's left edge at full coverage.
TEST_F(BoxPainterTest, FourSidesTakeCornersOnlyWhereBothSidesAreSet) {
    for (bool left : {false, true}) {
        StyleRef s;
        oxStyleRectValue sides;
        sides.sides[0] = oxStyleValue::Color(0xFF000000u);
        sides.sides[2] = oxStyleValue::Color(0xFF000000u);
        if (left) sides.sides[3] = oxStyleValue::Color(0xFF000000u);
        s.Set(kStyle_stroke, oxStyleValue(sides));
        s.Set(kStyle_strokeWidth, Int(2));
        for (int id = kStyle_strokeCornerRadiusTop; id <= kStyle_strokeCornerRadiusLeft; ++id)
            s.Set(id, Int(8));
        TestSurface surface(40, 30, 32);
        surface.Fill32(0xFFFFFFFFu);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        oxBoxPainter::PaintBoxStroke(&canvas, nullptr, {4, 4, 30, 20}, s.style);
        // With the left side set the top-left corner is round, so its very corner stays light.
        EXPECT_EQ(!left, (surface.buffer.GetRow32(4)[4] & 0xFF) < 0x40) << left;
    }
}

// Two solid fills of the same corners at progress 0.25 mix into one fill a quarter of the way.
TEST_F(BoxPainterTest, CrossFadeOfTwoSolidsMixes) {
    StyleRef s;
    oxBoxFillValuePainter painter(nullptr, s.style);
    oxFillCrossFade fade;
    fade.SetFromValue(oxStyleValue::Color(0xFF000000u));
    fade.SetToValue(oxStyleValue(u"solid", kStyleUrl));
    fade.progress = 0.25f;
    TestSurface surface(8, 8, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    fade.Paint(&canvas, &painter, {0, 0, 8, 8});
    const uint32_t green = (surface.buffer.GetRow32(4)[4] >> 8) & 0xFF;
    EXPECT_NEAR(0x40, int(green), 2);
}

// A rounded box's shadow reaches under the corners its fill leaves open: the corner pixel outside
// the arc is as dark as the shadow beside the box, not the background.
TEST_F(BoxPainterTest, AShadowShowsInTheCornersARoundedFillLeavesOpen) {
    TestSurface surface(80, 60, 32, kLayoutUnspecified);
    surface.Fill32(0xFFFFFFFFu);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    StyleRef box;
    box.Set(kStyle_fill, oxStyleValue::Color(0xFF2F6FC8u));
    for (int id = kStyle_fillCornerRadiusTop; id <= kStyle_fillCornerRadiusLeft; ++id)
        box.Set(id, Int(12));
    box.Set(kStyle_shadowColor, oxStyleValue::Color(0xFF203048u));
    box.Set(kStyle_shadowRadius, Int(6));
    box.Set(kStyle_shadowOpacity, Int(40));
    box.Set(kStyle_shadowTop, Int(3));
    const oxCanvasRect r{10, 10, 60, 36};
    oxBoxPainter::PaintBoxShadow(&canvas, r, box.style);
    oxBoxPainter::PaintBoxFill(&canvas, nullptr, r, box.style);
    auto at = [&](int x, int y) { return surface.buffer.GetRow32(y)[x] & 0xFFFFFF; };
    // The bottom-right corner pixel (69, 45) lies 12.7 from its arc's centre (58, 34): open. Beside
    // the box, one pixel right, the shadow's colour there.
    EXPECT_NE(at(69, 45), 0xFFFFFFu);
    for (int c = 0; c < 24; c += 8)
        EXPECT_NEAR(int((at(69, 45) >> c) & 0xFF), int((at(70, 45) >> c) & 0xFF), 8) << c;
    EXPECT_EQ(at(40, 28), 0x2F6FC8u) << "the fill over the middle";
}

// A box's fill fading from a rounded colour to a gradient, and a box painted whole from its style:
// gradient fill with corners, a dotted border and a shadow.
TEST_F(BoxPainterTest, CrossFadeAndStyledBox) {
    for (int bpp : {32, 16}) {
        TestSurface surface(120, 48, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        if (bpp == 32)
            surface.Fill32(0xFFFFFFFFu);
        else
            surface.Fill16(0xFFFF);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        StyleRef s;
        for (int id = kStyle_fillCornerRadiusTop; id <= kStyle_fillCornerRadiusLeft; ++id)
            s.Set(id, Int(8));
        oxBoxFillValuePainter painter(nullptr, s.style);
        int x = 4;
        for (float progress : {0.3f, 0.7f}) {
            oxFillCrossFade fade;
            fade.SetFromValue(oxStyleValue::Color(0xFFD02040u));
            fade.SetToValue(oxStyleValue(u"grad", kStyleUrl));
            fade.progress = progress;
            fade.Paint(&canvas, &painter, {x, 4, 32, 40});
            x += 38;
        }
        StyleRef box;
        box.Set(kStyle_fill, oxStyleValue(u"grad", kStyleUrl));
        for (int id = kStyle_fillCornerRadiusTop; id <= kStyle_fillCornerRadiusLeft; ++id)
            box.Set(id, Int(id == kStyle_fillCornerRadiusTop ? 10 : 2));
        box.Set(kStyle_stroke, oxStyleValue::Color(0xFF000000u));
        box.Set(kStyle_strokeWidth, Int(1));
        box.Set(kStyle_strokePattern, oxStyleValue::Keyword(kKeywordDotted));
        box.Set(kStyle_shadowColor, oxStyleValue::Color(0xFF000000u));
        box.Set(kStyle_shadowRadius, Int(2));
        box.Set(kStyle_shadowOpacity, Int(50));
        const oxCanvasRect r{82, 6, 30, 34};
        oxBoxPainter::PaintBoxShadow(&canvas, r, box.style);
        oxBoxPainter::PaintBoxFill(&canvas, nullptr, r, box.style);
        oxBoxPainter::PaintBoxStroke(&canvas, nullptr, r, box.style);
        EXPECT_TRUE(MatchesGolden(surface.buffer, bpp == 32 ? "box_cross_fade_argb32" : "box_cross_fade_rgb565", 2));
    }
}
