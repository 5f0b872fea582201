#pragma once
// The base of the runtime's message digests: a 64-bit bit count and a 64-byte block buffer that
// Update fills, handing every full block to the digest's Transform.
#include <cstddef>
#include <cstdint>

namespace NUBO {

class TMessageDigest {
public:
    virtual ~TMessageDigest() = default;

    // Writes the digest into `out` (GetDigestSize bytes) and starts over; returns the length.
    virtual int Final(uint8_t* out) = 0;
    virtual int GetDigestSize() const = 0;
    virtual void Transform(const uint8_t* block) = 0;

    void Update(const void* bytes, size_t count);

protected:
    // Pads to 56 bytes modulo 64 and appends the bit count, little- or big-endian.
    void FinishPadding(bool bigEndian);
    void ResetCount();

    uint32_t bitCount[2] = {0, 0}; // low word first
    uint8_t block[64] = {};
};

} // namespace NUBO
