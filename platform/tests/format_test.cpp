#include <gtest/gtest.h>

#include <string>

#include "platform/crt/wide.h"

namespace {

std::u16string Fmt(const WCHAR* format, ...) {
    WCHAR buf[256];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buf, 256, format, args);
    va_end(args);
    return n < 0 ? u"<truncated>" : std::u16string(buf, size_t(n));
}

} // namespace

TEST(Format, Integers) {
    EXPECT_EQ(Fmt(u"%d|%i|%u", -5, 7, 4000000000u), u"-5|7|4000000000");
    EXPECT_EQ(Fmt(u"%x|%X|%o|%#x|%#o", 255, 255, 8, 255, 8), u"ff|FF|10|0xff|010");
    EXPECT_EQ(Fmt(u"[%5d][%-5d][%05d][%+d][% d]", 42, 42, 42, 42, 42), u"[   42][42   ][00042][+42][ 42]");
    EXPECT_EQ(Fmt(u"[%.3d][%8.3d][%*d][%-*d]", 7, 7, 4, 1, -4, 1), u"[007][     007][   1][1   ]");
    EXPECT_EQ(Fmt(u"%04x", 0xAB), u"00ab");
    EXPECT_EQ(Fmt(u"#%x", 0xFF8800), u"#ff8800");
    EXPECT_EQ(Fmt(u"nubo%04x.tmp", 0x3c), u"nubo003c.tmp");
}

TEST(Format, SizePrefixes) {
    long long big = -1234567890123LL;
    EXPECT_EQ(Fmt(u"%I64d|%lld|%I64x", big, big, 0x123456789ABCDEFull),
              u"-1234567890123|-1234567890123|123456789abcdef");
    EXPECT_EQ(Fmt(u"%I64u|%llu", ~0ull, ~0ull), u"18446744073709551615|18446744073709551615");
    EXPECT_EQ(Fmt(u"%hd|%hu|%hx", 70000, 70000, -1), u"4464|4464|ffff");
    EXPECT_EQ(Fmt(u"%ld|%lu|%lx", int32_t(-3), uint32_t(7), uint32_t(0xFFFFFFFF)), u"-3|7|ffffffff");
    // Arguments after a 64-bit one are still read in place.
    EXPECT_EQ(Fmt(u"%lld %d %s", 1LL << 40, 9, u"x"), u"1099511627776 9 x");
}

TEST(Format, WideAndNarrowText) {
    EXPECT_EQ(Fmt(u"%s and %S", u"w\u00E9de", "n\xC3\xA4rrow"), u"w\u00E9de and n\u00E4rrow");
    EXPECT_EQ(Fmt(u"%c%C%c", u'\u0416', 'n', u'!'), u"\u0416n!");
    EXPECT_EQ(Fmt(u"%hs|%ls|%ws|%hc|%lc", "n", u"w", u"w", 'c', u'C'), u"n|w|w|c|C");
    EXPECT_EQ(Fmt(u"[%6s][%-6s][%.2s][%6.2S]", u"ab", u"ab", u"abcdef", "abcdef"), u"[    ab][ab    ][ab][    ab]");
    EXPECT_EQ(Fmt(u"%S", "\xF0\x9F\x98\x80|\xFF"), u"\U0001F600|\uFFFD");
    EXPECT_EQ(Fmt(u"%.1S", "\xF0\x9F\x98\x80"), u""); // a pair is never split
    EXPECT_EQ(Fmt(u"%s|%S|%.3s", nullptr, nullptr, nullptr), u"(null)|(null)|(nu");
    EXPECT_EQ(Fmt(u"%C", 0xE9), u"\uFFFD"); // one byte above 0x7F is no character
    EXPECT_EQ(Fmt(u"<%s%s>%s</%s>", u"a", u" k=\"v\"", u"t", u"a"), u"<a k=\"v\">t</a>");
}

TEST(Format, Floating) {
    EXPECT_EQ(Fmt(u"%f", 1.5), u"1.500000");
    EXPECT_EQ(Fmt(u"%.2f|%8.3f|%-8.1f|%+.0f", 3.14159, 2.5, 2.25, 2.5), u"3.14|   2.500|2.2     |+2");
    EXPECT_EQ(Fmt(u"%e|%E", 12345.678, 0.00012), u"1.234568e+04|1.200000E-04");
    EXPECT_EQ(Fmt(u"%g|%g|%G", 0.0001, 123456789.0, 1e-10), u"0.0001|1.23457e+08|1E-10");
    EXPECT_EQ(Fmt(u"%#.0f|%010.3f", 3.0, -1.5), u"3.|-00001.500");
    EXPECT_EQ(Fmt(u"%.30g", 0.1), u"0.100000000000000005551115123126");
}

TEST(Format, PointerPercentAndOthers) {
    std::u16string p = Fmt(u"_GadgetInstance_%p", reinterpret_cast<void*>(0xABCDEF));
    EXPECT_EQ(p, u"_GadgetInstance_0000000000ABCDEF");
    EXPECT_EQ(Fmt(u"100%% %d", 1), u"100% 1");
    int unused = 5;
    EXPECT_EQ(Fmt(u"a%nb%d", &unused, 3), u"ab3");
    EXPECT_EQ(unused, 5);
    EXPECT_EQ(Fmt(u"end%"), u"end");
}

TEST(Format, Truncation) {
    WCHAR buf[8];
    for (WCHAR& u : buf)
        u = u'#';
    EXPECT_EQ(_snwprintf(buf, 8, u"%s", u"1234567"), 7);
    EXPECT_EQ(std::u16string(buf), u"1234567");
    EXPECT_EQ(_snwprintf(buf, 8, u"%s", u"12345678"), -1); // no room for the terminator
    EXPECT_EQ(std::u16string(buf, 8), u"12345678");
    EXPECT_EQ(_snwprintf(buf, 4, u"%d", 123456), -1);
    EXPECT_EQ(std::u16string(buf, 4), u"1234");
    EXPECT_EQ(swprintf(buf, 4, u"abcdef"), -1);
    EXPECT_EQ(std::u16string(buf), u"abc");
    // Widths and precisions far beyond the buffer only fail the call.
    EXPECT_EQ(_snwprintf(buf, 8, u"%2000000000d", 1), -1);
    EXPECT_EQ(_snwprintf(buf, 8, u"%.2000000000f", 1.0), -1);
    EXPECT_EQ(_snwprintf(buf, 8, u"%*s", 2000000000, u"x"), -1);
    EXPECT_EQ(_snwprintf(buf, 0, u""), -1);
}
