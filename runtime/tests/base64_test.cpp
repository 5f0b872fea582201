#include "runtime/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace NUBO {
namespace {

std::u16string Encode(const std::string& bytes) {
    WCHAR out[64];
    size_t n = Base64Encode(bytes.data(), bytes.size(), out, 64);
    EXPECT_EQ(out[n], 0);
    return std::u16string(out, n);
}

// RFC 4648, section 10.
TEST(Base64, EncodesTheRfcVectors) {
    const struct {
        const char* in;
        const char16_t* out;
    } cases[] = {{"", u""},
                 {"f", u"Zg=="},
                 {"fo", u"Zm8="},
                 {"foo", u"Zm9v"},
                 {"foob", u"Zm9vYg=="},
                 {"fooba", u"Zm9vYmE="},
                 {"foobar", u"Zm9vYmFy"}};
    for (const auto& c : cases)
        EXPECT_EQ(Encode(c.in), c.out) << c.in;
    EXPECT_EQ(Encode(std::string("\xfb\xff\xbf", 3)), u"+/+/");
}

TEST(Base64, RefusesATooSmallBufferAndWritesNothing) {
    WCHAR out[9];
    for (WCHAR& w : out)
        w = u'#';
    EXPECT_EQ(Base64Encode("foobar", 6, out, 8), 0u); // needs 9 with the terminator
    EXPECT_EQ(out[0], u'#');
    EXPECT_EQ(Base64Encode("foobar", 6, out, 9), 8u);
    EXPECT_EQ(Base64Encode(nullptr, 3, out, 9), 0u);
    WCHAR empty[1] = {u'#'};
    EXPECT_EQ(Base64Encode("", 0, empty, 1), 0u);
    EXPECT_EQ(empty[0], 0);
}

TEST(Base64, SignatureOfThirtyTwoBytesIsFortyFourUnits) {
    uint8_t mac[32] = {};
    WCHAR out[89];
    EXPECT_EQ(Base64Encode(mac, 32, out, 89), 44u);
}

} // namespace
} // namespace NUBO
