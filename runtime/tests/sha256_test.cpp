#include "runtime/sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "digest_hex.h"

namespace NUBO {
namespace {

using test::Hex;

std::string ShaHex(const std::string& text, size_t piece) {
    return test::DigestHex<TSha256Digest, 32>(text, piece);
}

// FIPS 180-2's examples and the one-million-'a' message.
TEST(Sha256, MatchesTheStandardVectorsInAnyPieces) {
    const struct {
        std::string text;
        const char* sha;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases)
        for (size_t piece : {size_t(1), size_t(63), size_t(64), size_t(4097)}) {
            if (piece == 1 && c.text.size() > 1000) continue;
            EXPECT_EQ(ShaHex(c.text, piece), c.sha) << c.text.size() << " bytes in pieces of " << piece;
        }
}

TEST(Sha256, StartsOverAfterFinal) {
    TSha256Digest digest;
    uint8_t out[32];
    digest.Update("junk", 4);
    digest.Final(out);
    digest.Update("abc", 3);
    digest.Final(out);
    EXPECT_EQ(Hex(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

} // namespace
} // namespace NUBO
