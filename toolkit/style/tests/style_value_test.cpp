#include "toolkit/style/style_value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "toolkit/style/style_parser.h"
#include "toolkit/style/ui_scale.h"

namespace {

std::u16string Text(const oxStyleValue& v) {
    WCHAR* s = v.ToString();
    std::u16string out = s ? s : u"<null>";
    std::free(s);
    return out;
}

oxStyleValue Parsed(const char16_t* text, unsigned mask) {
    oxStyleValue v;
    EXPECT_TRUE(ParseStyleValue(text, mask, &v)) << std::string(text, text + std::char_traits<char16_t>::length(text));
    return v;
}

} // namespace

TEST(StyleValue, CopiesDeepCopySidesAndShareText) {
    oxStyleValue copy;
    {
        oxStyleValue sides = Parsed(u"1 2 3 4", 0x200);
        copy = sides;
        ASSERT_NE(copy.GetRect(), nullptr);
        EXPECT_NE(copy.GetRect(), sides.GetRect());
        EXPECT_FALSE(copy.Equals(sides)); // compound values equal only themselves
        EXPECT_TRUE(sides.Equals(sides));
    }
    EXPECT_EQ(Text(copy), u"1 2 3 4");

    oxStyleValue text;
    {
        oxStyleValue source(u"hello", kStyleText);
        text = source;
        EXPECT_EQ(text.GetText(), source.GetText()); // one shared payload
    }
    EXPECT_EQ(std::u16string(text.GetText()), u"hello");

    oxStyleValue theme = Parsed(u"OSTheme(a,b,c)", 0x40);
    oxStyleValue themeCopy(theme);
    theme = theme; // self-assignment keeps the payload
    ASSERT_NE(theme.GetTheme(), nullptr);
    EXPECT_EQ(Text(theme), u"OSTheme(a,b,c)");
    EXPECT_EQ(Text(themeCopy), u"OSTheme(a,b,c)");
}

TEST(StyleValue, EqualityByTypeTextAndQualification) {
    oxStyleValue plain(u"#a", kStyleUrl), qualified(u"#a", kStyleUrl);
    plain.SetValue(1);
    qualified.SetValue(0);
    EXPECT_FALSE(plain.Equals(qualified));
    oxStyleValue plain2(u"#a", kStyleUrl);
    plain2.SetValue(7); // any non-zero flag is "plain"
    EXPECT_TRUE(plain.Equals(plain2));

    EXPECT_TRUE(oxStyleValue(u"Abc", kStyleText).Equals(oxStyleValue(u"Abc", kStyleText)));
    EXPECT_FALSE(oxStyleValue(u"Abc", kStyleText).Equals(oxStyleValue(u"abc", kStyleText)));
    EXPECT_FALSE(oxStyleValue(u"Abc", kStyleText).Equals(oxStyleValue(kStyleText)));
    EXPECT_TRUE(oxStyleValue(kStyleText).Equals(oxStyleValue(kStyleText)));
    EXPECT_FALSE(oxStyleValue(5, kStylePx).Equals(oxStyleValue(5, kStyleNumber)));
    EXPECT_TRUE(oxStyleValue(5, kStylePx).Equals(oxStyleValue(5, kStylePx)));
}

TEST(StyleValue, ScaledNumbersReadThroughTheUiScale) {
    struct Case {
        int32_t number;
        oxStyleType type;
        float scale;
        int32_t expected;
    };
    const Case cases[] = {
        {10, kStyleScaled, 1.3f, 13},
        {10, kStyleScaled, 1.0f, 10},
        {-3, kStyleScaled, 1.5f, -4},
        {50, kStylePercent, 2.0f, 50},
        {16777217, kStyleNumber, 1.0f, 16777216}, // through single precision
        {INT32_MAX, kStyleScaled, 3.0f, INT32_MAX},
        {10, kStyleScaled, 9.0f, 30}, // scale kept at 3
    };
    for (const Case& c : cases) {
        SetUiScale(c.scale);
        EXPECT_EQ(oxStyleValue(c.number, c.type).GetInt(), c.expected) << c.number << " at " << c.scale;
    }
    SetUiScale(0.1f);
    EXPECT_EQ(GetUiScale(), 0.5f);
    SetUiScale(1.0f);
}

TEST(StyleValue, TextForms) {
    EXPECT_EQ(Text(oxStyleValue(12, kStylePx)), u"");
    EXPECT_EQ(Text(oxStyleValue(12, kStyleNumber)), u"12");
    EXPECT_EQ(Text(oxStyleValue(INT32_MIN, kStyleInteger)), u"-2147483648");
    EXPECT_EQ(Text(oxStyleValue::Color(0)), u"#0");
    EXPECT_EQ(Text(oxStyleValue::Color(0xFF0000FF)), u"#ff0000ff");
    EXPECT_EQ(Text(oxStyleValue::Color(0x000000FF)), u"#ff");
    EXPECT_EQ(Text(oxStyleValue::Keyword(25)), u"splitterv");
    EXPECT_EQ(Text(oxStyleValue::Keyword(-1)), u"");
    EXPECT_EQ(Text(Parsed(u"url(#x)", 0x40)), u"#x");
    EXPECT_EQ(Text(Parsed(u"2 auto", 0x200)), u"2 auto 2 auto");
    EXPECT_EQ(Text(Parsed(u"OSTheme(Button,Push)", 0x40)), u"OSTheme(button,push,)");
    EXPECT_EQ(Text(oxStyleValue(kStyleRect)), u""); // no payload
    EXPECT_EQ(Text(oxStyleValue()), u"");
}

TEST(StyleValue, ColoursAndTextReadByType) {
    EXPECT_EQ(oxStyleValue::Color(0x80FF0000).GetColor(), 0x80FF0000u);
    EXPECT_EQ(oxStyleValue(u"syscolorNoSuchThing", kStyleSysColor).GetColor(), 0xFF000000u);
    EXPECT_EQ(oxStyleValue(u"SYSCOLORWINDOW", kStyleSysColor).GetColor(), 0xFFFFFFFFu);
    EXPECT_EQ(oxStyleValue::Keyword(0).GetColor(), 0u);

    // Assigning a number keeps the old text, but the number has no text to give.
    oxStyleValue v(u"old", kStyleText);
    v = oxStyleValue(3, kStyleNumber);
    EXPECT_EQ(v.GetText(), nullptr);
    v.Clear(true);
    EXPECT_TRUE(v.IsNull());
}

TEST(StyleValue, DupWideString) {
    WCHAR* out = nullptr;
    DupWideStringN(&out, u"abcdef", 3);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::u16string(out), u"abc");
    std::free(out);
    out = nullptr;
    DupWideStringN(&out, nullptr, 3);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DupWideString(nullptr), nullptr);
    WCHAR* copy = DupWideString(u"x");
    EXPECT_EQ(std::u16string(copy), u"x");
    std::free(copy);
}
