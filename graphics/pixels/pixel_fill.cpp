#include "graphics/pixels/pixel_fill.h"

#include <cstring>

namespace {

// A block of 64 bytes: one store where the processor has such registers, else several. Machines
// differ in what they have, so the fill is built for each and picked when the program loads.
typedef uint8_t Bytes64 __attribute__((vector_size(64), may_alias));

#if defined(__x86_64__) && defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define FILL_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define FILL_CLONES
#endif

} // namespace

void oxFillPattern::Set(const uint8_t* period) {
    for (int i = 0; i < 80; i += 16)
        std::memcpy(bytes + i, period, 16);
}

void oxFillPattern::Set32(uint32_t value) {
    uint32_t period[4] = {value, value, value, value};
    Set(reinterpret_cast<const uint8_t*>(period));
}

void oxFillPattern::Set16(uint16_t value) {
    uint16_t period[8];
    for (uint16_t& p : period)
        p = value;
    Set(reinterpret_cast<const uint8_t*>(period));
}

void FillPattern(uint8_t* to, size_t count, const oxFillPattern& pattern, size_t phase) {
    typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));
    const uint8_t* const from = pattern.bytes;
    phase &= 15;
    if (count < 16) {
        std::memcpy(to, from + phase, count);
        return;
    }
    uint8_t* const end = to + count;
    std::memcpy(to, from + phase, 16);
    const size_t head = 16 - (reinterpret_cast<uintptr_t>(to) & 15);
    Bytes16 v;
    std::memcpy(&v, from + ((phase + head) & 15), 16);
    uint8_t* p = to + head;
    for (; p + 64 <= end; p += 64) {
        *reinterpret_cast<Bytes16*>(p) = v;
        *reinterpret_cast<Bytes16*>(p + 16) = v;
        *reinterpret_cast<Bytes16*>(p + 32) = v;
        *reinterpret_cast<Bytes16*>(p + 48) = v;
    }
    for (; p + 16 <= end; p += 16)
        *reinterpret_cast<Bytes16*>(p) = v;
    if (p < end) std::memcpy(end - 16, from + ((phase + count - 16) & 15), 16);
}

void FillRow32(uint32_t* row, int32_t count, uint32_t value) {
    if (count <= 0) return;
    oxFillPattern pattern;
    pattern.Set32(value);
    FillPattern(reinterpret_cast<uint8_t*>(row), size_t(count) * 4, pattern, 0);
}

void FillRow16(uint16_t* row, int32_t count, uint16_t value) {
    if (count <= 0) return;
    oxFillPattern pattern;
    pattern.Set16(value);
    FillPattern(reinterpret_cast<uint8_t*>(row), size_t(count) * 2, pattern, 0);
}
