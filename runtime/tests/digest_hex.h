#pragma once
// Hex text of digests for the digest and HMAC tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace NUBO::test {

inline std::string Hex(const uint8_t* bytes, int n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// The digest of `text` fed in pieces of `piece` bytes, as hex; Final must report `Size` bytes.
template <class Digest, int Size> std::string DigestHex(const std::string& text, size_t piece) {
    Digest digest;
    for (size_t at = 0; at < text.size(); at += piece)
        digest.Update(text.data() + at, std::min(piece, text.size() - at));
    uint8_t out[Size];
    EXPECT_EQ(digest.Final(out), Size);
    return Hex(out, Size);
}

} // namespace NUBO::test
