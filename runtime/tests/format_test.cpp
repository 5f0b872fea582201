#include "runtime/format.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/wide_string.h"

using namespace NUBO;

namespace {

int Estimate(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = EstimateFormatLength(format, args);
    va_end(args);
    return n;
}

std::u16string Rewrite(const WCHAR* format) {
    std::u16string out(size_t(RewrittenFormatSize(format)), u'\0');
    out.resize(size_t(RewriteInt64Format(format, out.data())));
    return out;
}

int FormatInto(WCHAR* out, int count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatWide(out, count, format, args);
    va_end(args);
    return n;
}

} // namespace

TEST(FormatEstimate, Conversions) {
    EXPECT_EQ(Estimate(u"%5.2f", 1.0), 313);
    EXPECT_EQ(Estimate(u"%f", 1.0), 317);
    EXPECT_EQ(Estimate(u"%400.2f", 1.0), 400);
    EXPECT_EQ(Estimate(u"abc"), 3);
    EXPECT_EQ(Estimate(u"100%%"), 4);
    EXPECT_EQ(Estimate(u"%d", 1), 32);
    EXPECT_EQ(Estimate(u"%#x", 1), 34);
    EXPECT_EQ(Estimate(u"%30.5d", 1), 35);
    EXPECT_EQ(Estimate(u"%lld", 1LL), 64);
    EXPECT_EQ(Estimate(u"%I64d", 1LL), 64);
    EXPECT_EQ(Estimate(u"%p", nullptr), 32);
    EXPECT_EQ(Estimate(u"%c%C", u'a', 'b'), 2);
    EXPECT_EQ(Estimate(u"%5c", u'a'), 5);
    EXPECT_EQ(Estimate(u"%s", u"hello"), 5);
    EXPECT_EQ(Estimate(u"%.2s", u"hello"), 2);
    EXPECT_EQ(Estimate(u"%.9s", u"hello"), 5);
    EXPECT_EQ(Estimate(u"%8s", u"hello"), 8);
    EXPECT_EQ(Estimate(u"%S|%hs", "narrow", "ab"), 9);
    EXPECT_EQ(Estimate(u"%s", nullptr), 6);
    EXPECT_EQ(Estimate(u"%.3s", nullptr), 3);
    EXPECT_EQ(Estimate(u"%*s", 10, u"ab"), 10);
    EXPECT_EQ(Estimate(u"%.*s", 1, u"ab"), 1);
    EXPECT_EQ(Estimate(u"%g", 1.0), 317);
    EXPECT_EQ(Estimate(u"%n", nullptr), 0);
    // A 64-bit argument is consumed whole, so the text after it is still measured.
    EXPECT_EQ(Estimate(u"%lld%s", 1LL, u"abcdefghij"), 74);
    EXPECT_EQ(Estimate(nullptr), 0);
}

TEST(FormatEstimate, RewritesLongLong) {
    struct Case {
        const WCHAR *format, *rewritten;
    } cases[] = {
        {u"%lld", u"%I64d"},
        {u"%08llx|%llu", u"%08I64x|%I64u"},
        {u"%s ll %d", u"%s ll %d"}, // a conversion letter stands before the ll
        {u"%llf", u"%llf"},         // not an integer conversion
        {u"%%lld", u"%%lld"},       // a literal percent sign
        {u"all llamas", u"all llamas"},
        {u"%-5lli", u"%-5I64i"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Rewrite(c.format), c.rewritten);
}

TEST(FormatEstimate, FormatWideCutsAtCount) {
    WCHAR buf[6];
    EXPECT_EQ(FormatInto(buf, 6, u"%s", u"abcdefgh"), 5);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(FormatInto(buf, 6, u"%lld", -12LL), 3);
    EXPECT_EQ(std::u16string(buf), u"-12");
    std::u16string longFormat(200, u'-');
    longFormat += u"%llx";
    std::u16string big(300, u'\0');
    EXPECT_EQ(FormatInto(big.data(), 300, longFormat.c_str(), 0xABCull), 203); // rewritten on the heap
    EXPECT_EQ(big.substr(200, 3), u"abc");
}

// Text longer than the estimate is cut, never written past the block.
TEST(FormatEstimate, ShortEstimateCutsText) {
    TWString s;
    s.Format(u"%.400e", 1.0); // 713 units estimated, 406 produced
    EXPECT_EQ(s.GetLength(), 406);
    s.Format(u"%5.2f|%s", 3.14159, u"tail");
    EXPECT_EQ(std::u16string(s.GetString()), u" 3.14|tail");
}
