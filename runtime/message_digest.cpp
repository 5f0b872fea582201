#include "runtime/message_digest.h"

#include <cstring>

namespace NUBO {

void TMessageDigest::Update(const void* bytes, size_t count) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    size_t used = (bitCount[0] >> 3) & 63;
    uint64_t bits = (uint64_t(bitCount[1]) << 32 | bitCount[0]) + uint64_t(count) * 8;
    bitCount[0] = uint32_t(bits);
    bitCount[1] = uint32_t(bits >> 32);
    if (used) {
        size_t take = 64 - used;
        if (count < take) {
            if (count) std::memcpy(block + used, p, count);
            return;
        }
        std::memcpy(block + used, p, take);
        Transform(block);
        p += take;
        count -= take;
    }
    for (; count >= 64; p += 64, count -= 64)
        Transform(p);
    if (count) std::memcpy(block, p, count);
}

void TMessageDigest::FinishPadding(bool bigEndian) {
    uint8_t length[8];
    for (int i = 0; i < 4; ++i) {
        uint8_t lo = uint8_t(bitCount[0] >> (8 * i)), hi = uint8_t(bitCount[1] >> (8 * i));
        if (bigEndian) {
            length[7 - i] = lo;
            length[3 - i] = hi;
        } else {
            length[i] = lo;
            length[4 + i] = hi;
        }
    }
    size_t used = (bitCount[0] >> 3) & 63;
    static const uint8_t kPad[64] = {0x80};
    Update(kPad, used < 56 ? 56 - used : 120 - used);
    Update(length, 8);
}

void TMessageDigest::ResetCount() {
    bitCount[0] = bitCount[1] = 0;
    std::memset(block, 0, sizeof block);
}

} // namespace NUBO
