#include "platform/crt/wide.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>

TEST(Wide, Length) {
    EXPECT_EQ(wcslen(u""), 0u);
    EXPECT_EQ(wcslen(u"abc"), 3u);
    EXPECT_EQ(wcsnlen(u"abc", 2), 2u);
    EXPECT_EQ(wcsnlen(u"abc", 9), 3u);
}

TEST(Wide, CompareSign) {
    struct Case {
        const char16_t *a, *b;
        int cs, ci; // sign of wcscmp and _wcsicmp
    } cases[] = {
        {u"abc", u"abc", 0, 0},
        {u"ABC", u"abc", -1, 0},
        {u"abc", u"abd", -1, -1},
        {u"ab", u"abc", -1, -1},
        {u"abc", u"ab", 1, 1},
        {u"", u"", 0, 0},
        {u"\u00C9t\u00C9", u"\u00E9t\u00E9", -1, 0},
        {u"\u0416", u"\u0436", -1, 0},
        {u"\uFFFF", u"a", 1, 1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(wcscmp(c.a, c.b)), c.cs) << int(c.a[0]);
        EXPECT_EQ(sign(_wcsicmp(c.a, c.b)), c.ci) << int(c.a[0]);
    }
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
    EXPECT_EQ(_wcsnicmp(u"ABCX", u"abcY", 3), 0);
    EXPECT_LT(_wcsnicmp(u"ABCX", u"abcY", 4), 0);
}

TEST(Wide, CopyAndSearch) {
    WCHAR buf[16];
    EXPECT_EQ(std::u16string(wcscat(wcscpy(buf, u"ab"), u"cd")), u"abcd");
    wcsncpy(buf, u"xy", 5);
    EXPECT_EQ(buf[2], 0);
    EXPECT_EQ(buf[4], 0);
    const WCHAR* s = u"a/b/c";
    EXPECT_EQ(wcschr(s, u'/'), s + 1);
    EXPECT_EQ(wcsrchr(s, u'/'), s + 3);
    EXPECT_EQ(wcschr(s, 0), s + 5);
    EXPECT_EQ(wcschr(s, u'x'), nullptr);
    EXPECT_EQ(wcsstr(s, u"b/c"), s + 2);
    EXPECT_EQ(wcsstr(s, u""), s);
    EXPECT_EQ(wcsstr(s, u"c/"), nullptr);
    WCHAR* dup = _wcsdup(u"h\u00E9");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(std::u16string(dup), u"h\u00E9");
    free(dup);
    EXPECT_EQ(_wcsdup(nullptr), nullptr);
}

// Pairs of (upper, lower) that map both ways.
TEST(Wide, CaseMappingPairs) {
    const char16_t pairs[][2] = {
        {u'A', u'a'},     {u'Z', u'z'},     {0x00C0, 0x00E0}, {0x00DE, 0x00FE}, {0x0100, 0x0101}, {0x0139, 0x013A},
        {0x0178, 0x00FF}, {0x017D, 0x017E}, {0x0186, 0x0254}, {0x01CD, 0x01CE}, {0x0243, 0x0180}, {0x0391, 0x03B1},
        {0x03A3, 0x03C3}, {0x0386, 0x03AC}, {0x03E2, 0x03E3}, {0x0401, 0x0451}, {0x0410, 0x0430}, {0x042F, 0x044F},
        {0x0460, 0x0461}, {0x04C1, 0x04C2}, {0x04D0, 0x04D1}, {0x0531, 0x0561}, {0x10A0, 0x2D00}, {0x13A0, 0xAB70},
        {0x1E00, 0x1E01}, {0x1EA0, 0x1EA1}, {0x1F08, 0x1F00}, {0x1F59, 0x1F51}, {0x1FBA, 0x1F70}, {0x2160, 0x2170},
        {0x24B6, 0x24D0}, {0x2C00, 0x2C30}, {0x2C80, 0x2C81}, {0xA640, 0xA641}, {0xA722, 0xA723}, {0xA78D, 0x0265},
        {0xFF21, 0xFF41}, {0xFF3A, 0xFF5A},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(towlower(p[0]), p[1]) << std::hex << int(p[0]);
        EXPECT_EQ(towupper(p[1]), p[0]) << std::hex << int(p[1]);
        EXPECT_EQ(towlower(p[1]), p[1]) << std::hex << int(p[1]);
        EXPECT_EQ(towupper(p[0]), p[0]) << std::hex << int(p[0]);
    }
}

TEST(Wide, CaseMappingOneWay) {
    struct Case {
        char16_t c, lower, upper;
    } cases[] = {
        {0x00B5, 0x00B5, 0x039C}, // micro sign raises to capital mu
        {0x00DF, 0x00DF, 0x00DF}, // sharp s has no single-unit capital
        {0x1E9E, 0x00DF, 0x1E9E}, // capital sharp s
        {0x0130, 0x0069, 0x0130}, // capital I with dot
        {0x0131, 0x0131, 0x0049}, // dotless i
        {0x017F, 0x017F, 0x0053}, // long s
        {0x03C2, 0x03C2, 0x03A3}, // final sigma
        {0x212A, 0x006B, 0x212A}, // kelvin sign
        {0x2126, 0x03C9, 0x2126}, // ohm sign
        {0x01C5, 0x01C6, 0x01C4}, // title-case digraph
        {0x01C4, 0x01C6, 0x01C4}, {0x01C6, 0x01C6, 0x01C4}, {0x0138, 0x0138, 0x0138}, // kra, uncased
        {0x4E2D, 0x4E2D, 0x4E2D}, {0x0000, 0x0000, 0x0000}, {0xFFFF, 0xFFFF, 0xFFFF},
        {0x1F50, 0x1F50, 0x1F50}, // no capital exists
    };
    for (const Case& c : cases) {
        EXPECT_EQ(towlower(c.c), c.lower) << std::hex << int(c.c);
        EXPECT_EQ(towupper(c.c), c.upper) << std::hex << int(c.c);
    }
}

// Stride-two blocks alternate capital and small: check every unit of a few of them both ways.
TEST(Wide, CaseMappingAlternatingBlocks) {
    const char16_t blocks[][2] = {{0x0100, 0x012F}, {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x1E00, 0x1E95},
                                  {0x1EA0, 0x1EFF}, {0x2C80, 0x2CE3}, {0xA732, 0xA76F}};
    for (const auto& b : blocks) {
        for (char16_t c = b[0]; c <= b[1]; c += 2) {
            EXPECT_EQ(towlower(c), c + 1) << std::hex << int(c);
            EXPECT_EQ(towupper(char16_t(c + 1)), c) << std::hex << int(c);
        }
    }
}

TEST(Wide, LowerAndUpperInPlace) {
    WCHAR s[] = u"Hello \u0416\u0438\u0417\u00C4";
    EXPECT_EQ(std::u16string(_wcslwr(s)), u"hello \u0436\u0438\u0437\u00E4");
    EXPECT_EQ(std::u16string(_wcsupr(s)), u"HELLO \u0416\u0418\u0417\u00C4");
}

TEST(Wide, Classes) {
    for (char16_t c : {u' ', u'\t', u'\n', u'\r', u'\v', u'\f', char16_t(0xA0), char16_t(0x3000), char16_t(0x2009)})
        EXPECT_TRUE(iswspace(c)) << int(c);
    for (char16_t c : {u'a', u'0', u'_', char16_t(0), char16_t(0x200B), char16_t(0xFEFF)})
        EXPECT_FALSE(iswspace(c)) << int(c);
    EXPECT_TRUE(iswdigit(u'7'));
    EXPECT_FALSE(iswdigit(u'a'));
    for (char16_t c : {u'a', u'Z', char16_t(0xE9), char16_t(0x0436), char16_t(0x05D0), char16_t(0x4E2D)})
        EXPECT_TRUE(iswalpha(c)) << int(c);
    for (char16_t c : {u'1', u'_', u' ', char16_t(0xD7), char16_t(0x2013)})
        EXPECT_FALSE(iswalpha(c)) << int(c);
    EXPECT_TRUE(iswalnum(u'5'));
    EXPECT_FALSE(iswalnum(u'-'));
}

TEST(Wide, ToLong) {
    struct Case {
        const char16_t* s;
        int radix;
        long value;
        int used; // units consumed
    } cases[] = {
        {u"123", 10, 123, 3},
        {u"  -42x", 10, -42, 5},
        {u"\t+7", 10, 7, 3},
        {u"0x1F", 16, 31, 4},
        {u"0x1F", 0, 31, 4},
        {u"1F", 16, 31, 2},
        {u"017", 0, 15, 3},
        {u"0x", 16, 0, 1}, // the 0 is the number, the x is not
        {u"zz", 10, 0, 0},
        {u"", 10, 0, 0},
        {u"2147483647", 10, 2147483647, 10},
        {u"2147483648", 10, 2147483647, 10},
        {u"-2147483648", 10, -2147483647L - 1, 11},
        {u"-99999999999999999999", 10, -2147483647L - 1, 21},
        {u"ffffffff", 16, 2147483647, 8},
        {u"101", 2, 5, 3},
    };
    for (const Case& c : cases) {
        WCHAR* end = nullptr;
        EXPECT_EQ(wcstol(c.s, &end, c.radix), c.value) << std::u16string(c.s).size();
        EXPECT_EQ(end - c.s, c.used);
    }
    errno = 0;
    wcstol(u"99999999999", nullptr, 10);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 4294967295ul);
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 4294967295ul);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 4294967295ul);
    EXPECT_EQ(_wtoi(u" 12abc"), 12);
    EXPECT_EQ(_wtoi(u"abc"), 0);
}

TEST(Wide, ToDouble) {
    WCHAR* end = nullptr;
    const WCHAR* s = u"  -1.5e2px";
    EXPECT_DOUBLE_EQ(wcstod(s, &end), -150.0);
    EXPECT_EQ(end, s + 8);
    const WCHAR* bad = u"x1";
    EXPECT_EQ(wcstod(bad, &end), 0.0);
    EXPECT_EQ(end, bad);
    EXPECT_DOUBLE_EQ(wcstod(u"3.25\u00E9", &end), 3.25);
}
