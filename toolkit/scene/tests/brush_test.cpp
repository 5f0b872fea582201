// Brushes and pens defined in markup: their attributes, the gradient colour table and matrix, and a
// scene whose fills and strokes name them (forward references, inline, missing ids), read back as
// computed colours and as pixels at computed points.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/layout.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/scene/brush_element.h"
#include "toolkit/scene/gradient_brush_element.h"
#include "toolkit/scene/markup_loader.h"
#include "toolkit/scene/pen_element.h"
#include "toolkit/scene/tests/file_runtime.h"
#include "toolkit/scene/tests/markup_test_support.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

using namespace markup_test;

namespace {

class BrushTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxBoxPainter::InstallPaintServices();
    }
    oxBox* Load(const std::string& name) {
        uri = Wide(DataPath("paint/" + name + ".box"));
        for (char16_t& c : uri)
            if (c == u'/') c = u'\\';
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        if (!scene->LoadFile(loader)) return nullptr;
        EXPECT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
        oxBox* root = scene->root;
        if (root) ArrangeLayoutRoot(root, 200, 40);
        return root;
    }
    oxBox* Box(const WCHAR* id) { return scene->FindBoxById(oxAtoms::Intern(id)); }
    template <class T> T* Resource(const WCHAR* id) {
        return dynamic_cast<T*>(scene->FindResourceById(oxAtoms::Intern(id), 0));
    }

    FileRuntime runtime;
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

uint32_t Rgb(const TestSurface& s, int x, int y) {
    return s.buffer.GetRow32(y)[x] & 0xFFFFFFu;
}

void ExpectNearColour(uint32_t want, uint32_t got, int tolerance, const char* where) {
    for (int shift = 0; shift < 24; shift += 8)
        EXPECT_NEAR(int((want >> shift) & 0xFF), int((got >> shift) & 0xFF), tolerance)
            << where << std::hex << " want " << want << " got " << got;
}

TEST_F(BrushTest, FillsAndStrokesNameBrushesAndPens) {
    oxBox* root = Load("brushes");
    ASSERT_NE(root, nullptr);
    oxStyleLibrary* library = scene->GetStyleLibrary();

    // Computed values name the elements; their colours come through the references.
    struct Computed {
        const WCHAR* id;
        int property;
        uint32_t argb;
    } computed[] = {
        {u"solid", kStyle_fill, 0xFFFF0000u},
        {u"penned", kStyle_stroke, 0xFF00FF00u},
        {u"inline", kStyle_fill, 0xFFFF0000u},
        {u"missing", kStyle_fill, 0u},
        {u"ramp", kStyle_fill, 0u}, // a gradient has no one colour
    };
    for (const Computed& c : computed) {
        oxBox* box = Box(c.id);
        ASSERT_NE(box, nullptr) << Utf8(c.id);
        oxStyleValue v;
        box->GetStyleValue(c.property, &v);
        EXPECT_EQ(v.GetType(), kStyleUrl) << Utf8(c.id);
        EXPECT_EQ(ResolveColorValue(v, library), c.argb) << Utf8(c.id);
    }

    TestSurface surface(200, 40, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);

    const oxRect solid = Box(u"solid")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, solid.x + 15, 20), 0xFF0000u);
    const oxRect in = Box(u"inline")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, in.x + 10, 20), 0xFF0000u);
    const oxRect missing = Box(u"missing")->GetBoxRect();
    EXPECT_EQ(Rgb(surface, missing.x + 10, 20), 0xFFFFFFu);

    // The ramp lays the table's 256 entries over the box's 40 pixels: the pixel d from the left
    // shows about entry (d + 0.5) x 256 / 40.
    auto* ramp = Resource<oxGradientBrushElement>(u"redToBlue");
    ASSERT_NE(ramp, nullptr);
    const uint32_t* table = ramp->GetTableEntries();
    ASSERT_NE(table, nullptr);
    const oxRect r = Box(u"ramp")->GetBoxRect();
    ASSERT_EQ(r.width, 40);
    for (int d : {0, 10, 20, 39}) {
        const int entry = std::min(255, int((d + 0.5) * 256 / 40));
        ExpectNearColour(table[entry], Rgb(surface, r.x + d, 20), 7, "ramp");
    }
    EXPECT_GT(Rgb(surface, r.x + 1, 20) >> 16, 0xF0u);  // red at the left
    EXPECT_GT(Rgb(surface, r.x + 38, 20) & 0xFF, 0xF0u); // blue at the right

    // The spot spreads from the box's centre: the distance in table entries is the offset over the
    // box's size times 256 on each axis.
    auto* spot = Resource<oxGradientBrushElement>(u"greenSpot");
    ASSERT_NE(spot, nullptr);
    const oxRect s = Box(u"spot")->GetBoxRect();
    const uint32_t* spotTable = spot->GetTableEntries();
    ASSERT_NE(spotTable, nullptr);
    for (int dx : {0, 5, 10, 19}) {
        const float cx = float(s.width) / 2, cy = float(s.height) / 2;
        const float px = float(dx) + 0.5f, py = 0.5f;
        const float ex = (px) * 256.0f / float(s.width), ey = py * 256.0f / float(s.height);
        const int entry = std::min(255, int(std::sqrt(ex * ex + ey * ey)));
        ExpectNearColour(spotTable[entry], Rgb(surface, s.x + int(cx) + dx, s.y + int(cy)), 8, "spot");
    }

    // The pen strokes 4 px of green centred on the box's outermost pixels, x + 0.5: from 1.5 outside
    // to 2.5 inside, so the pixels at 2 either way are half green over white.
    const oxRect p = Box(u"penned")->GetBoxRect();
    // Covered pixels keep a trace of white (2 of 255) from the rasteriser's coverage rounding.
    for (int dx : {-1, 0, 1})
        ExpectNearColour(0x00FF00u, Rgb(surface, p.x + dx, 20), 3, "covered");
    ExpectNearColour(0x00FF00u, Rgb(surface, p.x + 15, 1), 3, "top");
    for (int dx : {-2, 2})
        ExpectNearColour(0x80FF80u, Rgb(surface, p.x + dx, 20), 10, "half covered");
    for (int dx : {-3, 3, 15})
        EXPECT_EQ(Rgb(surface, p.x + dx, 20), 0xFFFFFFu) << dx;
}

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
    EXPECT_EQ(table[0], 0x80800000u);
    // One stop alone fills the table with its colour as given.
    auto middle = stop(0x80FF0000u, u"50");
    const oxGradientStopElement* one[] = {middle.get()};
    oxGradientBrushElement::FillColorTable(table, one, 1);
    for (uint32_t entry : table)
        ASSERT_EQ(entry, 0x80FF0000u);
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
