#include "toolkit/base/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>

namespace {

TEST(NumberTextTest, ParseDecimalInt) {
    struct Case {
        const char16_t* text;
        size_t max;
        int32_t value;
        size_t stop; // units read
    } cases[] = {
        {u"  -42px", 0, -42, 5}, {u"4-2", 0, 4, 1},         {u"+", 0, 0, 1}, {u"\t+17", 0, 17, 4},
        {u"+-5", 0, 0, 1},       {u"123456", 3, 123, 3},    {u"", 0, 0, 0},  {u"abc", 0, 0, 0},
        {u"12 34", 0, 12, 2},    {u"4294967297", 0, 1, 10}, // wraps like the 32-bit original
    };
    for (const Case& c : cases) {
        int32_t value = -1;
        const WCHAR* stop = ParseDecimalInt(c.text, &value, c.max);
        EXPECT_EQ(value, c.value) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(size_t(stop - c.text), c.stop);
    }
    int32_t value = 5;
    ParseDecimalInt(nullptr, &value, 0);
    EXPECT_EQ(value, 0);

    EXPECT_EQ(std::u16string(SkipBlanks(u" \t x y", true)), u"x y");
    EXPECT_EQ(std::u16string(SkipBlanks(u"ab\tc", false)), u"\tc");
    EXPECT_EQ(*SkipBlanks(u"abc", false), 0);
    EXPECT_EQ(SkipBlanks(nullptr, true), nullptr);
}

TEST(NumberTextTest, IntToText) {
    struct Case {
        int32_t value;
        size_t size;
        int radix;
        const char16_t* text;
    } cases[] = {
        {255, 8, 16, u"ff"},    {-10, 8, 10, u"-10"}, {0, 8, 10, u"0"},
        {5, 8, 2, u"101"},      {35, 8, 36, u"z"},    {INT_MIN, 16, 10, u"-2147483648"},
        {12345, 4, 10, u"123"}, {7, 1, 10, u""},      {7, 2, 10, u"7"},
    };
    for (const Case& c : cases) {
        WCHAR buffer[17];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        IntToText(c.value, buffer, c.size, c.radix);
        EXPECT_EQ(std::u16string(buffer), c.text) << c.value;
        EXPECT_EQ(buffer[c.size], u'#'); // nothing written past the buffer
    }
}

} // namespace
