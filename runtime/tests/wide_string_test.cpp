#include "runtime/wide_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using NUBO::TWString;

namespace {

std::u16string Text(const TWString& s) {
    return std::u16string(s.GetString(), size_t(s.GetLength()));
}

} // namespace

TEST(WideString, NullAndEmpty) {
    TWString null;
    EXPECT_EQ(null.GetBuffer(), nullptr);
    EXPECT_EQ(null.GetLength(), 0);
    EXPECT_TRUE(null.IsEmpty());
    EXPECT_EQ(std::u16string(null.GetString()), u"");

    TWString emptied;
    EXPECT_EQ(emptied.Resize(0, false), 1); // a null string resized to 0 gets a terminator block
    ASSERT_NE(emptied.GetBuffer(), nullptr);
    EXPECT_EQ(emptied.GetBuffer()[0], 0);
    EXPECT_TRUE(emptied.IsEmpty());

    EXPECT_EQ(TWString(static_cast<const WCHAR*>(nullptr)).GetBuffer(), nullptr);
    EXPECT_EQ(TWString(u'x', -1).GetBuffer(), nullptr);
    EXPECT_EQ(TWString(WCHAR(0), 3).GetBuffer(), nullptr);
    EXPECT_EQ(Text(TWString(u'x', 3)), u"xxx");
    EXPECT_EQ(Text(TWString(u'x', 300)), std::u16string(300, u'x'));
    EXPECT_EQ(TWString(u"abc", -1).GetBuffer(), nullptr);
    EXPECT_TRUE(NUBO::WStrIsEmpty(nullptr));
    EXPECT_TRUE(NUBO::WStrIsEmpty(u""));
    EXPECT_FALSE(NUBO::WStrIsEmpty(u" "));
}

TEST(WideString, AssignAndCopy) {
    TWString s(u"hello");
    TWString copy(s);
    EXPECT_NE(copy.GetBuffer(), s.GetBuffer());
    EXPECT_EQ(Text(copy), u"hello");

    EXPECT_EQ(s.Assign(u"xyz", -1), 0); // unchanged
    EXPECT_EQ(Text(s), u"hello");
    EXPECT_EQ(s.Assign(s.GetBuffer() + 1, 3), 1); // from its own text
    EXPECT_EQ(Text(s), u"ell");
    s = u'Q';
    EXPECT_EQ(Text(s), u"Q");
    s = WCHAR(0);
    EXPECT_EQ(Text(s), u"Q");
    s = s;
    EXPECT_EQ(Text(s), u"Q");
    s = TWString();
    ASSERT_NE(s.GetBuffer(), nullptr); // a null source assigns the empty text
    EXPECT_EQ(s.GetLength(), 0);
    s = static_cast<const WCHAR*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(WideString, Append) {
    TWString s;
    EXPECT_EQ(s.Append(nullptr, 5), 1);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.Append(u"ab", 0), 1);
    EXPECT_EQ(s.Append(u"ab", -1), 0);
    EXPECT_EQ(s.Append(u"abc", 2), 1);
    EXPECT_EQ(s += u"cd", 1);
    EXPECT_EQ(s += WCHAR(0), 1);
    EXPECT_EQ(s += u'e', 1);
    EXPECT_EQ(s += TWString(u"f"), 1);
    EXPECT_EQ(Text(s), u"abcdef");
    EXPECT_EQ(s.Append(s.GetBuffer(), s.GetLength()), 1); // doubling itself
    EXPECT_EQ(Text(s), u"abcdefabcdef");
    EXPECT_EQ(s.AppendNarrow("\xE2\x82\xAC", nullptr), 1);
    EXPECT_EQ(s.GetAt(12), 0x20AC);
}

TEST(WideString, AttachDetach) {
    TWString s(u"old");
    WCHAR* block = NUBO::AllocWideCopy(u"new text", 8);
    s.Attach(block);
    EXPECT_EQ(s.GetLength(), 8);
    WCHAR* taken = s.Detach();
    EXPECT_EQ(taken, block);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0);
    free(taken);
    s.Attach(nullptr);
    EXPECT_EQ(s.GetLength(), 0);

    WCHAR* blank = NUBO::AllocWideCopy(nullptr, 2);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank[2], 0);
    free(blank);
    EXPECT_EQ(NUBO::AllocWideCopy(u"x", -1), nullptr);
}

TEST(WideString, Resize) {
    TWString s(u"abcdef");
    EXPECT_EQ(s.Resize(3, true), 1);
    EXPECT_EQ(Text(s), u"abc");
    EXPECT_EQ(s.Resize(-1, true), 0);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0);
}

TEST(WideString, Compare) {
    struct Case {
        const WCHAR *a, *b;
        int sign;
    } cases[] = {
        {u"ABC", u"abc", 0}, {nullptr, u"", 0}, {nullptr, u"x", -1},       {nullptr, nullptr, 0},
        {u"xy", nullptr, 1}, {u"a", u"B", -1},  {u"\u0416", u"\u0436", 0},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(NUBO::WStrCompareNoCase(c.a, c.b)), c.sign);
        EXPECT_EQ(sign(TWString(c.a).Compare(c.b)), c.sign);
    }
    EXPECT_EQ(NUBO::WStrCompareNoCase(nullptr, u"xyz"), -3);
    EXPECT_EQ(NUBO::WStrCompareNoCase(u"xy", nullptr), 2);
}

TEST(WideString, Queries) {
    TWString s(u"a.b.cde");
    EXPECT_EQ(s.GetAt(0), u'a');
    EXPECT_EQ(s.GetAt(7), 0);
    EXPECT_EQ(s.GetAt(-1), 0);
    EXPECT_EQ(s.Find(u'.', 0), 1);
    EXPECT_EQ(s.Find(u'.', 2), 3);
    EXPECT_EQ(s.Find(u'.', 4), -1);
    EXPECT_EQ(s.Find(u'a', -1), -1);
    EXPECT_EQ(s.Find(u'e', 7), -1);
    EXPECT_EQ(s.FindString(u"cd", 0), 4);
    EXPECT_EQ(s.FindString(u"b", 3), -1);
    EXPECT_EQ(s.FindString(nullptr, 0), -1);
    EXPECT_EQ(s.FindString(u"a", 7), -1);
    EXPECT_EQ(s.FindOneOf(u"ed"), 5);
    EXPECT_EQ(s.FindOneOf(u"xyz"), -1);
    EXPECT_EQ(TWString().FindOneOf(u"a"), -1);
}

TEST(WideString, Slices) {
    TWString s(u"abcdef");
    struct Case {
        int start, count;
        const char16_t* text;
    } cases[] = {{0, 3, u"abc"}, {2, 99, u"cdef"}, {-5, 2, u"ab"}, {9, 2, u""}, {3, -1, u""}, {6, 1, u""}};
    for (const Case& c : cases)
        EXPECT_EQ(Text(s.Mid(c.start, c.count)), c.text) << c.start << "," << c.count;
    EXPECT_EQ(Text(s.MidToEnd(4)), u"ef");
    EXPECT_EQ(Text(s.Left(2)), u"ab");
    EXPECT_EQ(Text(s.Left(-2)), u"");
}

TEST(WideString, ReplaceAll) {
    struct Case {
        const char16_t *text, *pattern, *replacement, *result;
        int count;
    } cases[] = {
        {u"aaaa", u"aa", u"a", u"aa", 2},       {u"aaa", u"aa", u"b", u"ba", 1}, {u"abc", u"", u"x", u"abc", 0},
        {u"abc", nullptr, u"x", u"abc", 0},     {u"ab", u"abc", u"x", u"ab", 0}, {u"a-b-c", u"-", nullptr, u"abc", 2},
        {u"x", u"x", u"xx", u"xx", 1}, // replaced text is not searched again
        {u"abab", u"ab", u"ab!", u"ab!ab!", 2},
    };
    for (const Case& c : cases) {
        TWString s(c.text);
        EXPECT_EQ(s.ReplaceAll(c.pattern, c.replacement), c.count) << std::u16string(c.text).size();
        EXPECT_EQ(Text(s), c.result);
    }
    TWString s(u"a.b");
    EXPECT_EQ(s.Replace(u'.', u'/'), 1);
    EXPECT_EQ(Text(s), u"a/b");
}

TEST(WideString, InsertAndDelete) {
    TWString s(u"ab");
    EXPECT_EQ(s.Insert(99, u'x'), 3);
    EXPECT_EQ(Text(s), u"abx");
    EXPECT_EQ(s.Insert(0, u'>'), 4);
    EXPECT_EQ(s.Insert(-1, u'y'), 4);
    EXPECT_EQ(s.Insert(1, WCHAR(0)), 4);
    EXPECT_EQ(Text(s), u">abx");
    EXPECT_EQ(s.Delete(1, 2), 2);
    EXPECT_EQ(Text(s), u">x");
    EXPECT_EQ(s.Delete(2, 1), 2);
    EXPECT_EQ(s.Delete(-1, 1), 2);
    EXPECT_EQ(s.Delete(1, 50), 1);
    EXPECT_EQ(Text(s), u">");
    TWString null;
    EXPECT_EQ(null.Insert(0, u'z'), 1);
    EXPECT_EQ(Text(null), u"z");
}

TEST(WideString, TrimAndLower) {
    TWString s(u"xxabcxx");
    s.TrimRight(u'x');
    EXPECT_EQ(Text(s), u"xxabc");
    s.TrimLeft(u'x');
    EXPECT_EQ(Text(s), u"abc");
    s.TrimLeft(WCHAR(0));
    s.TrimRight(WCHAR(0));
    EXPECT_EQ(Text(s), u"abc");
    TWString spaced(u" \t\u3000 text ");
    spaced.TrimLeft();
    EXPECT_EQ(Text(spaced), u"text ");
    TWString all(u"xxx");
    all.TrimRight(u'x');
    EXPECT_EQ(all.GetLength(), 0);

    TWString mixed(u"Font Family \u0416\u00C9\u00A0");
    mixed.StripSpacesAndLower();
    EXPECT_EQ(Text(mixed), u"fontfamily\u0436\u00E9\u00A0");
    TWString lower(u"MiXeD \u0401");
    lower.MakeLower();
    EXPECT_EQ(Text(lower), u"mixed \u0451");
}

TEST(WideString, XmlEscape) {
    TWString out;
    NUBO::XmlEscape(u"a<b & \"c\">", out);
    EXPECT_EQ(Text(out), u"a&lt;b &amp; &quot;c&quot;&gt;");
    NUBO::XmlEscape(u"&amp;", out); // existing entities are escaped again
    EXPECT_EQ(Text(out), u"&amp;amp;");
    NUBO::XmlEscape(nullptr, out);
    EXPECT_TRUE(out.IsEmpty());
    TWString self(u"<x>");
    NUBO::XmlEscape(self.GetString(), self);
    EXPECT_EQ(Text(self), u"&lt;x&gt;");
}

TEST(WideString, FromNarrow) {
    EXPECT_EQ(Text(TWString("caf\xC3\xA9", u"utf-8")), u"caf\u00E9");
    EXPECT_EQ(Text(TWString("caf\xE9", u"ISO-8859-1")), u"caf\u00E9");
    EXPECT_EQ(Text(TWString("caf\xC3\xA9", u"x-system")), u"caf\u00E9");
    TWString unknown("abc", u"koi8-r");
    EXPECT_TRUE(unknown.IsEmpty());
    std::string longText(1000, 'z');
    EXPECT_EQ(TWString(longText.c_str(), nullptr).GetLength(), 1000);
}

TEST(WideString, Format) {
    TWString s;
    EXPECT_EQ(s.Format(u"%s. File:%s. Line#%d Column#%d", u"bad tag", u"main.box", 3, 14), 40);
    EXPECT_EQ(Text(s), u"bad tag. File:main.box. Line#3 Column#14");
    s.Format(u"_SceneContext_%d", 7);
    EXPECT_EQ(Text(s), u"_SceneContext_7");
    s.Format(u"%lld|%S|%c", -(1LL << 40), "n\xC3\xA4", u'!');
    EXPECT_EQ(Text(s), u"-1099511627776|n\u00E4|!");
    s.Format(u"%8.3f|%5c|%-4s|", 2.5, u'x', u"ab");
    EXPECT_EQ(Text(s), u"   2.500|    x|ab  |");
    s.Format(u"%g and %e", 0.5, 1e300);
    EXPECT_EQ(Text(s), u"0.5 and 1.000000e+300");
    s.Format(u"");
    ASSERT_NE(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0);
    std::u16string big(5000, u'w');
    s.Format(u"<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
}
