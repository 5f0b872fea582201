#include "runtime/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "digest_hex.h"

namespace NUBO {
namespace {

using test::Hex;

std::string Md5Hex(const std::string& text, size_t piece) {
    return test::DigestHex<TMd5Digest, 16>(text, piece);
}

// RFC 1321's test suite.
TEST(Md5, MatchesTheStandardVectorsInAnyPieces) {
    const struct {
        const char* text;
        const char* md5;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        for (size_t piece : {size_t(1), size_t(7), size_t(64), size_t(1000)})
            EXPECT_EQ(Md5Hex(c.text, piece), c.md5) << c.text << " in pieces of " << piece;
}

TEST(Md5, StartsOverAfterFinal) {
    TMd5Digest digest;
    uint8_t out[16];
    digest.Update("junk", 4);
    digest.Final(out);
    digest.Update("abc", 3);
    digest.Final(out);
    EXPECT_EQ(Hex(out, 16), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digest.GetDigestSize(), 16);
}

} // namespace
} // namespace NUBO
