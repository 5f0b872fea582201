#include "runtime/bstr_string.h"

#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/crt/wide.h"
#include "runtime/tests/failing_allocator.h"

using namespace NUBO;

namespace {

std::u16string Text(const TBstr& s) {
    return std::u16string(s.GetString(), size_t(s.GetLength()));
}

// A BSTR that holds the units as given, embedded zeros included.
TBstr Units(const char16_t* units, int count) {
    TBstr s;
    s.Attach(SysAllocStringLen(units, UINT(count)));
    return s;
}

} // namespace

TEST(TBstr, EmptyStringsHoldNoBstr) {
    TBstr s;
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetString()[0], 0);
    EXPECT_EQ(s.Detach(), nullptr);

    TBstr fromEmpty(u"");
    EXPECT_EQ(fromEmpty.Detach(), nullptr);
    TBstr fromNull(static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(fromNull.Detach(), nullptr);

    TBstr copy(s);
    EXPECT_EQ(copy.Detach(), nullptr);

    TBstr text(u"abc");
    text.TrimRight();
    EXPECT_EQ(text.GetLength(), 3);
    text = u"";
    EXPECT_EQ(text.Detach(), nullptr);
}

TEST(TBstr, LengthComesFromTheBstrPrefix) {
    TBstr s(u"hello");
    EXPECT_EQ(s.GetLength(), 5);
    BSTR raw = s.Detach();
    EXPECT_EQ(SysStringByteLen(raw), 10u);
    EXPECT_EQ(s.GetLength(), 0);
    s.Attach(raw);
    EXPECT_EQ(Text(s), u"hello");
}

TEST(TBstr, AssignmentAndCopies) {
    TBstr a(u"one");
    TBstr b(a);
    b = u"two";
    EXPECT_EQ(Text(a), u"one");
    EXPECT_EQ(Text(b), u"two");
    a = b;
    EXPECT_EQ(Text(a), u"two");
    a = a;
    EXPECT_EQ(Text(a), u"two");
    a = static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(a.GetLength(), 0);
    a = std::move(b);
    EXPECT_EQ(Text(a), u"two");
    EXPECT_EQ(b.GetLength(), 0);

    // Text taken from the string itself stays readable while it is replaced.
    TBstr self(u"prefix-tail");
    self = self.GetString() + 7;
    EXPECT_EQ(Text(self), u"tail");
    self += self.GetString();
    EXPECT_EQ(Text(self), u"tailtail");
}

TEST(TBstr, Appending) {
    TBstr s;
    EXPECT_EQ(s += u"ab", 1);
    EXPECT_EQ(s += u'c', 1);
    EXPECT_EQ(s += WCHAR(0), 1);
    EXPECT_EQ(s += static_cast<const WCHAR*>(nullptr), 1);
    EXPECT_EQ(s += TBstr(), 1);
    EXPECT_EQ(s += TBstr(u"de"), 1);
    EXPECT_EQ(Text(s), u"abcde");
}

TEST(TBstr, EmbeddedZerosSurviveCopiesAndAppends) {
    const char16_t units[] = {u'a', 0, u'b'};
    TBstr s = Units(units, 3);
    TBstr copy(s);
    EXPECT_EQ(copy.GetLength(), 3);
    copy += s;
    EXPECT_EQ(Text(copy), std::u16string(u"a\0ba\0b", 6));
    EXPECT_EQ(copy.Find(u'b', 0), 2);
    EXPECT_EQ(copy.ReverseFind(u'a'), 3);
    EXPECT_EQ(copy.Replace(0, u'-'), 2);
    EXPECT_EQ(Text(copy), u"a-ba-b");
    EXPECT_EQ(Text(s.MidToEnd(1)), std::u16string(u"\0b", 2));
}

TEST(TBstr, Compare) {
    const struct {
        const char16_t* left; // null: a null TBstr
        const char16_t* right;
        int sign;
        int exact; // checked when sign is 2
    } cases[] = {
        {u"abc", u"abc", 0, 0}, {u"abc", u"ABC", 1, 0},   {u"ABC", u"abc", -1, 0},  {nullptr, nullptr, 2, 0},
        {nullptr, u"", 2, 0},   {nullptr, u"xyz", 2, -3}, {u"abcd", nullptr, 2, 4}, {u"ab", u"abc", -1, 0},
    };
    for (const auto& c : cases) {
        TBstr s(c.left);
        const int result = s.Compare(c.right);
        if (c.sign == 2)
            EXPECT_EQ(result, c.exact);
        else
            EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
}

TEST(TBstr, FindAndReverseFind) {
    TBstr s(u"abcabc");
    EXPECT_EQ(s.Find(u'b', 0), 1);
    EXPECT_EQ(s.Find(u'b', 2), 4);
    EXPECT_EQ(s.Find(u'b', 5), -1);
    EXPECT_EQ(s.Find(u'a', -1), -1);
    EXPECT_EQ(s.Find(u'a', 6), -1);
    EXPECT_EQ(s.ReverseFind(u'c'), 5);
    EXPECT_EQ(s.ReverseFind(u'z'), -1);
    EXPECT_EQ(TBstr().Find(u'a', 0), -1);
    EXPECT_EQ(TBstr().ReverseFind(u'a'), -1);
}

TEST(TBstr, ToLongWithRadix) {
    const struct {
        const char16_t* text;
        int radix;
        long value;
    } cases[] = {
        {u"123", 10, 123}, {u"  -42x", 10, -42}, {u"ff", 16, 255}, {u"0x1A", 16, 26},
        {u"0x1A", 0, 26},  {u"017", 0, 15},      {u"101", 2, 5},   {u"zz", 10, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TBstr(c.text).ToLong(c.radix), c.value) << std::string(c.text, c.text + wcslen(c.text));
    EXPECT_EQ(TBstr().ToLong(10), 0);
}

TEST(TBstr, SlicesAreClamped) {
    TBstr s(u"abcdef");
    EXPECT_EQ(Text(s.Mid(2, 3)), u"cde");
    EXPECT_EQ(Text(s.Mid(-5, 2)), u"ab");
    EXPECT_EQ(Text(s.Mid(4, 99)), u"ef");
    EXPECT_EQ(s.Mid(6, 1).GetLength(), 0);
    EXPECT_EQ(s.Mid(2, -1).GetLength(), 0);
    EXPECT_EQ(Text(s.MidToEnd(3)), u"def");
    EXPECT_EQ(Text(s.Left(2)), u"ab");
    EXPECT_EQ(Text(s.Left(10)), u"abcdef");
    EXPECT_EQ(TBstr().Mid(0, 3).GetLength(), 0);
}

TEST(TBstr, ReplaceAndTrimRight) {
    TBstr s(u"a.b.c \t\r\n");
    EXPECT_EQ(s.Replace(u'.', u'/'), 2);
    s.TrimRight();
    EXPECT_EQ(Text(s), u"a/b/c");
    TBstr blank(u" \t ");
    blank.TrimRight();
    EXPECT_EQ(blank.Detach(), nullptr);
}

TEST(TBstr, NarrowConversions) {
    TBstr s("caf\xC3\xA9", u"utf-8");
    EXPECT_EQ(Text(s), u"caf\u00E9");
    s.AppendNarrow("\xE9", u"iso-8859-1");
    EXPECT_EQ(Text(s), u"caf\u00E9\u00E9");
    s.AppendNarrowN("xyz", 2, nullptr);
    EXPECT_EQ(Text(s), u"caf\u00E9\u00E9xy");
    s.AppendNarrow("tail", u"no-such-charset");
    EXPECT_EQ(Text(s), u"caf\u00E9\u00E9xy");
    s.AppendNarrow(nullptr, u"utf-8");
    EXPECT_EQ(s.GetLength(), 7);

    s.AssignNarrow("plain", u"US-ASCII");
    EXPECT_EQ(Text(s), u"plain");
    s.AssignNarrow("plain", u"klingon");
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(TBstr("x", u"klingon").GetLength(), 0);
}

// Texts too long for the stack buffer are decoded in a block of the runtime's allocator: when it
// refuses, the string stays empty instead of growing elsewhere.
TEST(TBstr, LongNarrowTextsDecodeThroughTheRuntimeAllocator) {
    const std::string longText(300, 'a');
    FailingAllocator allocator;
    FailingAllocator::failing = true;
    TBstr s(longText.c_str(), u"utf-8");
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(TBstr("short", u"utf-8").GetLength(), 5) << "short texts need no block";
    FailingAllocator::failing = false;
    s.AssignNarrow(longText.c_str(), u"utf-8");
    EXPECT_EQ(s.GetLength(), 300);
}

TEST(TBstr, GetNarrowEncodesAndIsDroppedOnChange) {
    TBstr s(u"\u00E9");
    const char* utf8 = s.GetNarrow(u"utf-8");
    EXPECT_STREQ(utf8, "\xC3\xA9");
    EXPECT_STREQ(s.GetNarrow(u"iso-8859-1"), "\xE9");
    EXPECT_STREQ(s.GetNarrow(u"us-ascii"), "\xE9");
    EXPECT_STREQ(s.GetNarrow(u"bogus"), "");
    EXPECT_STREQ(TBstr().GetNarrow(u"utf-8"), "");
    EXPECT_STREQ(TBstr(u"\u20AC").GetNarrow(u"us-ascii"), "?");
    EXPECT_STREQ(TBstr(u"\u20AC").GetNarrow(u"utf-8"), "\xE2\x82\xAC");

    // Every change re-encodes from the new text.
    s = u"abc";
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "abc");
    s += u"\u20AC";
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "abc\xE2\x82\xAC");
    s.Replace(u'a', u'A');
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "Abc\xE2\x82\xAC");
    s = u"x  ";
    s.GetNarrow(nullptr);
    s.TrimRight();
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "x");
    s.AssignNarrow("\xC3\xA9\xC3\xA9", u"utf-8");
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "\xC3\xA9\xC3\xA9");
}

TEST(TBstr, GetNarrowOfSurrogatePairsFitsTheCopy) {
    // Each surrogate half becomes three bytes: the cached copy is sized for the worst case.
    TBstr s(u"\U0001F600\U0001F600");
    const std::string narrow = s.GetNarrow(u"utf-8");
    EXPECT_EQ(narrow.size(), 12u);
    EXPECT_STRNE(s.GetNarrow(u"x-system"), "");
}

TEST(TBstr, AttachDetachAndEmpty) {
    TBstr s(u"old");
    s.GetNarrow(u"utf-8");
    s.Attach(SysAllocString(u"new"));
    EXPECT_EQ(Text(s), u"new");
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "new");
    BSTR raw = s.Detach();
    EXPECT_EQ(s.GetLength(), 0);
    s.Attach(raw);
    s.Attach(raw); // attaching the held BSTR again keeps it
    EXPECT_EQ(Text(s), u"new");
    s.Empty();
    EXPECT_EQ(s.Detach(), nullptr);
}

TEST(BstrHelpers, WStrLCopy) {
    WCHAR buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(WStrLCopy(buffer, u"abcdef", 4), 6);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    EXPECT_EQ(WStrLCopy(buffer, u"ab", 4), 2);
    EXPECT_EQ(std::u16string(buffer), u"ab");
    EXPECT_EQ(WStrLCopy(buffer, nullptr, 4), 0);
    EXPECT_EQ(buffer[0], 0);
    buffer[0] = u'x';
    EXPECT_EQ(WStrLCopy(buffer, u"abc", 0), 3);
    EXPECT_EQ(buffer[0], u'x');
    EXPECT_EQ(WStrLCopy(buffer, u"abc", 1), 3);
    EXPECT_EQ(buffer[0], 0);
}

TEST(BstrHelpers, WStrByteLengthAndAllocBstrCopy) {
    EXPECT_EQ(WStrByteLength(u"abcd", -1), 8);
    EXPECT_EQ(WStrByteLength(u"abcd", 2), 4);
    EXPECT_EQ(WStrByteLength(u"ab", 10), 4);
    EXPECT_EQ(WStrByteLength(nullptr, -1), 0);

    BSTR copy = AllocBstrCopy(u"text");
    EXPECT_EQ(SysStringLen(copy), 4u);
    SysFreeString(copy);
    BSTR empty = AllocBstrCopy(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(TBstr, Format) {
    TBstr s(u"old");
    s.GetNarrow(u"utf-8");
    EXPECT_EQ(s.Format(u"%s=%d, %S [%5.2f] %x%%", u"key", -42, "narrow", 3.14159, 255), 27);
    EXPECT_EQ(Text(s), u"key=-42, narrow [ 3.14] ff%");
    EXPECT_STREQ(s.GetNarrow(u"utf-8"), "key=-42, narrow [ 3.14] ff%");

    // "ll" reaches the platform formatter as written.
    s.Format(u"%lld|%I64x|%-4s|%c", 1LL << 40, 0xABCDEF012LL, u"ab", u'z');
    EXPECT_EQ(Text(s), u"1099511627776|abcdef012|ab  |z");

    s.Format(u"%s", static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(Text(s), u"(null)");

    EXPECT_EQ(s.Format(u""), 0);
    EXPECT_EQ(s.Detach(), nullptr);
    s = u"x";
    EXPECT_EQ(s.Format(nullptr), 0);
    EXPECT_EQ(s.GetLength(), 0);
}

// A conversion the estimate does not know leaves no room for its output; text that does not fit
// the estimate is dropped whole rather than cut.
TEST(TBstr, FormatBeyondTheEstimateGivesAnEmptyString) {
    TBstr s(u"old");
    EXPECT_EQ(s.Format(u"ab%k"), 0);
    EXPECT_EQ(s.Detach(), nullptr);
}
