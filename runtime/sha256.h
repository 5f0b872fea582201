#pragma once
// SHA-256 (FIPS 180-2): big-endian length and output.
#include "runtime/message_digest.h"

namespace NUBO {

class TShaXDigest : public TMessageDigest {
protected:
    void FinishBigEndian() { FinishPadding(true); }
};

class TSha256Digest : public TShaXDigest {
public:
    TSha256Digest() { Reset(); }

    int Final(uint8_t* out) override;
    int GetDigestSize() const override { return 32; }
    void Transform(const uint8_t* block) override;
    void Reset();

private:
    uint32_t state[8];
};

} // namespace NUBO
