#include "graphics/pixels/pixel_fill.h"

#include <cstring>

namespace {

typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));
typedef uint8_t Bytes64 __attribute__((vector_size(64), may_alias));

// Long runs go in aligned 64-byte blocks: one store where the processor has such registers, else
// several. Machines differ in what they have, so that part is built for each and picked at load.
#if defined(__x86_64__) && defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define FILL_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define FILL_CLONES
#endif

FILL_CLONES void FillLong(uint8_t* to, size_t count, const uint8_t* from, size_t phase) {
    uint8_t* const end = to + count;
    Bytes64 v;
    std::memcpy(&v, from + phase, 64);
    std::memcpy(to, &v, 64);
    const size_t head = 64 - (reinterpret_cast<uintptr_t>(to) & 63);
    std::memcpy(&v, from + ((phase + head) & 15), 64);
    uint8_t* p = to + head;
    for (; p + 64 <= end; p += 64)
        *reinterpret_cast<Bytes64*>(p) = v;
    if (p < end) {
        std::memcpy(&v, from + ((phase + count - 64) & 15), 64);
        std::memcpy(end - 64, &v, 64);
    }
}

} // namespace

void oxFillPattern::Set(const uint8_t* period) {
    for (int i = 0; i < 80; i += 16)
        std::memcpy(bytes + i, period, 16);
}

void oxFillPattern::Set32(uint32_t value) {
    const uint32_t period[4] = {value, value, value, value};
    Set(reinterpret_cast<const uint8_t*>(period));
}

void oxFillPattern::Set16(uint16_t value) {
    uint16_t period[8];
    for (uint16_t& p : period)
        p = value;
    Set(reinterpret_cast<const uint8_t*>(period));
}

void FillPattern(uint8_t* to, size_t count, const oxFillPattern& pattern, size_t phase) {
    const uint8_t* const from = pattern.bytes;
    phase &= 15;
    if (count >= 256) {
        FillLong(to, count, from, phase);
        return;
    }
    if (count < 16) {
        std::memcpy(to, from + phase, count);
        return;
    }
    // An unaligned first and last 16 bytes, aligned ones between: each lies on its own phase.
    uint8_t* const end = to + count;
    std::memcpy(to, from + phase, 16);
    const size_t head = 16 - (reinterpret_cast<uintptr_t>(to) & 15);
    Bytes16 v;
    std::memcpy(&v, from + ((phase + head) & 15), 16);
    for (uint8_t* p = to + head; p + 16 <= end; p += 16)
        *reinterpret_cast<Bytes16*>(p) = v;
    std::memcpy(end - 16, from + ((phase + count - 16) & 15), 16);
}
