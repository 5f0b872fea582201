#include "platform/win/text_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/win/font_internal.h"
#include "platform/win/text_layout.h"

namespace {

constexpr int kEm = 16;

HFONT MakeFont(const char16_t* face, int height = -kEm, int weight = FW_NORMAL, bool italic = false,
               BYTE quality = ANTIALIASED_QUALITY, int escapement = 0, bool underline = false) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfQuality = quality;
    lf.lfEscapement = lf.lfOrientation = escapement;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i)
        lf.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&lf);
}

// A top-down DIB section in a memory DC with a font selected; filled white.
struct TextSurface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HGDIOBJ oldFont = nullptr;
    void* bits = nullptr;
    int width, height, bpp;

    TextSurface(int w, int h, int depth, HFONT font) : width(w), height(h), bpp(depth) {
        struct {
            BITMAPINFOHEADER header{};
            DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        } info;
        info.header.biSize = sizeof info.header;
        info.header.biWidth = w;
        info.header.biHeight = -h;
        info.header.biPlanes = 1;
        info.header.biBitCount = WORD(depth);
        info.header.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        oldBitmap = SelectObject(dc, bitmap);
        oldFont = SelectObject(dc, font);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ~TextSurface() {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    uint32_t At(int x, int y) const { return GetPixel(dc, x, y) & 0xFFFFFF; }
    // The box of pixels that are not white; empty (right <= left) when none is.
    RECT Ink() const {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y) != 0xFFFFFF) {
                    r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1), r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
    std::vector<uint8_t> Bytes() const {
        const size_t stride = size_t((width * bpp + 31) / 32 * 4);
        const auto* p = static_cast<const uint8_t*>(bits);
        return std::vector<uint8_t>(p, p + stride * height);
    }
};

// FreeType on its own: the face a font resolved to, at the same em size and hinting.
struct Reference {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    explicit Reference(HFONT font, int em = kEm) {
        int index = 0;
        const std::string file = platform::detail::FontFilePath(font, &index);
        FT_Init_FreeType(&lib);
        if (FT_New_Face(lib, file.c_str(), index, &face) == 0) FT_Set_Pixel_Sizes(face, 0, em);
    }
    ~Reference() {
        if (face) FT_Done_Face(face);
        FT_Done_FreeType(lib);
    }
    static int Advance(FT_Face f, FT_UInt glyph) {
        if (FT_Load_Glyph(f, glyph, FT_LOAD_TARGET_NORMAL)) return -1;
        return int((f->glyph->advance.x + 32) >> 6);
    }
    // The advance of a character: from this face, else from the face fontconfig has for it,
    // else the face's missing glyph.
    int Advance(char32_t c) const {
        if (c < 0x20) return 0;
        if (FT_UInt g = FT_Get_Char_Index(face, c)) return Advance(face, g);
        FcPattern* p = FcPatternCreate();
        FcCharSet* cs = FcCharSetCreate();
        FcCharSetAddChar(cs, c);
        FcPatternAddCharSet(p, FC_CHARSET, cs);
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
        FcDefaultSubstitute(p);
        FcResult r;
        FcPattern* m = FcFontMatch(nullptr, p, &r);
        int advance = Advance(face, 0);
        FcCharSet* has = nullptr;
        FcChar8* file = nullptr;
        int index = 0;
        if (m && FcPatternGetCharSet(m, FC_CHARSET, 0, &has) == FcResultMatch && FcCharSetHasChar(has, c) &&
            FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(m, FC_INDEX, 0, &index);
            FT_Face other = nullptr;
            if (!FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &other)) {
                FT_Set_Pixel_Sizes(other, 0, kEm);
                advance = Advance(other, FT_Get_Char_Index(other, c));
                FT_Done_Face(other);
            }
        }
        if (m) FcPatternDestroy(m);
        FcCharSetDestroy(cs);
        FcPatternDestroy(p);
        return advance;
    }
    int Width(const std::u16string& s) const {
        int w = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            char32_t c = s[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            w += Advance(c);
        }
        return w;
    }
};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        font = MakeFont(u"DejaVu Sans");
        ASSERT_TRUE(EndsWith(platform::detail::FontFilePath(font, nullptr), "DejaVuSans.ttf"))
            << "the tests draw with DejaVu Sans (fonts-dejavu-core)";
    }
    void TearDown() override { DeleteObject(font); }
    HFONT font = nullptr;
};

TEST_F(TextTest, FacesResolveByFamilyWeightAndFallBackWhenUnknown) {
    struct Case {
        const char16_t* face;
        int weight;
        const char* file;
    } cases[] = {
        {u"DejaVu Sans", FW_BOLD, "DejaVuSans-Bold.ttf"},
        {u"dejavu sans mono", FW_NORMAL, "DejaVuSansMono.ttf"},
        {u"DejaVu Serif", FW_NORMAL, "DejaVuSerif.ttf"},
    };
    for (const Case& c : cases) {
        HFONT f = MakeFont(c.face, -kEm, c.weight);
        EXPECT_TRUE(EndsWith(platform::detail::FontFilePath(f, nullptr), c.file)) << c.file;
        DeleteObject(f);
    }
    // A face the machine lacks still gives a font that measures text.
    HFONT missing = MakeFont(u"No Such Face On This Machine");
    EXPECT_FALSE(platform::detail::FontFilePath(missing, nullptr).empty());
    TextSurface s(8, 8, 32, missing);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(s.dc, u"abc", 3, &size));
    EXPECT_GT(size.cx, 0);
    EXPECT_GT(size.cy, 0);
    DeleteObject(missing);
}

TEST_F(TextTest, MeasuresTheAdvancesFreeTypeGives) {
    std::u16string longLine;
    for (int i = 0; i < 10000; ++i)
        longLine += char16_t(u'a' + i % 26);
    const std::u16string cases[] = {
        u"Hello, World!",
        u"\u00C7a d\u00E9j\u00E0 vu, na\u00EFve fa\u00E7ade",
        u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451",
        // No face of the test machine may have these; they then measure as the missing glyph.
        u"\u6F22\u5B57\u304B\u306A",
        u"a\U0001D400b\U0001F600c",
        u"",
        longLine,
    };
    Reference ref(font);
    ASSERT_NE(ref.face, nullptr);
    TextSurface s(8, 8, 32, font);
    for (const std::u16string& text : cases) {
        SCOPED_TRACE(testing::Message() << "length " << text.size());
        const int expected = ref.Width(text);
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32W(s.dc, text.data(), int(text.size()), &size));
        EXPECT_EQ(size.cx, expected);
        // Prefix widths climb to the same total and the fit count agrees with them.
        std::vector<int> extents(text.size() + 1, -1);
        int fit = -1;
        SIZE ex{};
        ASSERT_TRUE(
            GetTextExtentExPointW(s.dc, text.data(), int(text.size()), expected / 2, &fit, extents.data(), &ex));
        EXPECT_EQ(ex.cx, expected);
        for (size_t i = 1; i < text.size(); ++i)
            EXPECT_LE(extents[i - 1], extents[i]);
        if (!text.empty()) {
            EXPECT_EQ(extents[text.size() - 1], expected);
            EXPECT_LE(extents[size_t(fit) - (fit > 0 ? 1 : 0)], std::max(expected / 2, extents[0]));
        }
        // The single-line measure of DrawTextW is the same sum.
        RECT r{0, 0, 1, 1};
        DrawTextW(s.dc, text.data(), int(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        EXPECT_EQ(r.right, text.empty() ? 0 : expected);
    }
}

TEST_F(TextTest, LineHeightIsTheWindowsAscentAndDescent) {
    Reference ref(font);
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ref.face, FT_SFNT_OS2));
    ASSERT_NE(os2, nullptr);
    const double scale = double(kEm) / ref.face->units_per_EM;
    TextSurface s(8, 8, 32, font);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(s.dc, &tm));
    EXPECT_EQ(tm.tmAscent, std::lround(os2->usWinAscent * scale));
    EXPECT_EQ(tm.tmDescent, std::lround(os2->usWinDescent * scale));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - kEm);
    SIZE size{};
    GetTextExtentPoint32W(s.dc, u"x", 1, &size);
    EXPECT_EQ(size.cy, tm.tmHeight);
    // A positive height asks for that cell height instead of an em.
    HFONT cell = MakeFont(u"DejaVu Sans", tm.tmHeight);
    SelectObject(s.dc, cell);
    TEXTMETRICW byCell{};
    GetTextMetricsW(s.dc, &byCell);
    EXPECT_NEAR(byCell.tmHeight, tm.tmHeight, 1);
    SelectObject(s.dc, font);
    DeleteObject(cell);
}

TEST_F(TextTest, AbcWidthsAddUpToTheAdvanceAndShowOverhang) {
    HFONT italic = MakeFont(u"DejaVu Sans", -kEm, FW_NORMAL, true);
    TextSurface s(8, 8, 32, italic);
    ABC abc[2]{};
    ASSERT_TRUE(GetCharABCWidthsW(s.dc, u'f', u'g', abc));
    SIZE size{};
    for (int i = 0; i < 2; ++i) {
        const char16_t c = char16_t(u'f' + i);
        GetTextExtentPoint32W(s.dc, &c, 1, &size);
        EXPECT_EQ(abc[i].abcA + int(abc[i].abcB) + abc[i].abcC, size.cx);
    }
    // The slanted f leans past its advance.
    EXPECT_LT(abc[0].abcC, 0);
    EXPECT_FALSE(GetCharABCWidthsW(s.dc, u'g', u'f', abc));
    DeleteObject(italic);
}

// Drawn ink lies inside the box DT_CALCRECT gave, and reaches near its far edges.
TEST_F(TextTest, CalcRectIsTheBoxDrawingCovers) {
    struct Case {
        const char16_t* text;
        UINT flags;
        int width;
    } cases[] = {
        {u"Measure me", DT_SINGLELINE, 400},
        {u"The quick brown fox jumps over the lazy dog", DT_WORDBREAK, 120},
        {u"Breakable\r\nlines\nhere", 0, 400},
        {u"Averyveryverylongword split", DT_WORDBREAK | DT_EDITCONTROL, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags);
        TextSurface s(200, 200, 32, font);
        RECT calc{10, 10, 10 + c.width, 190};
        const int h = DrawTextW(s.dc, c.text, -1, &calc, c.flags | DT_CALCRECT | DT_NOPREFIX);
        EXPECT_EQ(h, calc.bottom - calc.top);
        RECT draw = calc;
        DrawTextW(s.dc, c.text, -1, &draw, c.flags | DT_NOPREFIX | DT_NOCLIP);
        const RECT ink = s.Ink();
        ASSERT_LT(ink.left, ink.right);
        // A line may start with a glyph whose left bearing is negative ("jumps"): its ink leans
        // one pixel out, as it does on the device.
        EXPECT_GE(ink.left, calc.left - 1);
        EXPECT_GE(ink.top, calc.top);
        EXPECT_LE(ink.right, calc.right);
        EXPECT_LE(ink.bottom, calc.bottom);
        EXPECT_GE(ink.right, calc.right - 3);
        EXPECT_GE(ink.bottom, calc.bottom - 6);
    }
}

TEST_F(TextTest, WrapsAndEllipsisesAtOnePixelOneCharacterAndTheWholeText) {
    const std::u16string text = u"wide words here";
    TextSurface s(8, 8, 32, font);
    SIZE whole{}, w1{}, dots{};
    GetTextExtentPoint32W(s.dc, text.data(), int(text.size()), &whole);
    GetTextExtentPoint32W(s.dc, u"w", 1, &w1);
    GetTextExtentPoint32W(s.dc, u"...", 3, &dots);
    const int line = whole.cy;
    SIZE word{};
    GetTextExtentPoint32W(s.dc, u"words", 5, &word);
    struct Case {
        int width;
        UINT flags;
        int lines;
        int right; // expected width of the box
    } cases[] = {
        {1, DT_WORDBREAK, 3, word.cx}, // each word alone, overflowing
        {w1.cx, DT_WORDBREAK, 3, word.cx},
        {whole.cx, DT_WORDBREAK, 1, whole.cx},
        {1, DT_WORDBREAK | DT_EDITCONTROL, 13, w1.cx}, // one character a line
        {whole.cx, DT_WORDBREAK | DT_EDITCONTROL, 1, whole.cx},
        {1, DT_SINGLELINE | DT_END_ELLIPSIS, 1, 1}, // clamped to the rectangle
        {w1.cx, DT_SINGLELINE | DT_END_ELLIPSIS, 1, std::min<int>(w1.cx, dots.cx)},
        {whole.cx, DT_SINGLELINE | DT_END_ELLIPSIS, 1, whole.cx}, // fits: no dots
        {whole.cx - 1, DT_SINGLELINE | DT_END_ELLIPSIS, 1, -1},   // cut, within the width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " flags " << c.flags);
        RECT r{0, 0, c.width, 1000};
        const int h = DrawTextW(s.dc, text.data(), int(text.size()), &r, c.flags | DT_CALCRECT | DT_NOPREFIX);
        EXPECT_EQ(h, c.lines * line);
        if (c.right >= 0)
            EXPECT_EQ(r.right, c.right);
        else
            EXPECT_LE(r.right, c.width);
    }
}

// The cut line is drawn as its kept start followed by "...".
TEST_F(TextTest, EllipsisDrawsTheKeptStartAndDots) {
    const std::u16string text = u"Ellipsis at the end";
    TextSurface probe(8, 8, 32, font);
    SIZE kept{};
    GetTextExtentPoint32W(probe.dc, u"Ellipsis...", 11, &kept);
    TextSurface cut(200, 40, 32, font), plain(200, 40, 32, font);
    RECT r{0, 0, kept.cx, 40};
    DrawTextW(cut.dc, text.data(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    RECT r2{0, 0, 200, 40};
    DrawTextW(plain.dc, u"Ellipsis...", -1, &r2, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(cut.Bytes(), plain.Bytes());
    // Wrapped text that runs past the bottom ends its last line in dots.
    TextSurface wrapped(200, 40, 32, font), expect(200, 40, 32, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(wrapped.dc, &tm);
    SIZE one{};
    GetTextExtentPoint32W(probe.dc, u"Ellipsis at", 11, &one);
    RECT w{0, 0, one.cx + 2, tm.tmHeight};
    DrawTextW(wrapped.dc, text.data(), -1, &w, DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_NOPREFIX);
    RECT e{0, 0, one.cx + 2, tm.tmHeight};
    SIZE firstWord{};
    GetTextExtentPoint32W(probe.dc, u"Ellipsis ...", 12, &firstWord);
    const char16_t* expected = firstWord.cx <= one.cx + 2 ? u"Ellipsis ..." : u"Ellipsis...";
    DrawTextW(expect.dc, expected, -1, &e, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(wrapped.Bytes(), expect.Bytes());
}

TEST_F(TextTest, CoverageBlendsIntoThirtyTwoAndSixteenBitSurfaces) {
    // One glyph, rendered by FreeType directly, blended by hand.
    Reference ref(font);
    ASSERT_EQ(FT_Load_Char(ref.face, U'g', FT_LOAD_TARGET_NORMAL), 0);
    ASSERT_EQ(FT_Render_Glyph(ref.face->glyph, FT_RENDER_MODE_NORMAL), 0);
    const FT_Bitmap& bm = ref.face->glyph->bitmap;
    const int left = ref.face->glyph->bitmap_left, top = ref.face->glyph->bitmap_top;
    const COLORREF color = RGB(200, 40, 100);
    for (int depth : {32, 16}) {
        SCOPED_TRACE(depth);
        TextSurface s(40, 40, depth, font);
        SetTextColor(s.dc, color);
        TEXTMETRICW tm{};
        GetTextMetricsW(s.dc, &tm);
        ASSERT_TRUE(ExtTextOutW(s.dc, 5, 5, 0, nullptr, u"g", 1, nullptr));
        int partial = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const int gx = x - 5 - left, gy = y - 5 - (tm.tmAscent - top);
                int a = 0;
                if (gx >= 0 && gy >= 0 && gx < int(bm.width) && gy < int(bm.rows)) a = bm.buffer[gy * bm.pitch + gx];
                const int w = a + (a >> 7);
                const COLORREF got = s.At(x, y);
                for (int shift : {0, 8, 16}) {
                    const int to = int((color >> shift) & 0xFF);
                    const int want = 255 + (((to - 255) * w) >> 8);
                    // 16-bit channels keep five or six bits.
                    EXPECT_NEAR(int((got >> shift) & 0xFF), want, depth == 16 ? 8 : 0) << x << "," << y;
                }
                partial += a > 0 && a < 255;
            }
        EXPECT_GT(partial, 0);
    }
    // Without anti-aliasing every pixel is text or background.
    HFONT mono = MakeFont(u"DejaVu Sans", -kEm, FW_NORMAL, false, NONANTIALIASED_QUALITY);
    TextSurface m(40, 40, 32, mono);
    ExtTextOutW(m.dc, 5, 5, 0, nullptr, u"g", 1, nullptr);
    int ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const COLORREF c = m.At(x, y);
            EXPECT_TRUE(c == 0 || c == 0xFFFFFF);
            ink += c == 0;
        }
    EXPECT_GT(ink, 0);
    DeleteObject(mono);
}

TEST_F(TextTest, DrawingClipsToTheRectangleUnlessNoClip) {
    TextSurface s(100, 40, 32, font);
    RECT r{10, 10, 30, 30};
    DrawTextW(s.dc, u"Clipped text", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    const RECT ink = s.Ink();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 30);
    DrawTextW(s.dc, u"Clipped text", -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    EXPECT_GT(s.Ink().right, 30);
}

// Turned text is the upright text's coverage turned into the rectangle.
TEST_F(TextTest, TurnedFontsTurnTheUprightCoverage) {
    const char16_t* text = u"Up!";
    TextSurface upright(60, 60, 32, font);
    RECT box{0, 0, 60, 60};
    DrawTextW(upright.dc, text, -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int w = box.right, h = box.bottom;
    DrawTextW(upright.dc, text, -1, &box, DT_SINGLELINE | DT_NOPREFIX);
    for (int angle : {900, 1800, 2700}) {
        SCOPED_TRACE(angle);
        HFONT turned = MakeFont(u"DejaVu Sans", -kEm, FW_NORMAL, false, ANTIALIASED_QUALITY, angle);
        TextSurface s(60, 60, 32, turned);
        const bool quarter = angle != 1800;
        RECT r{0, 0, quarter ? h : w, quarter ? w : h};
        DrawTextW(s.dc, text, -1, &r, DT_SINGLELINE | DT_NOPREFIX);
        for (int v = 0; v < h; ++v)
            for (int u = 0; u < w; ++u) {
                int x, y;
                if (angle == 900)
                    x = v, y = w - 1 - u;
                else if (angle == 1800)
                    x = w - 1 - u, y = h - 1 - v;
                else
                    x = h - 1 - v, y = u;
                ASSERT_EQ(s.At(x, y), upright.At(u, v)) << u << "," << v;
            }
        DeleteObject(turned);
    }
}

TEST_F(TextTest, PrefixesUnderlineAndDoubleAmpersandsStay) {
    TextSurface s(8, 8, 32, font);
    SIZE file{}, amp{};
    GetTextExtentPoint32W(s.dc, u"File", 4, &file);
    GetTextExtentPoint32W(s.dc, u"a&b", 3, &amp);
    RECT r{0, 0, 100, 100};
    DrawTextW(s.dc, u"&File", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, file.cx);
    r = RECT{0, 0, 100, 100};
    DrawTextW(s.dc, u"a&&b", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, amp.cx);
    // The marked letter is underlined: ink below the baseline under the F only.
    TextSurface d(100, 40, 32, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(d.dc, &tm);
    RECT dr{0, 0, 100, 40};
    DrawTextW(d.dc, u"&File", -1, &dr, DT_SINGLELINE);
    bool under = false;
    for (int y = tm.tmAscent + 1; y < tm.tmHeight; ++y)
        under |= d.At(2, y) != 0xFFFFFF;
    EXPECT_TRUE(under);
}

TEST_F(TextTest, RightToLeftRunsAreShownReversed) {
    struct Case {
        std::u16string logical;
        bool rtl;
        std::u32string visual;
    } cases[] = {
        {u"abc \u05D0\u05D1\u05D2", false, U"abc \u05D2\u05D1\u05D0"},
        {u"\u05D0\u05D1 12", false, U"\u05D1\u05D0 12"},
        {u"abc.", true, U".abc"},
        {u"ab \u05D0\u05D1", true, U"\u05D1\u05D0 ab"},
        {u"plain", false, U"plain"},
    };
    platform::detail::FontInstance* in = platform::detail::InstanceOf(font);
    for (const Case& c : cases) {
        const auto adv = platform::text::UnitAdvances(in, c.logical.data(), c.logical.size());
        const auto line = platform::text::ReorderLine(c.logical.data(), adv, 0, c.logical.size(), c.rtl, SIZE_MAX);
        EXPECT_TRUE(line.chars == c.visual) << int(&c - cases);
    }
}

TEST_F(TextTest, BadCallsFailCleanly) {
    TextSurface s(20, 20, 32, font);
    RECT r{0, 0, 10, 10};
    EXPECT_EQ(DrawTextW(s.dc, nullptr, 3, &r, 0), 0);
    EXPECT_EQ(DrawTextW(s.dc, u"x", 1, nullptr, 0), 0);
    EXPECT_EQ(DrawTextW(nullptr, u"x", 1, &r, 0), 0);
    SIZE size{};
    EXPECT_FALSE(GetTextExtentPoint32W(s.dc, nullptr, 2, &size));
    EXPECT_FALSE(GetTextExtentPoint32W(reinterpret_cast<HDC>(&size), u"x", 1, &size));
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    // A font deleted while selected leaves the DC with the default font.
    HFONT gone = MakeFont(u"DejaVu Sans", -40);
    SelectObject(s.dc, gone);
    EXPECT_TRUE(DeleteObject(gone));
    EXPECT_TRUE(GetTextExtentPoint32W(s.dc, u"x", 1, &size));
    EXPECT_GT(size.cx, 0);
    // Absurd heights are bounded, not allocated.
    HFONT huge = MakeFont(u"DejaVu Sans", INT32_MIN + 1);
    SelectObject(s.dc, huge);
    EXPECT_TRUE(ExtTextOutW(s.dc, 0, 0, 0, nullptr, u"W", 1, nullptr));
    SelectObject(s.dc, font);
    DeleteObject(huge);
}

TEST(FontResourceTest, AddsAndRemovesFontFiles) {
    FcInit();
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans Mono"));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult res;
    FcPattern* m = FcFontMatch(nullptr, p, &res);
    FcChar8* file = nullptr;
    ASSERT_EQ(FcPatternGetString(m, FC_FILE, 0, &file), FcResultMatch);
    const std::string copy = testing::TempDir() + "/added_face.ttf";
    {
        std::ifstream in(reinterpret_cast<const char*>(file), std::ios::binary);
        std::ofstream out(copy, std::ios::binary);
        out << in.rdbuf();
    }
    FcPatternDestroy(m);
    FcPatternDestroy(p);
    const std::u16string path(copy.begin(), copy.end());
    EXPECT_EQ(AddFontResourceW(path.c_str()), 1);
    EXPECT_TRUE(RemoveFontResourceW(path.c_str()));
    EXPECT_FALSE(RemoveFontResourceW(path.c_str()));
    const std::string junk = testing::TempDir() + "/not_a_font.ttf";
    std::ofstream(junk) << "not a font";
    const std::u16string junkPath(junk.begin(), junk.end());
    EXPECT_EQ(AddFontResourceW(junkPath.c_str()), 0);
    EXPECT_EQ(AddFontResourceW(u"/no/such/file.ttf"), 0);
    std::remove(copy.c_str());
    std::remove(junk.c_str());
}

} // namespace
