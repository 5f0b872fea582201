#include "runtime/hmac.h"

#include <gtest/gtest.h>

#include <string>

#include "digest_hex.h"
#include "runtime/md5.h"
#include "runtime/sha256.h"

namespace NUBO {
namespace {

using test::Hex;

std::string Unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string HmacSha256(const std::string& key, const std::string& data) {
    TSha256Digest digest;
    THmac mac(&digest, key.data(), key.size());
    mac.Update(data.data(), data.size());
    uint8_t out[32];
    EXPECT_EQ(mac.Final(out, sizeof out), 32);
    return Hex(out, 32);
}

// RFC 4231, test cases 1-4, 6 and 7 (case 5 truncates the output).
TEST(Hmac, Sha256MatchesRfc4231) {
    const std::string longKey(131, '\xaa');
    const struct {
        std::string key, data;
        const char* mac;
    } cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {std::string(20, '\xaa'), std::string(50, '\xdd'),
         "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {Unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
         "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {longKey, "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {longKey,
         "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
         "hashed before being used by the HMAC algorithm.",
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HmacSha256(c.key, c.data), c.mac) << c.data;
}

TEST(Hmac, LongKeyEqualsItsDigestAndTheKeyCanSignAgain) {
    std::string key(100, 'k');
    TSha256Digest d;
    d.Update(key.data(), key.size());
    uint8_t keyDigest[32];
    d.Final(keyDigest);
    EXPECT_EQ(HmacSha256(key, "message"), HmacSha256(std::string(reinterpret_cast<char*>(keyDigest), 32), "message"));

    TSha256Digest digest;
    THmac mac(&digest, "Jefe", 4);
    uint8_t first[32], second[32];
    mac.Update("what do ya want for nothing?", 28);
    mac.Final(first, sizeof first);
    mac.Update("what do ya want for nothing?", 28);
    mac.Final(second, sizeof second);
    EXPECT_EQ(Hex(first, 32), Hex(second, 32));
    EXPECT_EQ(mac.Final(second, 31), 0); // too small a buffer
}

TEST(Hmac, Md5MatchesRfc2104) {
    TMd5Digest digest;
    THmac mac(&digest, "Jefe", 4);
    mac.Update("what do ya want for nothing?", 28);
    uint8_t out[16];
    EXPECT_EQ(mac.Final(out, sizeof out), 16);
    EXPECT_EQ(Hex(out, 16), "750c783e6ab0b503eaa86e310a5db738");
}

} // namespace
} // namespace NUBO
