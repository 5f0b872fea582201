#include "toolkit/style/attribute_value.h"

#include <gtest/gtest.h>

#include <string>

#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"

TEST(AttributeValue, BoolsAndInts) {
    EXPECT_TRUE(ParseBool(u"1"));
    EXPECT_TRUE(ParseBool(u"TrUe"));
    for (const char16_t* no : {u"0", u"yes", u"true ", u" 1", u"", static_cast<const char16_t*>(nullptr)})
        EXPECT_FALSE(ParseBool(no));

    struct Case {
        const char16_t* text;
        int32_t value;
    };
    const Case cases[] = {
        {u"42", 42},     {u"  -17px", -17}, {u"+5", 5}, {u"-+5", -5}, {u"5-3", 5},        {u"12 34", 12},
        {u"12\t34", 12}, {u"abc", 0},       {u"", 0},   {u"-", 0},    {u"4294967296", 0}, {u"\n 9", 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseInt(c.text), c.value);
    EXPECT_EQ(ParseInt(nullptr), 0);
}

TEST(AttributeValue, ColoursSidesAndModes) {
    EXPECT_EQ(ParseColorString(u"#80ff0000"), int32_t(0x80FF0000));
    EXPECT_EQ(ParseColorString(u"nocolour"), -1);

    oxAtoms::RegisterPredefined();
    EXPECT_EQ(SideFromAtom(u"top"), 1);
    EXPECT_EQ(SideFromAtom(u"RIGHT"), 2);
    EXPECT_EQ(SideFromAtom(u"bottom"), 3);
    EXPECT_EQ(SideFromAtom(u"left"), 4);
    EXPECT_EQ(SideFromAtom(u"middle"), 0);
    EXPECT_EQ(SideFromAtom(nullptr), 0);

    EXPECT_EQ(ParseBoxModeFlags(u"single"), 1024u);
    EXPECT_EQ(ParseBoxModeFlags(u"Single"), 0u);
    EXPECT_EQ(ParseBoxModeFlags(u"select"), 0x10000u);
    EXPECT_EQ(ParseBoxModeFlags(u"contiguous"), 4096u);
    EXPECT_EQ(ParseBoxModeFlags(nullptr), 0u);

    WCHAR buffer[16];
    FormatBoxModeFlags(4096, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"none");
    FormatBoxModeFlags(0x8000, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"cursor");
    FormatBoxModeFlags(3, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"none");
    SideToString(3, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"bottom");
    SideToString(9, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"none");
}

TEST(AttributeValue, Formatters) {
    WCHAR buffer[16];
    FormatBool(false, buffer, 3);
    EXPECT_EQ(std::u16string(buffer), u"fa");
    FormatBool(true, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"true");
    FormatInt(-2147483647 - 1, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"-2147483648");
    FormatColor(0x000000FF, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"#ff");
    FormatColor(0xFF0000FF, buffer, 16);
    EXPECT_EQ(std::u16string(buffer), u"#ff0000ff");
    FormatInt(7, buffer, 0); // no room: nothing written, no crash
}

TEST(AttributeValue, IntRects) {
    struct Case {
        const char16_t* text;
        oxRect expected; // {left, top, right, bottom}
    };
    const Case cases[] = {
        {u"5", {5, 5, 5, 5}},       {u"1 2", {2, 1, 2, 1}},       {u"1  2", {2, 1, 2, 1}}, {u"1 2 3", {0, 0, 0, 0}},
        {u"1 2 3 4", {4, 1, 2, 3}}, {u"1 2 3 4 5", {4, 1, 2, 3}}, {u"", {0, 0, 0, 0}},     {u"-1 x", {0, -1, 0, -1}},
    };
    for (const Case& c : cases) {
        oxRect r = ParseIntRect(c.text);
        EXPECT_EQ(r.x, c.expected.x);
        EXPECT_EQ(r.y, c.expected.y);
        EXPECT_EQ(r.width, c.expected.width);
        EXPECT_EQ(r.height, c.expected.height);
    }
    oxRect r = ParseIntRect(nullptr);
    EXPECT_EQ(r.x, 0);
}
