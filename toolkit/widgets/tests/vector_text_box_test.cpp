// Vector text boxes whose font is a `vectorFont` resource of their scene: measured lines, the text
// shown upright, turned and fading through the box painter, and a family that names no font.
#include "toolkit/widgets/vector_text_box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "graphics/text/font.h"
#include "toolkit/core/layout.h"
#include "toolkit/library/vector_font_element.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/widgets/tests/resource_scene.h"

namespace {

std::string FontFile() {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/../../../../graphics/tests/data/dejavu_sans.tfbp",
                     std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where the ink of a white-backed surface lies: its amount and its centre.
struct Ink {
    double amount = 0, x = 0, y = 0;
};
Ink InkOf(const oxPixelBuffer& b) {
    Ink ink;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            const uint32_t p = b.GetRow32(y)[x];
            const double d = (765.0 - (p >> 16 & 255) - (p >> 8 & 255) - (p & 255)) / 765.0;
            ink.amount += d, ink.x += d * x, ink.y += d * y;
        }
    if (ink.amount > 0) ink.x /= ink.amount, ink.y /= ink.amount;
    return ink;
}

class VectorTextBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxRegisterTextBoxKinds();
        oxBoxPainter::InstallPaintServices();
        ASSERT_TRUE(resources.Ok());
        resources.Write("fonts/sans.tfbp", FontFile());
        resources.Write("fonts/cut.tfbp", FontFile().substr(0, 1000));
        resources.Write("scenes/main.box", "<scene/>");
        scene = std::make_unique<widgets_test::ResourceScene>(resources.BoxUri("scenes/main.box").c_str());
        element = AddFont(u"sans", u"../fonts/sans.tfbp");
    }
    void TearDown() override {
        for (oxBox* b : boxes)
            b->Release();
        boxes.clear();
        scene.reset();
    }
    oxVectorFontElement* AddFont(const char16_t* id, const char16_t* src) {
        auto* font = new oxVectorFontElement(kAtomVectorFont, scene.get());
        font->SetId(oxAtoms::Intern(id));
        font->SetRegisterAtEnd();
        result = font->SetMarkupAttribute(0, kAtomSrc, src);
        font->EndElement();
        return font;
    }
    oxVectorTextBox* Make(const char16_t* value, const char16_t* family = u"sans", const char16_t* size = u"20") {
        auto* box = dynamic_cast<oxVectorTextBox*>(scene->CreateBox(kAtomBoxNamespace, kAtomVectorText));
        EXPECT_NE(box, nullptr);
        if (!box) return nullptr;
        boxes.push_back(box);
        box->SetStyle(u"fontFamily", family);
        box->SetStyle(u"fontSize", size);
        box->SetStyle(u"textColor", u"#000000");
        box->SetValue(value);
        return box;
    }
    // Lays the box out alone and paints it through the box painter on white.
    Ink Paint(oxBox* box, int bpp = 32, int width = 100) {
        ArrangeLayoutRoot(box, width, 100);
        TestSurface surface(100, 100, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        if (bpp == 32)
            surface.Fill32(0xFFFFFFFFu);
        else
            surface.Fill16(0xFFFF);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        box->Paint(&canvas);
        if (bpp == 16) {
            Ink ink;
            for (int y = 0; y < 100; ++y)
                for (int x = 0; x < 100; ++x)
                    ink.amount += (0xFFFF - surface.buffer.GetRow16(y)[x]) != 0;
            return ink;
        }
        return InkOf(surface.buffer);
    }

    int32_t result = -1;
    markup_test::TempResources resources;
    std::unique_ptr<widgets_test::ResourceScene> scene;
    oxVectorFontElement* element = nullptr;
    std::vector<oxBox*> boxes;
};

TEST_F(VectorTextBoxTest, FontElementLoadsItsFileOrReportsTheAttribute) {
    ASSERT_EQ(result, 0);
    ASSERT_TRUE(element->GetFont());
    EXPECT_STREQ(element->GetFont()->GetFaceName(), "DejaVu Sans");
    EXPECT_STREQ(element->GetFont()->Alias(), "");
    for (const char16_t* src : {u"../fonts/cut.tfbp", u"../fonts/missing.tfbp", u"../../../outside.tfbp"}) {
        oxVectorFontElement* bad = AddFont(u"bad", src);
        EXPECT_EQ(result, int32_t(0x80000001)) << std::string(src, src + 5);
        EXPECT_EQ(bad->GetFont(), nullptr);
    }
}

TEST_F(VectorTextBoxTest, LinesAreAnEighthTallerThanTheFontRoundedUp) {
    struct Case {
        float size;
        int32_t height;
    };
    for (const Case& c : {Case{20, 23}, Case{4, 5}, Case{12, 14}, Case{14, 16}, Case{26, 29}})
        EXPECT_EQ(oxVectorTextBox::LineHeight(c.size), c.height) << c.size;
}

TEST_F(VectorTextBoxTest, MeasuresItsValueWithTheElementsFont) {
    oxVectorTextBox* box = Make(u"Ag");
    const oxPoint size = box->GetIntrinsicSize();
    ASSERT_EQ(box->GetVectorFont(), element->GetFont());
    oxFont* font = element->GetFont();
    const float ems = (font->GetGlyph('A')->Advance()[0] + font->GetGlyph('g')->Advance()[0]) / 2048.0f;
    EXPECT_EQ(size.x, int32_t(20 * ems));
    // Twice the font's extent around the baseline, and that extent once more.
    const float extent = 20 * font->GetVerticalMetric3() / 2048.0f;
    EXPECT_EQ(size.y, int32_t(float(int32_t(extent) - int32_t(-extent)) + extent));
    // Centred text without wrapping measures as left-aligned text.
    box->SetAttribute(kAtomJustify, u"center", true, false);
    EXPECT_EQ(box->Measure(u"Ag", -1, 20, nullptr, false).x, size.x);
    // Wrapped at the width of one word: two lines, one line advance apart.
    const oxRect narrow{0, 0, size.x + 2, 0};
    const oxPoint two = box->Measure(u"Ag Ag", -1, 20, &narrow, true);
    EXPECT_EQ(two.y, size.y + oxVectorTextBox::LineHeight(20));
}

TEST_F(VectorTextBoxTest, ShowsItsTextUprightTurnedAndFading) {
    const Ink upright = Paint(Make(u"Ag"));
    EXPECT_GT(upright.amount, 40);
    // Turned a quarter about its centre: the ink keeps its amount and its centre turns with it.
    oxVectorTextBox* turned = Make(u"Ag");
    turned->SetStyle(u"rotation", u"90");
    const Ink t = Paint(turned);
    EXPECT_NEAR(t.amount, upright.amount, upright.amount * 0.15);
    const oxRect r = turned->GetBoxRect();
    const double cx = r.x + r.width / 2.0, cy = r.y + r.height / 2.0;
    const double dx = upright.x - cx, dy = upright.y - cy;
    // Either sense of turn is a turn; the upright centre maps to one of the two.
    const bool cw = std::hypot(t.x - (cx - dy), t.y - (cy + dx)) < 2.0;
    const bool ccw = std::hypot(t.x - (cx + dy), t.y - (cy - dx)) < 2.0;
    EXPECT_TRUE(cw || ccw) << t.x << "," << t.y << " from " << upright.x << "," << upright.y;
    // Fading to half: about half the ink, in the same place.
    oxVectorTextBox* fading = Make(u"Ag");
    fading->SetStyle(u"opacity", u"50");
    const Ink f = Paint(fading);
    EXPECT_NEAR(f.amount, upright.amount / 2, upright.amount * 0.1);
    EXPECT_NEAR(f.x, upright.x, 1.0);
    EXPECT_NEAR(f.y, upright.y, 1.0);
    // The 16-bit screen shows it too.
    EXPECT_GT(Paint(Make(u"Ag"), 16).amount, 40);
}

TEST_F(VectorTextBoxTest, AFamilyThatNamesNoVectorFontPaintsNothing) {
    for (const char16_t* family : {u"nowhere", u"DejaVu Sans", u""}) {
        oxVectorTextBox* box = Make(u"Ag", family);
        EXPECT_EQ(Paint(box).amount, 0);
        const oxPoint size = box->GetIntrinsicSize();
        EXPECT_EQ(size.x, 0);
        EXPECT_EQ(size.y, 0);
    }
}

TEST_F(VectorTextBoxTest, CroppedTextEndsInDotsAndSaysItOverflowed) {
    oxVectorTextBox* box = Make(u"Anna and Ben and Cleo");
    box->SetStyle(u"crop", u"right");
    const Ink cropped = Paint(box, 32, 60);
    EXPECT_TRUE(box->IsTextOverflowed());
    EXPECT_LT(cropped.amount, Paint(Make(u"Anna and Ben and Cleo")).amount);
    oxVectorTextBox* fits = Make(u"Ag");
    Paint(fits);
    EXPECT_FALSE(fits->IsTextOverflowed());
}

} // namespace
