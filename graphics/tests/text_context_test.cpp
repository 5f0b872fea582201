#include "graphics/text/text_context.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/paint/graphics_context.h"
#include "graphics/tests/font_test_util.h"
#include "graphics/tests/golden.h"
#include "graphics/text/glyph_render.h"

namespace {

struct Context {
    oxTextContext* c = nullptr;
    explicit Context(oxFont* font, int32_t markup = oxTextContext::kMarkupApply) {
        oxTextContext::Create(&c);
        oxTextContext::SetFont(c, font);
        oxTextContext::SetMarkupEnabled(c, markup);
        oxTextContext::SetSpacesExtend(c, 1);
    }
    ~Context() { oxTextContext::Destroy(&c); }
};

float Em(oxFont& f, char16_t c) {
    return f.GetGlyph(c)->Advance()[0] / 2048.0f;
}

// A white target of `bpp` bits, drawn on with `matrix`.
struct Target {
    oxGraphicsContext gc;
    Target(int w, int h, int bpp) {
        gc.SetSize(w, h, bpp);
        gc.SetClearColor(-2, -2, -2);
        gc.Clear(nullptr);
    }
};

TEST(TextContext, DecodesEntitiesAndTags) {
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    struct Case {
        const char16_t* text;
        int32_t mode;
        std::u16string chars;
    };
    const Case cases[] = {
        {u"&lt;b", 1, u"<b"},
        {u"&#65;x", 1, u"Ax"},
        {u"&#65x", 1, u"&#65x"},
        {u"&bogus;", 1, u"&bogus;"},
        {u"&eacute;&mdash;&yuml;", 1, u"\u00e9\u2014\u00ff"},
        {u"&lt;", 0, u"&lt;"},
        {u"a<br>b", 1, u"a\nb"},
        {u"a< b", 1, u"a< b"},
        {u"<tab>x<unknown>y", 1, u"\txy"},
        {u"<b>x</b>", 2, u"x"},
        {u"a<p align=\"RIGHT\">b</p>", 1, u"ab\n"},
        {u"<b", 2, u""},
    };
    for (const Case& c : cases) {
        Context ctx(font.get(), c.mode);
        std::u16string got;
        const char16_t* p = c.text;
        const char16_t* end = p + std::char_traits<char16_t>::length(p);
        char16_t ch;
        while (int32_t n = ctx.c->DecodeChar(&ch, p, end, 2, c.mode)) {
            p += n;
            if (ch) got.push_back(ch);
        }
        EXPECT_EQ(got, c.chars) << std::string(c.chars.begin(), c.chars.end());
        EXPECT_EQ(ctx.c->BoldCount(), 0); // mode 2 consumes "b" without effect; mode 1 closed it
    }
    Context ctx(font.get());
    char16_t c;
    const char16_t* text = u"x";
    EXPECT_EQ(ctx.c->DecodeChar(&c, text, text + 1, 1, 1), 0); // only two-byte units are read
}

TEST(TextContext, LinesBreakAndAlign) {
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    const float ext = font->GetVerticalMetric3() / 2048.0f;
    const float ab = Em(*font, 'a') + Em(*font, 'b');
    Context ctx(font.get());
    oxMatrix unit;
    // "br" between two words: two lines.
    auto box = oxTextContext::Measure(ctx.c, u"ab<br>ab", -1, unit, 1.5f, 0, -1, 0);
    EXPECT_NEAR(box.v[1], -ext, 1e-5);
    EXPECT_NEAR(box.v[4], 1.5f + ext, 1e-5);
    EXPECT_NEAR(box.v[3], ab, 1e-5);
    // A right-aligned paragraph of width 100 ends at 100 (the box always holds the origin).
    box = oxTextContext::Measure(ctx.c, u"<p align=\"RIGHT\">ab</p>", -1, unit, 1.5f, 100, -1, 0);
    EXPECT_NEAR(box.v[0], 0, 1e-4);
    EXPECT_NEAR(box.v[3], 100, 1e-4);
    box = oxTextContext::Measure(ctx.c, u"ab", -1, unit, 1.5f, 10, -1, oxTextContext::kAlignCenter);
    EXPECT_NEAR(box.v[3], (10 + ab) / 2, 1e-4);
    {
        // Its outline starts at 60 for a line 40 wide: the points appended in em units, 10 pixels each.
        Target t(120, 20, 32);
        oxMatrix ten;
        ten.Scale(10, 10, 1);
        t.gc.SetTransform(ten);
        ctx.c->SetLetterSpacing((4 - ab) / 2);
        oxTextContext::Draw(ctx.c, u"<p align=\"RIGHT\">ab</p>", -1, &t.gc, oxTextContext::kGlyphAppend, 1.5f, 10, -1,
                            0, 0);
        ctx.c->SetLetterSpacing(0);
        const oxGlyph* a = font->GetGlyph('a');
        float aLeft = 1e9f, drawnLeft = 1e9f;
        for (int i = 0; i < a->PointCount(); ++i)
            aLeft = std::min(aLeft, a->Points()[2 * i]);
        for (int i = 0; i < t.gc.Path().Count(); ++i)
            drawnLeft = std::min(drawnLeft, t.gc.Path().Points()[3 * i]);
        EXPECT_NEAR(drawnLeft, 6.0f + aLeft, 1e-4);
    }
    // Justified: two spaces are one gap, so a wrapped line reaches the full width.
    const float d = 2 * ab + 3 * Em(*font, ' ');
    box = oxTextContext::Measure(ctx.c, u"ab  ab abab", -1, unit, 1.5f, d, -1, oxTextContext::kAlignJustify);
    EXPECT_NEAR(box.v[3], d, 1e-4);
    EXPECT_NEAR(box.v[4], 1.5f + ext, 1e-4); // two lines
    // A word wider than the line is cut at glyph boundaries, without and with alignment.
    const float m = Em(*font, 'm');
    for (int32_t align : {0, 1}) {
        box = oxTextContext::Measure(ctx.c, u"mmmmmmm", -1, unit, 1.0f, 2.5f * m, -1, align);
        EXPECT_NEAR(box.v[3], 2 * m, 1e-4) << align;
        EXPECT_NEAR(box.v[4], 3.0f + ext, 1e-4) << align; // 2 + 2 + 2 + 1 glyphs: four lines
    }
    // Measuring leaves the stacks and counts as they were, even with tags left open.
    const size_t aligns = ctx.c->AlignStackDepth(), fonts = ctx.c->FontStackDepth();
    oxTextContext::Measure(ctx.c, u"<p align=\"LEFT\"><font color=\"#ff0000\"><u>x", -1, unit, 1, 0, -1, 1);
    EXPECT_EQ(ctx.c->AlignStackDepth(), aligns);
    EXPECT_EQ(ctx.c->FontStackDepth(), fonts);
    EXPECT_EQ(ctx.c->Alignment(), 0);
    // Nothing to lay out: a zero box.
    box = oxTextContext::Measure(ctx.c, u"", -1, unit, 1, 0, -1, 0);
    for (float v : box.v)
        EXPECT_EQ(v, 0.0f);
    box = oxTextContext::Measure(ctx.c, u"x", 1, unit, 1, 0, 4, 0);
    for (float v : box.v)
        EXPECT_EQ(v, 0.0f);
}

TEST(TextContext, FontTagColoursItsText) {
    EnsureFontGraphicsContext();
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    Context ctx(font.get());
    Target t(80, 30, 32);
    t.gc.SetColor(0x000000);
    oxMatrix m;
    m.Scale(24, 24, 1);
    m.Translate(2, 22, 0);
    t.gc.SetTransform(m);
    oxTextContext::Draw(ctx.c, u"<font color=\"#FF0000\">I</font>I", -1, &t.gc, oxTextContext::kGlyphFill, 1, 0, -1, 0,
                        0);
    // The stem of each I: the first red, the second black again.
    const oxGlyph* glyph = font->GetGlyph('I');
    float left = 1e9f;
    for (int i = 0; i < glyph->PointCount(); ++i)
        left = std::min(left, glyph->Points()[2 * i]);
    const float stem = 24 * (left + glyph->RightExtent()) / 2 + 2;
    const float second = stem + 24 * Em(*font, 'I');
    const uint32_t red = t.gc.Target().GetRow32(15)[int(stem)];
    const uint32_t black = t.gc.Target().GetRow32(15)[int(second)];
    // Within one step per channel: the filler's full coverage rounds.
    auto near = [](uint32_t a, uint32_t b) {
        for (int k = 0; k < 24; k += 8)
            if (std::abs(int(a >> k & 0xFF) - int(b >> k & 0xFF)) > 1) return false;
        return true;
    };
    EXPECT_TRUE(near(red, 0xFF0000u)) << std::hex << red;
    EXPECT_TRUE(near(black, 0x000000u)) << std::hex << black;
    EXPECT_EQ(t.gc.FillColor() & 0xFFFFFF, 0u);
}

// One golden per depth: "Ag" at 12, 20 and 32 pixels from cached coverage and at 48 as outlines.
TEST(TextContext, GlyphSizesGolden) {
    EnsureFontGraphicsContext();
    for (int bpp : {32, 16}) {
        auto font = LoadTestFont();
        ASSERT_TRUE(font);
        Context ctx(font.get());
        Target t(170, 64, bpp);
        t.gc.SetColor(0x202060);
        float x = 2;
        for (int size : {12, 20, 32, 48}) {
            oxMatrix m;
            m.Scale(float(size), float(size), 1);
            m.Translate(x, 50, 0);
            t.gc.SetTransform(m);
            auto box = oxTextContext::Draw(ctx.c, u"Ag", -1, &t.gc, oxTextContext::kGlyphCached, 1, 0, -1, 0, 0);
            x = std::ceil(box.v[3]) + 4;
        }
        EXPECT_TRUE(MatchesGolden(t.gc.Target(), bpp == 32 ? "text_sizes_32" : "text_sizes_16"));
        // The small sizes came from the cache, the large one did not.
        EXPECT_TRUE(font->GetGlyph('A')->FirstBitmap());
        for (const oxGlyphBitmap* b = font->GetGlyph('A')->FirstBitmap(); b; b = b->next)
            EXPECT_LE(b->size, 32);
    }
}

// A cached glyph is blended channel by channel towards the text colour by its subpixel coverage.
TEST(TextContext, CachedGlyphBlendsItsCoverage) {
    EnsureFontGraphicsContext();
    auto font = LoadTestFont();
    ASSERT_TRUE(font);
    Context ctx(font.get());
    Target t(40, 40, 32);
    t.gc.SetColor(0x000000);
    oxMatrix m;
    m.Scale(20, 20, 1);
    m.Translate(5, 30, 0);
    t.gc.SetTransform(m);
    oxTextContext::Draw(ctx.c, u"W", -1, &t.gc, oxTextContext::kGlyphCached, 1, 0, -1, 0, 0);
    const oxGlyphBitmap* b = RenderGlyph(font.get(), 'W', 20, 5.0f);
    ASSERT_TRUE(b);
    const int top = int(std::floor(30 - 20 * font->GetVerticalMetric2() / 2048.0f));
    int inked = 0;
    for (int y = 0; y < b->pixels.height; ++y)
        for (int x = 0; x < b->pixels.width / 3; ++x) {
            const uint8_t* cov = b->pixels.GetRow8(y) + 3 * x;
            uint32_t want = 0xFF000000u;
            for (int k = 0; k < 3; ++k)
                want |= uint32_t(255 + ((cov[k] * -255) >> 8)) << (16 - 8 * k);
            if (top + y >= 0 && top + y < 40) {
                ASSERT_EQ(t.gc.Target().GetRow32(top + y)[5 + x], want) << x << "," << y;
                inked += cov[0] > 200;
            }
        }
    EXPECT_GT(inked, 20);
}

} // namespace
