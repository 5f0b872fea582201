#include "graphics/pixels/pixel_fill.h"

#include <cstring>

namespace {

typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));

// Copies of rows of 64 bytes or more on processors with 256-bit registers: 32-byte loads move a
// picture's rows from the cache faster than 16-byte ones, where wider stores alone gain nothing.
__attribute__((target("avx2"))) void CopyPixelsWide(uint8_t* to, const uint8_t* from, size_t count) {
    typedef uint8_t Bytes32 __attribute__((vector_size(32), may_alias));
    std::memcpy(to, from, 32);
    size_t at = 32 - (reinterpret_cast<uintptr_t>(to) & 31);
    for (; at + 64 <= count; at += 64) {
        Bytes32 a, b;
        std::memcpy(&a, from + at, 32);
        std::memcpy(&b, from + at + 32, 32);
        *reinterpret_cast<Bytes32*>(to + at) = a;
        *reinterpret_cast<Bytes32*>(to + at + 32) = b;
    }
    for (; at + 32 <= count; at += 32) {
        Bytes32 a;
        std::memcpy(&a, from + at, 32);
        *reinterpret_cast<Bytes32*>(to + at) = a;
    }
    std::memcpy(to + count - 32, from + count - 32, 32);
}

const bool g_wideCopies = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

} // namespace

void oxFillPattern::Set(const uint8_t* period) {
    for (int i = 0; i < 32; i += 16)
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

void CopyPixels(uint8_t* to, const uint8_t* from, size_t count) {
    if (count < 32) {
        std::memcpy(to, from, count);
        return;
    }
    if (count >= 64 && g_wideCopies) {
        CopyPixelsWide(to, from, count);
        return;
    }
    // The first and last 16 bytes unaligned, aligned stores between: the library's copy works in
    // wider blocks that straddle cache lines on every row of a rectangle.
    std::memcpy(to, from, 16);
    const size_t head = 16 - (reinterpret_cast<uintptr_t>(to) & 15);
    size_t at = head;
    for (; at + 64 <= count; at += 64) {
        Bytes16 a, b, c, d;
        std::memcpy(&a, from + at, 16);
        std::memcpy(&b, from + at + 16, 16);
        std::memcpy(&c, from + at + 32, 16);
        std::memcpy(&d, from + at + 48, 16);
        *reinterpret_cast<Bytes16*>(to + at) = a;
        *reinterpret_cast<Bytes16*>(to + at + 16) = b;
        *reinterpret_cast<Bytes16*>(to + at + 32) = c;
        *reinterpret_cast<Bytes16*>(to + at + 48) = d;
    }
    for (; at + 16 <= count; at += 16) {
        Bytes16 a;
        std::memcpy(&a, from + at, 16);
        *reinterpret_cast<Bytes16*>(to + at) = a;
    }
    std::memcpy(to + count - 16, from + count - 16, 16);
}
