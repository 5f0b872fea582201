#include "toolkit/style/fill_cross_fade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"

namespace {

// Colour values are solid brushes with square corners, or with corners of 6 when the colour's blue
// byte is 0x01; a text value is a brush that fills the rectangle in opaque blue at the canvas alpha.
class TestPainter : public oxFillValuePainter {
public:
    bool GetSolidBrush(const oxStyleValue& value, uint32_t* argb, float radii[4]) override {
        if (value.GetType() != kStyleColor) return false;
        *argb = value.GetColor();
        for (int i = 0; i < 4; ++i)
            radii[i] = (*argb & 0xFF) == 0x01 ? 6.0f : 0.0f;
        return true;
    }
    void PaintBrush(oxCanvas* canvas, const oxStyleValue& value, const oxCanvasRect& r) override {
        if (value.GetType() != kStyleText) return;
        ++brushes;
        canvas->SetColor(0x0000FF);
        canvas->Rect(float(r.x), float(r.y), float(r.x + r.width), float(r.y + r.height), 0);
    }
    int brushes = 0;
};

int Channel(uint32_t p, int shift) {
    return int((p >> shift) & 0xFF);
}

// Opaque colour a with b over it at alpha k / 256, channel by channel.
uint32_t Over(uint32_t a, uint32_t b, double k) {
    uint32_t out = 0xFF000000u;
    for (int s = 0; s < 24; s += 8)
        out |= uint32_t(std::lround(Channel(a, s) + (Channel(b, s) - Channel(a, s)) * k)) << s;
    return out;
}

void ExpectNear(uint32_t want, uint32_t got, int tolerance, const char* what) {
    for (int s = 0; s < 32; s += 8)
        EXPECT_NEAR(Channel(want, s), Channel(got, s), tolerance)
            << what << " shift " << s << std::hex << " want " << want << " got " << got;
}

constexpr uint32_t kRed = 0xFFC82814u, kBlue = 0xFF1450F0u;

TEST(FillCrossFade, TwoSolidsMixIntoOneFill) {
    TestPainter painter;
    const float steps[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (float t : steps) {
        oxFillCrossFade fade;
        fade.SetFromValue(oxStyleValue::Color(kRed));
        fade.SetToValue(oxStyleValue::Color(kBlue));
        fade.progress = t;
        oxCanvas canvas(8, 8);
        fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 8, 8});
        // The mix runs from the nearer colour, so it is the same colour either side of the middle.
        uint32_t want = 0xFF000000u;
        for (int s = 0; s < 24; s += 8) {
            const double from = Channel(kRed, s), to = Channel(kBlue, s);
            const double v = t < 0.5f ? from * (1 - t) + to * t : to * t + from * (1 - t);
            want |= uint32_t(v) << s;
        }
        ExpectNear(want, canvas.Target().GetRow32(4)[4], 1, "mixed");
        EXPECT_EQ(256, canvas.Alpha());
    }
}

TEST(FillCrossFade, OtherPairsLayerTheFarValueByItsWeight) {
    TestPainter painter;
    struct Case {
        float t;
        uint32_t want;
        int brushes;
    };
    // From a red solid to a blue brush: the brush is far until the middle, then near.
    const Case cases[] = {
        {0.0f, kRed, 0},
        {0.25f, Over(kRed, 0xFF0000FFu, 63 / 256.0), 1},
        {0.5f, Over(0xFF0000FFu, kRed, 127 / 256.0), 1},
        {1.0f, 0xFF0000FFu, 1},
    };
    for (const Case& c : cases) {
        oxFillCrossFade fade;
        fade.SetFromValue(oxStyleValue::Color(kRed));
        fade.SetToValue(oxStyleValue(u"brush", kStyleText));
        fade.progress = c.t;
        oxCanvas canvas(8, 8);
        painter.brushes = 0;
        fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 8, 8});
        ExpectNear(c.want, canvas.Target().GetRow32(4)[4], 2, "layered");
        EXPECT_EQ(c.brushes, painter.brushes) << c.t;
        EXPECT_EQ(256, canvas.Alpha());
    }
    // Two solids of different shapes layer too: the rounded red's corner shows the blue alone.
    oxFillCrossFade fade;
    fade.SetFromValue(oxStyleValue::Color(0xFFC82801u));
    fade.SetToValue(oxStyleValue::Color(kBlue));
    fade.progress = 0.5f;
    oxCanvas canvas(16, 16);
    fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 16, 16});
    ExpectNear(kBlue, canvas.Target().GetRow32(0)[0], 0, "corner");
    ExpectNear(Over(kBlue, 0xFFC82801u, 127 / 256.0), canvas.Target().GetRow32(8)[8], 2, "middle");
}

oxDibBitmap* Plain(uint32_t colour) {
    auto* image = new oxDibBitmap(4, 4, 32, true, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image->pixels.GetRow32(y)[x] = colour;
    return image;
}

TEST(FillCrossFade, ImageStandsForTheFromValue) {
    TestPainter painter;
    for (float t : {0.25f, 0.75f}) {
        oxFillCrossFade fade;
        fade.SetFromValue(oxStyleValue::Color(kRed));
        fade.SetToValue(oxStyleValue::Color(kBlue));
        fade.SetImage(Plain(0xFF00FF00u));
        fade.progress = t;
        oxCanvas canvas(8, 8);
        fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 8, 8});
        const uint32_t want = t < 0.5f ? Over(0xFF00FF00u, kBlue, 63 / 256.0) : Over(kBlue, 0xFF00FF00u, 63 / 256.0);
        ExpectNear(want, canvas.Target().GetRow32(4)[4], 2, "image");
    }
    // A new image takes in the old one: above the middle the old one is the base.
    oxFillCrossFade fade;
    fade.SetImage(Plain(0xFF00FF00u));
    fade.progress = 0.75f;
    fade.SetImage(Plain(0xFFFF0000u));
    ASSERT_TRUE(fade.GetImage());
    ExpectNear(Over(0xFF00FF00u, 0xFFFF0000u, 191 / 256.0), fade.GetImage()->pixels.GetRow32(1)[1], 2, "merged");
    fade.SetImage(nullptr);
    EXPECT_EQ(nullptr, fade.GetImage());
}

TEST(FillCrossFade, NothingWithoutCanvasPainterOrRectangle) {
    TestPainter painter;
    oxFillCrossFade fade;
    fade.SetFromValue(oxStyleValue::Color(kRed));
    fade.SetToValue(oxStyleValue::Color(kBlue));
    oxCanvas canvas(4, 4);
    fade.Paint(nullptr, &painter, oxCanvasRect{0, 0, 4, 4});
    fade.Paint(&canvas, nullptr, oxCanvasRect{0, 0, 4, 4});
    fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 0, 4});
    fade.Paint(&canvas, &painter, oxCanvasRect{0, 0, 4, -4});
    EXPECT_EQ(0u, canvas.Target().GetRow32(1)[1]);
    EXPECT_EQ(nullptr, fade.RenderToBitmap(&painter, oxCanvasRect{0, 0, 0, 0}));
    EXPECT_EQ(nullptr, fade.RenderToBitmap(nullptr, oxCanvasRect{0, 0, 4, 4}));
    std::unique_ptr<oxDibBitmap> rendered(fade.RenderToBitmap(&painter, oxCanvasRect{50, 60, 3, 2}));
    ASSERT_TRUE(rendered);
    EXPECT_EQ(3, rendered->width);
    EXPECT_EQ(kRed, rendered->pixels.GetRow32(1)[2]);
}

} // namespace
