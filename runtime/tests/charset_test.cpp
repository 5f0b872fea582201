#include "runtime/charset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace NUBO;

namespace {

std::u16string Decode(const WCHAR* charset, const std::string& bytes, int dstCount = 64) {
    WCHAR buf[64];
    int n = DecodeCharset(charset, bytes.data(), int(bytes.size()), buf, dstCount);
    if (n < 0) return u"<unknown>";
    return std::u16string(buf, size_t(n < dstCount ? n : dstCount));
}

} // namespace

TEST(Charset, Utf8Decoding) {
    struct Case {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"a\xC3", u"a"},                 // a lone lead byte at the end is dropped
        {"a\xE2\x82", u"a"},             // so is a cut three-byte sequence
        {"\xF0\x9F\x98\x80", u"\u07D8"}, // the three-byte rule; 0x80 is then a lone lead at the end
        {"\x80\x41", u"\u0001"},         // a stray continuation takes the next byte
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(u"utf-8", c.bytes), c.text) << c.bytes;
        EXPECT_EQ(Decode(nullptr, c.bytes), c.text);
        EXPECT_EQ(Decode(u"", c.bytes), c.text);
    }
    // Decoding stops when the destination is full.
    EXPECT_EQ(Decode(u"UTF-8", "abcdef", 3), u"abc");
}

TEST(Charset, SingleByteCharsets) {
    EXPECT_EQ(Decode(u"us-ascii", "\xE9\x41"), u"\u00E9A");
    EXPECT_EQ(Decode(u"ISO-8859-1", "\xFF"), u"\u00FF");
    WCHAR buf[2];
    EXPECT_EQ(DecodeCharset(u"iso-8859-1", "abcd", 4, buf, 2), 4); // the source length
    EXPECT_EQ(buf[1], u'b');

    char out[8] = {};
    const WCHAR text[] = u"\u00E9\u20ACa";
    EXPECT_EQ(EncodeCharset(u"us-ascii", text, 3, out, 8), 3);
    EXPECT_EQ(std::string(out, 3), "\xE9?a");
    EXPECT_EQ(EncodeCharset(u"iso-8859-1", text, 3, out, 1), 3);
}

TEST(Charset, UnknownCharset) {
    WCHAR wbuf[4];
    char buf[4];
    EXPECT_EQ(DecodeCharset(u"koi8-r", "a", 1, wbuf, 4), -1);
    EXPECT_EQ(EncodeCharset(u"utf8", u"a", 1, buf, 4), -1);
    EXPECT_EQ(EncodeCharset(u"windows-1252", u"a", 1, buf, 4), -1);
}

TEST(Charset, Utf8Encoding) {
    char out[16];
    const WCHAR text[] = u"a\u00E9\u20AC";
    EXPECT_EQ(Utf8Length(text, 3), 6);
    EXPECT_EQ(EncodeCharset(u"utf-8", text, 3, out, 16), 6);
    EXPECT_EQ(std::string(out, 6), "a\xC3\xA9\xE2\x82\xAC");
    // A unit that does not fit stops the output; the result says how much was needed.
    EXPECT_EQ(EncodeCharset(u"utf-8", text, 3, out, 4), 6);
    EXPECT_EQ(std::string(out, 3), "a\xC3\xA9");
    // Surrogate halves are encoded one by one.
    const WCHAR pair[] = u"\U0001F600";
    EXPECT_EQ(Utf8Encode(pair, 2, out, 16), 6);
    EXPECT_EQ(std::string(out, 6), "\xED\xA0\xBD\xED\xB8\x80");
    // The terminator inside the count is written as a zero byte.
    EXPECT_EQ(EncodeCharset(nullptr, u"ab", 3, out, 16), 3);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(Utf8Length(u"ab\0cd", 5), 2);
}

TEST(Charset, SystemCodePage) {
    WCHAR wbuf[8];
    EXPECT_EQ(DecodeCharset(u"X-SYSTEM", "\xF0\x9F\x98\x80", 4, wbuf, 8), 2); // a full pair
    EXPECT_EQ(wbuf[0], 0xD83D);
    EXPECT_EQ(wbuf[1], 0xDE00);
    char buf[8];
    EXPECT_EQ(EncodeCharset(u"x-system", wbuf, 2, buf, 8), 4);
    EXPECT_EQ(std::string(buf, 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeSystemCodePage("\xC3\xA9", 2, wbuf, 8), 1);
    EXPECT_EQ(EncodeSystemCodePage(u"\u00E9", 1, buf, 8), 2);
}

TEST(Charset, ConversionBuffer) {
    TWideConvBuffer small;
    EXPECT_EQ(small.Decode("h\xC3\xA9llo", -1, u"utf-8"), 5);
    const WCHAR* inlineArea = small.GetString();
    EXPECT_EQ(std::u16string(small.GetString()), u"h\u00E9llo");

    std::string big(1000, 'q');
    EXPECT_EQ(small.Decode(big.c_str(), -1, nullptr), 1000);
    EXPECT_NE(small.GetString(), inlineArea); // on the heap now
    EXPECT_EQ(small.GetString()[1000], 0);
    EXPECT_EQ(small.Decode("back", 4, nullptr), 4); // and back in the inline area
    EXPECT_EQ(small.GetString(), inlineArea);

    EXPECT_EQ(small.Decode("abc", -1, u"nope"), 0);
    EXPECT_EQ(small.GetString()[0], 0);
    EXPECT_EQ(small.Decode(nullptr, 5, nullptr), 0);
}

TEST(Charset, ConversionBufferAllocator) {
    static int reallocs, frees;
    reallocs = frees = 0;
    {
        TWideConvBuffer buffer(
            [](void* p, size_t n) {
                ++reallocs;
                return realloc(p, n);
            },
            [](void* p) {
                ++frees;
                free(p);
            });
        EXPECT_EQ(buffer.Reserve(500), 1);
        EXPECT_EQ(buffer.Reserve(1000), 1);
        EXPECT_EQ(buffer.Reserve(10), 1);
        EXPECT_EQ(buffer.Reserve(200), 1);
    }
    EXPECT_EQ(reallocs, 3);
    EXPECT_EQ(frees, 2);

    TWideConvBuffer failing([](void*, size_t) -> void* { return nullptr; }, [](void*) {});
    EXPECT_EQ(failing.Reserve(129), 0);
    std::string big(300, 'q');
    EXPECT_EQ(failing.Decode(big.c_str(), -1, nullptr), 0);
    EXPECT_EQ(failing.GetString()[0], 0);
}
