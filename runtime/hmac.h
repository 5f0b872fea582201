#pragma once
// HMAC (RFC 2104) over a 64-byte-block digest that the caller owns. After Final the same key can
// sign another message.
#include <cstddef>
#include <cstdint>

namespace NUBO {

class TMessageDigest;

class THmac {
public:
    THmac(TMessageDigest* digest, const void* key, size_t keyLength);

    void Update(const void* bytes, size_t count);
    // Writes the MAC into `out` (at least the digest's size); returns its length, 0 when `out` is
    // too small.
    int Final(uint8_t* out, size_t outSize);

private:
    TMessageDigest* digest;
    bool started = false;
    uint8_t innerPad[64];
    uint8_t outerPad[64];
};

} // namespace NUBO
