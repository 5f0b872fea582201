#include <gtest/gtest.h>

#include <string>

#include "platform/crt/wide.h"

namespace {

std::u16string Decode(const std::string& bytes) {
    WCHAR buf[64];
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), buf, 64);
    return std::u16string(buf, size_t(n > 0 ? n : 0));
}

std::string Encode(const std::u16string& text) {
    char buf[64];
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), buf, 64, nullptr, nullptr);
    return std::string(buf, size_t(n > 0 ? n : 0));
}

} // namespace

TEST(CodePage, DecodesWellFormedUtf8) {
    EXPECT_EQ(Decode("abc"), u"abc");
    EXPECT_EQ(Decode("\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(Decode("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Decode("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(Decode(std::string("a\0b", 3)), std::u16string(u"a\0b", 3)); // a length passes NULs
}

// Each maximal ill-formed subsequence becomes one U+FFFD.
TEST(CodePage, ReplacesMalformedBytes) {
    struct Case {
        const char* bytes;
        std::u16string text;
    } cases[] = {
        {"\x80", u"\uFFFD"},
        {"a\xC3", u"a\uFFFD"},                             // cut at the end
        {"\xC3(", u"\uFFFD("},                             // lead without continuation
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},           // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xE2\x82(", u"\uFFFD("},                         // cut three-byte sequence is one replacement
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xFF\xFEz", u"\uFFFD\uFFFDz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.bytes), c.text) << c.bytes;
}

TEST(CodePage, DecodeSizes) {
    const char* text = "h\xC3\xA9";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 3); // terminator counted
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 3, nullptr, 0), 2);
    WCHAR buf[4] = {1, 1, 1, 1};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, buf, 3), 3);
    EXPECT_EQ(std::u16string(buf), u"h\u00E9");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, buf, 2), 0);              // too small
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x98\x80", 4, buf, 1), 0); // a pair does not fit
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 0, buf, 3), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, buf, 3), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, text, 3, buf, 3), 0); // unknown code page
}

TEST(CodePage, Encodes) {
    EXPECT_EQ(Encode(u"abc"), "abc");
    EXPECT_EQ(Encode(u"\u00E9\u20AC"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Encode(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Encode(u"\xD800x"), "\xEF\xBF\xBDx");                 // lone high surrogate
    EXPECT_EQ(Encode(u"\xDC00"), "\xEF\xBF\xBD");                   // lone low surrogate
    EXPECT_EQ(Encode(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // reversed pair
}

TEST(CodePage, EncodeSizes) {
    const WCHAR* text = u"h\u20AC";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 5);
    char buf[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, 5, nullptr, nullptr), 5);
    EXPECT_STREQ(buf, "h\xE2\x82\xAC");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, 4, nullptr, nullptr), 0);
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, buf, 8, nullptr, &usedDefault), 4);
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\xD800", 1, buf, 8, nullptr, &usedDefault), 3);
    EXPECT_TRUE(usedDefault);
}

TEST(CodePage, RoundTripsEveryBmpUnit) {
    std::u16string all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all += char16_t(c);
    }
    all += u"\U0001F600\U00010000\U0010FFFF";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), utf8.data(), bytes, nullptr, nullptr),
              bytes);
    std::u16string back(all.size(), u'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, back.data(), int(back.size())), int(all.size()));
    EXPECT_EQ(back, all);
}
