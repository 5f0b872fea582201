// The crypto host object through the script API: standard vectors, non-ASCII text, and the
// percent-encoding's round trips and malformed input.
#include <string>

#include "app/tests/host_script.h"

namespace {

using CryptoTest = test::HostScriptTest;

// A script string literal of UTF-8 text.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

TEST_F(CryptoTest, Base64OfTheStandardVectorsAndOfOneByteACharacter) {
    struct Case {
        const char* text;
        const char* base64;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"é", "6Q=="},   // Latin-1 characters are their own byte
        {"a€b", "YT9i"}, // beyond Latin-1 a character reads as "?"
        {"\\u0000\\u00ff", "AP8="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval(std::string("crypto.base64Encode('") + c.text + "')"), c.base64) << c.text;
    EXPECT_EQ(Eval("crypto.base64Encode(123)"), "MTIz") << "any value is read as text";
}

TEST_F(CryptoTest, HmacSha256OfTheStandardVectorsAndOfUtf8Text) {
    struct Case {
        std::string key, message, mac;
    } cases[] = {
        // RFC 4231 cases 1 and 2 (the others have keys or data that are no text).
        {"\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b\\x0b",
         "Hi There", "sDRMYdjbOFNcqK/OrwvxK4gdwgDJgz2nJuk3bC4yz/c="},
        {"Jefe", "what do ya want for nothing?", "W9zBRr9gdU5qBCQmCJV1x1oAPwidJzmDnexYuWTsOEM="},
        {"", "", "thNnmggU2ex3L5XXeMNfxf8Wl8STcVZTxscSFEKSxa0="},
        // Key and message as UTF-8 bytes, a character beyond the BMP among them.
        {"ключ", "сообщение €😀", "OFalccszqfz2sJGBVCDfeM2F7CGBcxb5RSU+x8gIupo="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval("crypto.hmacSHA256Encode('" + c.key + "', " + Quoted(c.message) + ")"), c.mac) << c.message;
    EXPECT_EQ(Eval("crypto.hmacSHA256Encode('k')"), "!error 8002000e") << "two arguments are needed";
}

TEST_F(CryptoTest, EncodeEscapesEverythingButTheUnreservedCharacters) {
    struct Case {
        const char* text;
        const char* encoded;
    } cases[] = {
        {"a b_c", "a%20b%5Fc"},
        {"€", "%E2%82%AC"},
        {"😀", "%F0%9F%98%80"},
        {"-.!~*'()AZaz09", "-.!~*'()AZaz09"},
        {"&=+/?%#", "%26%3D%2B%2F%3F%25%23"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval("crypto.encodeURIComponent(" + Quoted(c.text) + ")"), c.encoded) << c.text;
    // Numbers are encoded as their text, fractions and values past 32 bits too.
    for (const char* number : {"7", "12.5", "-0.25", "4294967296"})
        EXPECT_EQ(Eval(std::string("crypto.encodeURIComponent(") + number + ")"), number) << number;
    for (const char* unpaired : {"'\\ud800'", "'a\\udc00'", "'\\ud800x'"})
        EXPECT_EQ(Eval(std::string("crypto.encodeURIComponent(") + unpaired + ")"), "!error 80004005") << unpaired;
}

TEST_F(CryptoTest, DecodeRoundTripsAndRefusesMalformedEscapes) {
    Run("var texts = ['', 'plain', 'a b_c&d=e+f', 'Привет, мир', '€😀', '%', '\\u0000x', '\\'\"'];"
        "var failed = [];"
        "for (var i = 0; i < texts.length; i++)"
        "  if (crypto.decodeURIComponent(crypto.encodeURIComponent(texts[i])) !== texts[i]) failed.push(i);");
    EXPECT_EQ(Eval("failed.join()"), "");

    struct Case {
        const char* encoded;
        const char* decoded; // null: the call fails
    } cases[] = {
        {"%E2%82%ac", "€"},         // either case of hex digit
        {"%C0%80", "\xEF\xBF\xBD"}, // overlong: U+FFFD
        {"%EF%BF%BE", "\xEF\xBF\xBD"},
        {"%F0%9F%98%80", "😀"},
        {"é%20", "é "}, // characters other than escapes stay as they are
        {"%4", nullptr},
        {"%G1", nullptr},
        {"%C3", nullptr},
        {"%80", nullptr},    // no lead byte
        {"%C3%28", nullptr}, // no continuation byte
        {"%FE%80%80%80%80%80%80", nullptr},
        {"%F4%90%80%80", nullptr}, // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        std::string result = Eval(std::string("crypto.decodeURIComponent('") + c.encoded + "')");
        EXPECT_EQ(result, c.decoded ? c.decoded : "!error 80004005") << c.encoded;
    }
    EXPECT_EQ(Eval("crypto.decodeURIComponent('%00').length"), "1");
    EXPECT_EQ(Eval("crypto.decodeURIComponent()"), "!error 8002000e");
}

} // namespace
