#include "toolkit/style/style_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

std::string Narrow(const char16_t* s) {
    std::string out;
    for (; s && *s; ++s)
        out += *s < 128 ? char(*s) : '?';
    return out;
}

std::u16string Text(const oxStyleValue& v) {
    WCHAR* s = v.ToString();
    std::u16string out = s ? s : u"<null>";
    std::free(s);
    return out;
}

constexpr unsigned kNumbersAndKeywords = 0x2C;
constexpr unsigned kColours = 0x56; // references, keywords, colours
constexpr unsigned kNumbersOnly = 0x08;

// One input under one mask, and what it gives. `word` is the value word of scalar types; `text`
// the text form (ToString) when given.
struct Case {
    const char16_t* input;
    unsigned mask;
    bool ok;
    oxStyleType type;
    int32_t word;
    const char16_t* text;
};

// clang-format off
const Case kCases[] = {
    // null, empty
    {u"null", kNumbersAndKeywords, true, kStyleNull, 0, u""},
    {u"NULL", 0x200, true, kStyleNull, 0, u""},
    {u"NuLl", 0x80, true, kStyleNull, 0, u""},
    {u"", kNumbersAndKeywords, false, kStyleNull, 0, nullptr},
    {u"", 0x80, false, kStyleNull, 0, nullptr},
    // numbers and units
    {u"10px", kNumbersAndKeywords, true, kStylePx, 10, nullptr},
    {u"10PX", kNumbersAndKeywords, true, kStyleNumber, 10, nullptr},
    {u"-7", kNumbersAndKeywords, true, kStyleNumber, -7, nullptr},
    {u"5-3", kNumbersAndKeywords, true, kStyleNumber, 5, nullptr},
    {u"50%", kNumbersAndKeywords, true, kStylePercent, 50, nullptr},
    {u"12pt", kNumbersOnly, true, kStylePt, 12, nullptr},
    {u"2em", kNumbersOnly, true, kStyleEm, 2, nullptr},
    {u"3s", 0x20, true, kStyleSeconds, 3, nullptr},
    {u"250ms", 0x20, true, kStyleMs, 250, nullptr},
    {u"-4*", kNumbersOnly, true, kStyleScaled, -4, nullptr},
    {u"1.5em", kNumbersOnly, true, kStyleNumber, 1, nullptr},
    {u"0", kNumbersOnly, true, kStyleNumber, 0, nullptr},
    {u"-", kNumbersOnly, true, kStyleNumber, 0, nullptr},
    {u"4294967297px", kNumbersOnly, true, kStylePx, 1, nullptr},    // out of range: 32-bit accumulation
    {u"2147483648", kNumbersOnly, true, kStyleNumber, INT32_MIN, nullptr},
    {u"10px", 0x04, false, kStyleNull, 0, nullptr},                  // no number bits
    {u"(10)", kNumbersAndKeywords, false, kStyleNull, 0, nullptr},
    {u" 10", kNumbersAndKeywords, false, kStyleKeyword, -1, nullptr}, // a blank first makes it a word
    // keywords
    {u"auto", kNumbersOnly, true, kStyleKeyword, 0, u"auto"},        // words are tried as keywords
    {u"splitterv", 0x04, true, kStyleKeyword, 25, nullptr},
    {u"*", 0x04, true, kStyleKeyword, 72, nullptr},
    {u"Auto", 0x04, false, kStyleKeyword, -1, nullptr},              // case-sensitive
    {u"bogus", kNumbersAndKeywords, false, kStyleKeyword, -1, nullptr},
    {u"auto", 0x40, false, kStyleNull, 0, nullptr},                  // references only
    {u"auto", 0x50, true, kStyleKeyword, 0, nullptr},
    // colours
    {u"#abc", kColours, true, kStyleColor, 0x000FFABC, nullptr},
    {u"#80ff0000", kColours, true, kStyleColor, int32_t(0x80FF0000), nullptr},
    {u"#ff0000", kNumbersAndKeywords, true, kStyleColor, int32_t(0xFFFF0000), nullptr}, // '#' always tries colour
    {u"#12345g", kColours, false, kStyleNull, 0, nullptr},
    {u"RED", kColours, true, kStyleColor, int32_t(0xFFFF0000), nullptr},
    {u"greenery", kColours, true, kStyleColor, int32_t(0xFF008000), nullptr},
    {u"none", kColours, true, kStyleKeyword, 28, nullptr},
    {u"syscolorNoSuch", kColours, true, kStyleSysColor, 0, u"syscolorNoSuch"},
    {u"SYSCOLORwindow", 0x02, true, kStyleSysColor, 0, u"SYSCOLORwindow"},
    {u"red", kNumbersAndKeywords, false, kStyleKeyword, -1, nullptr}, // colours not accepted
    // references
    {u"url(#a)", 0x40, true, kStyleUrl, 1, u"#a"},
    {u"URL(pics/a.png)", kColours, true, kStyleUrl, 1, u"pics/a.png"},
    {u"urlx(#a)", 0x40, true, kStyleUrl, 1, u"#a"},
    {u"url(a(b))", 0x40, true, kStyleUrl, 1, u"a(b)"},
    {u"url(#a) trailing", 0x40, true, kStyleUrl, 1, u"#a"},
    {u"url()", 0x40, true, kStyleUrl, 1, u""},
    {u"url(#a", 0x40, false, kStyleNull, 0, nullptr},                // unterminated
    {u"url)#a(", 0x40, false, kStyleNull, 0, nullptr},
    {u"url", 0x50, false, kStyleKeyword, -1, nullptr},
    {u"url(#a)", kNumbersAndKeywords, false, kStyleKeyword, -1, nullptr}, // references not accepted
    {u"OSTheme( Button , Push )", 0x40, true, kStyleTheme, 0, u"OSTheme(button,push,)"},
    {u"ostheme(A,B,C,D)", 0x40, true, kStyleTheme, 0, u"OSTheme(a,b,c)"},
    {u"OSTheme(a,b", 0x40, false, kStyleNull, 0, nullptr},           // unterminated
    {u"OSTheme (a)", 0x40, false, kStyleNull, 0, nullptr},
    // text
    {u"Tahoma", 0x80, true, kStyleText, 0, u"Tahoma"},
    {u"12", 0x80, true, kStyleText, 0, u"12"},                       // exactly 0x80 takes anything
    {u"url(x)", 0xC0, true, kStyleUrl, 1, u"x"},
    {u"anything", 0xC0, true, kStyleText, 0, u"anything"},
    // four sides
    {u"1 2 3", 0x200, true, kStyleRect, 0, u"1 2 3 2"},
    {u"1", 0x200, true, kStyleRect, 0, u"1 1 1 1"},
    {u"1  auto", 0x200, true, kStyleRect, 0, u"1 auto 1 auto"},
    {u"1 bogus 2 3 4 5", 0x200, true, kStyleRect, 0, u"1 2 3 4"},    // a failing part is skipped
    {u"bogus", 0x200, true, kStyleRect, 0, u"   "},                  // nothing parsed: four null sides
    // pair or four (stroke)
    {u"red 2", 0x156, true, kStyleRect, 0, u"#ffff0000 2 #ffff0000 2"},
    {u"red 1 blue 2", 0x156, true, kStyleRect, 0, u"#ffff0000 1 #ff0000ff 2"},
    {u"red", 0x156, true, kStyleColor, int32_t(0xFFFF0000), nullptr},
    {u"red 1 blue", 0x156, true, kStyleColor, int32_t(0xFFFF0000), nullptr}, // three parts: read as one colour word
};
// clang-format on

} // namespace

TEST(StyleParser, TextToValue) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(Narrow(c.input) + " mask " + std::to_string(c.mask));
        oxStyleValue v;
        EXPECT_EQ(ParseStyleValue(c.input, c.mask, &v), c.ok);
        EXPECT_EQ(v.GetType(), c.type);
        if (c.type != kStyleRect && c.type != kStyleTheme && c.type != kStyleSysColor) {
            EXPECT_EQ(v.GetValue(), c.word);
        }
        if (c.text) {
            EXPECT_EQ(Text(v), std::u16string(c.text));
        }
    }
    oxStyleValue v;
    EXPECT_FALSE(ParseStyleValue(nullptr, 0x2C, &v));
}

TEST(StyleParser, ThemeArgumentsAreLowerCasedTextsWithMissingOnesNull) {
    oxStyleValue v;
    ASSERT_TRUE(ParseStyleValue(u"OSTheme( Button , Push )", 0x40, &v));
    ASSERT_NE(v.GetTheme(), nullptr);
    const oxStyleValue* parts = v.GetTheme()->parts;
    EXPECT_EQ(parts[0].GetType(), kStyleText);
    EXPECT_EQ(std::u16string(parts[0].GetText()), u"button");
    EXPECT_EQ(std::u16string(parts[1].GetText()), u"push");
    EXPECT_TRUE(parts[2].IsNull());
}

TEST(StyleParser, PropertiesUseTheirOwnMasks) {
    struct Case {
        const char16_t* name;
        const char16_t* input;
        bool ok;
        oxStyleType type;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"width", u"auto", true, kStyleKeyword, u"auto"},
        {u"zIndex", u"auto", true, kStyleKeyword, u"auto"}, // numbers-only still tries keywords
        {u"fill", u"red", true, kStyleColor, u"#ffff0000"},
        {u"fill", u"url(#brush)", true, kStyleUrl, u"#brush"},
        {u"width", u"red", false, kStyleKeyword, nullptr},
        {u"fontFamily", u"Tahoma", true, kStyleText, u"Tahoma"},
        {u"font", u"Tahoma", false, kStyleNull, nullptr},
        {u"margin", u"1 2 3", true, kStyleRect, u"1 2 3 2"},
        {u"margin", u"NULL", true, kStyleNull, u""},
        {u"margin", u"", false, kStyleNull, nullptr},
        {u"stroke", u"red 2", true, kStyleRect, u"#ffff0000 2 #ffff0000 2"},
        {u"stroke", u"red", true, kStyleColor, u"#ffff0000"},
        {u"noSuchProperty", u"auto", true, kStyleKeyword, u"auto"},
        {u"noSuchProperty", u"10", false, kStyleNull, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name) + ": " + Narrow(c.input));
        oxStyleValue v;
        EXPECT_EQ(ParseStylePropertyValue(StylePropertyIdFromName(c.name), c.input, &v), c.ok);
        EXPECT_EQ(v.GetType(), c.type);
        if (c.text) {
            EXPECT_EQ(Text(v), std::u16string(c.text));
        }
    }
    oxStyleValue v;
    EXPECT_FALSE(ParseStylePropertyValue(0, nullptr, &v));
    EXPECT_FALSE(ParseStylePropertyValue(128, u"auto", &v));
    EXPECT_FALSE(ParseStylePropertyValue(-2, u"auto", &v));
}

TEST(StyleParser, RectValueParseOfResourceElements) {
    struct Case {
        const char16_t* input;
        bool ok;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"1 2 3", true, u"1 2 1 2"}, // a third part is not used
        {u"7", true, u"7 7 7 7"},     {u"1 2", true, u"1 2 1 2"}, {u"1 2 3 4 5", true, u"1 2 3 4"},
        {u"   ", false, u"   "},      {u"", false, u"   "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.input));
        oxStyleRectValue rect;
        EXPECT_EQ(rect.Parse(c.input, 0x2C), c.ok);
        WCHAR* s = rect.ToString();
        EXPECT_EQ(std::u16string(s), std::u16string(c.text));
        std::free(s);
    }
    oxStyleRectValue rect;
    EXPECT_FALSE(rect.Parse(nullptr, 0x2C));
}
