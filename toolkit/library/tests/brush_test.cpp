// Brushes and pens: their markup attributes as style values, the gradient colour table and matrix.
// A scene painting with them is in box_paint_scene_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "toolkit/base/atoms.h"
#include "toolkit/library/brush_element.h"
#include "toolkit/library/gradient_brush_element.h"
#include "toolkit/library/pen_element.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

class BrushTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
};

TEST_F(BrushTest, AttributesBecomeStyleValues) {
    oxSolidBrushElement brush(kAtomSolidBrush, nullptr);
    EXPECT_EQ(brush.GetColorValue(), nullptr);
    brush.SetMarkupAttribute(kAtomResourceNamespace, kAtomFill, u"#102030");
    brush.SetMarkupAttribute(kAtomResourceNamespace, kAtomCornerRadius, u"6");
    ASSERT_NE(brush.GetFillGroup(), nullptr);
    EXPECT_EQ(brush.GetColorValue()->GetColor(), 0xFF102030u);
    for (int id = kStyle_fillCornerRadiusTop; id <= kStyle_fillCornerRadiusLeft; ++id)
        EXPECT_EQ(brush.GetFillGroup()->Member(id)->GetInt(), 6);
    EXPECT_EQ(brush.SetMarkupAttribute(kAtomResourceNamespace, kAtomWidth, u"3"), kElementNotHandled);

    oxPenElement pen(kAtomPen, nullptr);
    pen.SetMarkupAttribute(kAtomResourceNamespace, kAtomColor, u"#00ff00");
    pen.SetMarkupAttribute(kAtomResourceNamespace, kAtomWidth, u"4");
    pen.SetMarkupAttribute(kAtomResourceNamespace, kAtomPattern, u"dotted");
    const oxStyleGroup* stroke = pen.GetStrokeGroup();
    ASSERT_NE(stroke, nullptr);
    EXPECT_EQ(stroke->Member(kStyle_stroke)->GetColor(), 0xFF00FF00u);
    EXPECT_EQ(stroke->Member(kStyle_strokeWidth)->GetInt(), 4);
    EXPECT_EQ(stroke->Member(kStyle_strokePattern)->GetType(), kStyleKeyword);
    EXPECT_EQ(stroke->Member(kStyle_strokePattern)->GetValue(), StyleKeywordIdFromName(u"dotted"));
    pen.SetMarkupAttribute(kAtomResourceNamespace, kAtomPattern, u"#ff00ff00");
    EXPECT_EQ(stroke->Member(kStyle_strokePattern)->GetType(), kStyleColor);

    oxReliefPenElement relief(kAtomReliefPen, nullptr);
    EXPECT_EQ(relief.GetHighlightColor(), 0xFFFFFFFFu);
    EXPECT_EQ(relief.GetShadowColor(), 0xFF000000u);
    EXPECT_EQ(relief.GetWidth(), 1);
    relief.SetMarkupAttribute(kAtomResourceNamespace, kAtomShadowColor, u"#808080");
    relief.SetMarkupAttribute(kAtomResourceNamespace, kAtomWidth, u"3");
    EXPECT_EQ(relief.GetShadowColor(), 0xFF808080u);
    EXPECT_EQ(relief.GetWidth(), 3);
}

TEST_F(BrushTest, ColourTableFromStops) {
    auto stop = [](uint32_t color, const WCHAR* offset) {
        auto s = std::make_unique<oxGradientStopElement>();
        s->SetMarkupAttribute(kAtomResourceNamespace, kAtomColor, nullptr);
        s->color = color;
        s->SetMarkupAttribute(kAtomResourceNamespace, kAtomOffset, offset);
        return s;
    };
    // Offsets clamp to 0 ... 65536.
    EXPECT_EQ(stop(0, u"150")->offset, 65536);
    EXPECT_EQ(stop(0, u"-5")->offset, 0);
    EXPECT_EQ(stop(0, u"50")->offset, 32768);

    uint32_t table[256];
    // Red to blue: each end as given, premultiplied blends between.
    auto red = stop(0xFFFF0000u, u"0"), blue = stop(0xFF0000FFu, u"100");
    const oxGradientStopElement* two[] = {red.get(), blue.get()};
    oxGradientBrushElement::FillColorTable(table, two, 2);
    EXPECT_EQ(table[0], 0xFFFF0000u);
    EXPECT_EQ(table[255], 0xFF0000FFu);
    EXPECT_EQ(table[128], 0xFF80007Fu); // w = 256 x 128 / 255 = 128
    // Half-transparent stops are premultiplied.
    auto clearRed = stop(0x80FF0000u, u"0"), clearBlue = stop(0x800000FFu, u"100");
    const oxGradientStopElement* clear[] = {clearRed.get(), clearBlue.get()};
    oxGradientBrushElement::FillColorTable(table, clear, 2);
    EXPECT_EQ(table[0], 0x80800000u); // 255 x (128 + 1) / 256 = 128
    // One stop alone fills the table with its colour (premultiplied).
    auto middle = stop(0x80FF0000u, u"50");
    const oxGradientStopElement* one[] = {middle.get()};
    oxGradientBrushElement::FillColorTable(table, one, 1);
    for (uint32_t entry : table)
        ASSERT_EQ(entry, 0x80800000u);
    // Stops inside the range: the first colour before the first stop, the last after the last.
    auto a = stop(0xFFFF0000u, u"25"), b = stop(0xFF0000FFu, u"75");
    const oxGradientStopElement* inner[] = {a.get(), b.get()};
    oxGradientBrushElement::FillColorTable(table, inner, 2);
    EXPECT_EQ(table[0], 0xFFFF0000u);
    EXPECT_EQ(table[63], 0xFFFF0000u);
    EXPECT_EQ(table[191], 0xFF0000FFu);
    EXPECT_EQ(table[255], 0xFF0000FFu);
    oxGradientBrushElement::FillColorTable(table, nullptr, 0);
    EXPECT_EQ(table[17], 0u);
}

// The matrix lays a 256 x 1 table over the rectangle; a linear brush has no focus, and a quarter
// turn about the centre lands on whole pixels.
TEST_F(BrushTest, GradientMatrixLaysTheTableOverTheRectangle) {
    auto map = [](const oxMatrix& m, float u, float v) {
        float p[3] = {u, v, 0};
        m.TransformVector(p, true);
        return std::pair<float, float>{p[0], p[1]};
    };
    oxGradientBrushElement linear(kAtomLinearGradientBrush, nullptr);
    linear.SetMarkupAttribute(kAtomResourceNamespace, kAtomFocus, u"50 50");
    oxMatrix m;
    linear.GetGradientMatrix(&m, 256, 1, {10, 20, 40, 30});
    EXPECT_EQ(map(m, 0, 0), (std::pair<float, float>{10, 20}));
    EXPECT_EQ(map(m, 256, 1), (std::pair<float, float>{50, 50}));

    oxGradientBrushElement radial(kAtomRadialGradientBrush, nullptr);
    radial.SetMarkupAttribute(kAtomResourceNamespace, kAtomFocus, u"50 25");
    radial.GetGradientMatrix(&m, 256, 1, {10, 20, 40, 30});
    EXPECT_EQ(map(m, 0, 0), (std::pair<float, float>{30, 27.5f}));

    oxElement* turn = nullptr;
    ASSERT_EQ(linear.CreateChildElement(kAtomResourceNamespace, kAtomRotateTransform, &turn), 0);
    turn->SetMarkupAttribute(kAtomResourceNamespace, kAtomAngle, u"90");
    linear.GetGradientMatrix(&m, 256, 1, {10, 20, 40, 30});
    for (int i = 9; i < 12; ++i)
        EXPECT_EQ(m.m[i], std::round(m.m[i]));
    oxElement* other = nullptr;
    EXPECT_EQ(linear.CreateChildElement(kAtomResourceNamespace, kAtomPen, &other), kElementNotHandled);
    EXPECT_EQ(other, nullptr);
}

} // namespace
