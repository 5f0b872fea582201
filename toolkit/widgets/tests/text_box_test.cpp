#include "toolkit/widgets/text_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/golden.h"
#include "platform/win/screen.h"
#include "platform/win/text_draw.h"

namespace {

constexpr int kCellW = 72, kCellH = 36;

oxTextStyle DejaVu(int size = 13) {
    oxTextStyle s;
    s.fontFamily = u"DejaVu Sans";
    s.fontSize = size;
    s.hasTextColor = true;
    s.textColor = 0xFF202080;
    return s;
}

class TextBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        box = new oxTextBox(kAtomText);
    }
    void TearDown() override {
        box->Release();
        oxTextBox::ClearFontCache();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    // A canvas of one colour in the given depth (16: the screen's RGB565).
    std::unique_ptr<oxDibBitmap> Canvas(int w, int h, int bpp, uint32_t fill) {
        if (bpp == 16) {
            EXPECT_TRUE(ConfigureScreen(ScreenConfig{64, 64, 16, false, 96}));
        }
        auto canvas = std::make_unique<oxDibBitmap>(w, h, bpp, true, true);
        HDC dc = canvas->AcquireDC();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixel(dc, x, y, RGB(BYTE(fill >> 16), BYTE(fill >> 8), BYTE(fill)));
        canvas->ReleaseDC();
        return canvas;
    }
    SIZE Measure(const char16_t* text, const oxTextStyle& style) {
        return oxTextBox::MeasureText(text, -1, box->GetFont(style));
    }
    oxTextBox* box = nullptr;
};

TEST_F(TextBoxTest, IsATextTypeControlNotEngaged) {
    EXPECT_EQ(box->GetBoxType(), kAtomText);
    EXPECT_FALSE(box->GetStateFlags() & kStateEngaged);
    box->SetAttribute(kAtomHtmlValue, u"<b>x</b>", true, false);
    EXPECT_EQ(std::u16string(box->GetValue()), u"<b>x</b>");
    box->SetAttribute(kAtomValue, nullptr, true, false);
    EXPECT_EQ(box->GetValue(), nullptr);
}

TEST_F(TextBoxTest, SmoothingChoosesTheQuality) {
    const struct {
        const char16_t* smoothing;
        BYTE plain, rich;
    } cases[] = {
        {u"none", 3, 3}, {u"antiAlias", 4, 4}, {u"clearType", 5, 6}, {nullptr, 0, 0}, {u"sharp", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oxTextBox::TextQuality(c.smoothing, false), c.plain);
        EXPECT_EQ(oxTextBox::TextQuality(c.smoothing, true), c.rich);
    }
}

TEST_F(TextBoxTest, MeasuresTheValueAndAnEmptyOneAsASpace) {
    const oxTextStyle style = DejaVu();
    const SIZE space = Measure(u" ", style);
    EXPECT_GT(space.cx, 0);
    EXPECT_EQ(box->MeasureValue(style, false, SIZE{}, 0).cx, space.cx);
    box->SetValue(u"");
    EXPECT_EQ(box->MeasureValue(style, false, SIZE{}, 0).cx, space.cx);
    box->SetValue(u"Hello world");
    const SIZE line = box->MeasureValue(style, false, SIZE{}, 0);
    EXPECT_EQ(line.cx, Measure(u"Hello world", style).cx);
    // Wrapping at a narrower width breaks the line in two.
    box->SetAttribute(kAtomWordwrap, u"true", true, false);
    const SIZE wrapped = box->MeasureValue(style, false, SIZE{}, line.cx - 1);
    EXPECT_EQ(wrapped.cy, 2 * line.cy);
    EXPECT_LT(wrapped.cx, line.cx);
    // Vertical text trades width for height.
    oxTextStyle up = style;
    up.textOrientation = oxTextStyle::kUp;
    box->SetAttribute(kAtomWordwrap, nullptr, true, false);
    const SIZE turned = box->MeasureValue(up, false, SIZE{}, 0);
    EXPECT_EQ(turned.cx, line.cy);
    EXPECT_EQ(turned.cy, line.cx);
}

TEST_F(TextBoxTest, ItalicOverhangWidensTheMeasure) {
    oxTextStyle italic = DejaVu(20);
    italic.fontItalics = true;
    HFONT font = box->GetFont(italic);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE plain{};
    GetTextExtentPoint32W(dc, u"f", 1, &plain);
    ABC abc{};
    GetCharABCWidthsW(dc, u'f', u'f', &abc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ASSERT_LT(abc.abcC, 0);
    EXPECT_EQ(oxTextBox::MeasureText(u"f", 1, font).cx, plain.cx - abc.abcC);
    EXPECT_EQ(oxTextBox::MeasureText(nullptr, -1, font).cx, 0);
}

// Text that exactly fits is not clipped and leaves the overflowed bit clear; one pixel less sets it.
TEST_F(TextBoxTest, OverflowBitFollowsTheFit) {
    const oxTextStyle style = DejaVu();
    box->SetValue(u"Fits");
    const SIZE size = Measure(u"Fits", style);
    auto canvas = Canvas(100, 40, 32, 0xFFFFFF);
    oxTextTarget target{canvas.get(), RECT{0, 0, size.cx, size.cy}, RECT{0, 0, 100, 40}, false};
    box->PaintPlainText(style, target);
    EXPECT_FALSE(box->IsTextOverflowed());
    target.content.right -= 1;
    box->PaintPlainText(style, target);
    EXPECT_TRUE(box->IsTextOverflowed());
}

TEST_F(TextBoxTest, CropRightEndsAWideSingleLineInDotsButNotWrappedText) {
    oxTextStyle style = DejaVu();
    style.cropRight = true;
    box->SetValue(u"A rather long line of text");
    const SIZE kept = Measure(u"A rather...", style);
    auto cut = Canvas(120, 40, 32, 0xFFFFFF), expected = Canvas(120, 40, 32, 0xFFFFFF);
    box->PaintPlainText(style, oxTextTarget{cut.get(), RECT{0, 0, kept.cx, 20}, RECT{0, 0, 120, 40}, false});
    oxTextBox* plain = new oxTextBox(kAtomText);
    plain->SetValue(u"A rather...");
    plain->PaintPlainText(DejaVu(), oxTextTarget{expected.get(), RECT{0, 0, 120, 20}, RECT{0, 0, 120, 40}, false});
    plain->Release();
    EXPECT_EQ(0, std::memcmp(cut->bits, expected->bits, size_t(cut->stride) * 40));
    // A wrapped text that fits its lines gets no dots: it measures as its own words.
    box->SetAttribute(kAtomWordwrap, u"true", true, false);
    const SIZE within = box->MeasureValue(style, true, SIZE{kept.cx, 200}, 0);
    EXPECT_GT(within.cy, kept.cy);
}

// The alpha road leaves, as each pixel's alpha, the coverage that the opaque road blends on white.
TEST_F(TextBoxTest, AlphaTargetsTakeTheCoverageAsAlpha) {
    oxTextStyle style = DejaVu(15);
    style.textColor = 0xFF000000;
    box->SetValue(u"Coverage");
    auto clear = Canvas(100, 30, 32, 0);
    auto white = Canvas(100, 30, 32, 0xFFFFFF);
    const RECT content{2, 2, 98, 28};
    box->PaintPlainText(style, oxTextTarget{clear.get(), content, content, true});
    box->PaintPlainText(style, oxTextTarget{white.get(), content, content, false});
    int covered = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) {
            const uint32_t a = clear->pixels.GetRow32(y)[x] >> 24;
            const uint32_t red = (white->pixels.GetRow32(y)[x] >> 16) & 0xFF;
            ASSERT_NEAR(int(a), 255 - int(red), 1) << x << "," << y;
            covered += a > 0;
        }
    EXPECT_GT(covered, 20);
}

// Each alignment in a grid: ink lies where the alignment puts it, in both canvas depths.
TEST_F(TextBoxTest, AlignmentsInThirtyTwoAndSixteenBits) {
    const oxAtom hs[] = {kAtomLeft, kAtomCenter, kAtomRight};
    const oxAtom vs[] = {0, kAtomCenter, kAtomBottom};
    for (int bpp : {32, 16}) {
        SCOPED_TRACE(bpp);
        auto canvas = Canvas(3 * kCellW, 3 * kCellH, bpp, 0xF0E8D0);
        box->SetValue(u"Align");
        oxTextStyle style = DejaVu();
        style.hasShadow = true;
        style.textShadowColor = 0xFFB0A890;
        style.textShadowOffsetX = style.textShadowOffsetY = 1;
        const SIZE text = Measure(u"Align", style);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                style.hAlign = hs[col];
                style.vAlign = vs[row];
                const RECT content{col * kCellW + 4, row * kCellH + 4, (col + 1) * kCellW - 4, (row + 1) * kCellH - 4};
                box->PaintPlainText(style, oxTextTarget{canvas.get(), content, content, false});
                EXPECT_FALSE(box->IsTextOverflowed());
                const int cw = content.right - content.left, ch = content.bottom - content.top;
                const int x = content.left + (col == 0 ? 0 : col == 1 ? (cw - text.cx) / 2 : cw - text.cx);
                const int y = content.top + (row == 0 ? 0 : row == 1 ? (ch - text.cy) / 2 : ch - text.cy);
                // The main pass's ink starts within a pixel of the placed rectangle's left edge.
                HDC dc = canvas->AcquireDC();
                bool inkAtLeft = false;
                for (int py = y; py < y + text.cy; ++py)
                    for (int px = x; px < x + 2; ++px)
                        inkAtLeft |= (GetPixel(dc, px, py) & 0xFF) < 0x90;
                bool inkBefore = false;
                for (int py = content.top; py < content.bottom; ++py)
                    for (int px = content.left; px < x - 1; ++px)
                        inkBefore |= GetPixel(dc, px, py) != GetPixel(dc, 0, 0);
                canvas->ReleaseDC();
                EXPECT_TRUE(inkAtLeft) << row << "," << col;
                EXPECT_FALSE(inkBefore) << row << "," << col;
            }
        EXPECT_TRUE(MatchesGolden(canvas->pixels, bpp == 32 ? "text_box_align_argb32" : "text_box_align_rgb565"));
    }
}

TEST_F(TextBoxTest, NothingToPaintWithoutCanvasValueOrRoom) {
    const oxTextStyle style = DejaVu();
    auto canvas = Canvas(20, 20, 32, 0xFFFFFF);
    box->PaintPlainText(style, oxTextTarget{nullptr, RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, false});
    box->PaintPlainText(style, oxTextTarget{canvas.get(), RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, false});
    box->SetValue(u"x");
    box->PaintPlainText(style, oxTextTarget{canvas.get(), RECT{5, 5, 5, 9}, RECT{0, 0, 20, 20}, false});
    box->PaintPlainText(style, oxTextTarget{canvas.get(), RECT{0, 0, 10, 10}, RECT{15, 15, 20, 20}, false});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(canvas->pixels.GetRow32(y)[x] & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace
