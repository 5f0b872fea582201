#include "toolkit/style/color.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win/sys_color.h"
#include "toolkit/style/style_value.h"

namespace {

std::string Narrow(const char16_t* s) {
    std::string out;
    for (; s && *s; ++s)
        out += char(*s);
    return out;
}

} // namespace

TEST(Color, ParseColorForms) {
    struct Case {
        const char16_t* text;
        bool ok;
        uint32_t argb;
    };
    const Case cases[] = {
        {u"RED", true, 0xFFFF0000},
        {u"greenery", true, 0xFF008000},
        {u"blueish", true, 0xFF0000FF},
        {u"Fuchsia", true, 0xFFFF00FF},
        {u"gre", false, 0xFF000000},
        {u"pink", false, 0xFF000000},
        {u"#ff0000", true, 0xFFFF0000},
        {u"#80ff0000", true, 0x80FF0000},
        {u"#abc", true, 0x000FFABC},
        {u"#ABCDEF", true, 0xFFABCDEF},
        {u"#12345g", false, 0xFF000000},
        {u"#", true, 0x000000FF},
        {u"#123456789abc", true, 0x23456789}, // longer texts keep their first nine digits
        {u"#12345678g", false, 0xFF000000},
        {u"", false, 0xFF000000},
        {u"syscolorwindow", true, 0xFFFFFFFF},
        {u"SYSCOLORWINDOW", true, 0xFFFFFFFF},
        {u"syscolorHotTrack", false, 0xFF000000},
        {u"syscolorwindowx", false, 0xFF000000},
        {u"syscoloritemhighlight", true, 0xFF000080},
        {u"syscolortooltipbg", true, 0xFFFFFFE1},
    };
    for (const Case& c : cases) {
        uint32_t argb = 0x12345678;
        EXPECT_EQ(ParseColor(c.text, &argb), c.ok) << Narrow(c.text);
        EXPECT_EQ(argb, c.argb) << Narrow(c.text);
    }
    uint32_t argb = 0;
    EXPECT_FALSE(ParseColor(nullptr, &argb));
    EXPECT_EQ(argb, 0xFF000000u);
}

TEST(Color, SystemColoursAreReadAtEveryCall) {
    uint32_t argb = 0;
    EXPECT_FALSE(SysColorToColor(0, &argb));
    EXPECT_EQ(argb, 0xFF000000u);
    EXPECT_FALSE(SysColorToColor(27, &argb));

    oxStyleValue window(u"syscolorwindow", kStyleSysColor);
    DWORD old = GetSysColor(COLOR_WINDOW);
    int index = COLOR_WINDOW;
    DWORD bgr = 0x00332211; // 0x00BBGGRR
    ASSERT_TRUE(SetSysColors(1, &index, &bgr));
    EXPECT_TRUE(SysColorToColor(22, &argb));
    EXPECT_EQ(argb, 0xFF112233u);
    EXPECT_EQ(window.GetColor(), 0xFF112233u);
    SetSysColors(1, &index, &old);
    EXPECT_EQ(window.GetColor(), 0xFFFFFFFFu);
}

TEST(Color, ColourValuesResolveByType) {
    EXPECT_EQ(ResolveColorValue(oxStyleValue::Color(0x80102030), nullptr), 0x80102030u);
    EXPECT_EQ(ResolveColorValue(oxStyleValue(u"syscolorwindowtext", kStyleSysColor), nullptr), 0xFF000000u);
    EXPECT_EQ(ResolveColorValue(oxStyleValue(5, kStyleNumber), nullptr), 0u);
    EXPECT_EQ(ParseColorValueText(u"#80ff0000", nullptr), 0x80FF0000u);
    EXPECT_EQ(ParseColorValueText(u"auto", nullptr), 0u);
    EXPECT_EQ(ParseColorValueText(nullptr, nullptr), 0u);
}

TEST(Color, Lerp) {
    struct Case {
        uint32_t from, to;
        float t;
        uint32_t expected;
    };
    const Case cases[] = {
        {0xFF000000, 0xFFFFFFFF, 0.5f, 0xFF7F7F7F},
        {0xFF000000, 0xFFFFFFFF, 2.0f, 0xFFFFFFFF},
        {0xFF000000, 0xFFFFFFFF, -1.0f, 0xFF000000},
        {0x00000000, 0xFF804020, 0.25f, 0x3F201008},
        {0x12345678, 0x9ABCDEF0, 0.0f, 0x12345678},
        {0x12345678, 0x9ABCDEF0, 1.0f, 0x9ABCDEF0},
        {0x12345678, 0x9ABCDEF0, std::numeric_limits<float>::quiet_NaN(), 0x12345678},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LerpColor(c.from, c.to, c.t), c.expected) << c.t;
}
