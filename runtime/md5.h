#pragma once
// MD5 (RFC 1321): little-endian length and output.
#include "runtime/message_digest.h"

namespace NUBO {

class TMdXDigest : public TMessageDigest {};

class TMd5Digest : public TMdXDigest {
public:
    TMd5Digest() { Reset(); }

    int Final(uint8_t* out) override;
    int GetDigestSize() const override { return 16; }
    void Transform(const uint8_t* block) override;
    void Reset();

private:
    uint32_t state[4];
};

} // namespace NUBO
