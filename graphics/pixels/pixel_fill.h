#pragma once
// Row fills that only store: a colour, or a pattern repeating every 16 bytes such as the four
// dithered pixels of a 16-bit colour; and row copies. Aligned 16-byte stores, so a row costs what
// writing its memory costs.
#include <cstddef>
#include <cstdint>
#include <cstring>

// A pattern of 16 bytes, made once per colour and laid out twice so that the 16 bytes from any
// phase are one load.
struct oxFillPattern {
    alignas(16) uint8_t bytes[32];

    // From one period of 16 bytes.
    void Set(const uint8_t* period);
    void Set32(uint32_t value);
    void Set16(uint16_t value);
};

// `count` bytes at `to`, whose first byte takes the pattern's byte `phase` (0..15). Inline: the
// fillers call it for every row, many of them short.
inline void FillPattern(uint8_t* to, size_t count, const oxFillPattern& pattern, size_t phase) {
    typedef uint8_t Bytes16 __attribute__((vector_size(16), may_alias));

    const uint8_t* const from = pattern.bytes;
    phase &= 15;
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
    // Plain 16-byte stores fill as fast as wider ones here: writing the memory is what costs.
    uint8_t* p = to + head;
    for (; p + 64 <= end; p += 64) {
        *reinterpret_cast<Bytes16*>(p) = v;
        *reinterpret_cast<Bytes16*>(p + 16) = v;
        *reinterpret_cast<Bytes16*>(p + 32) = v;
        *reinterpret_cast<Bytes16*>(p + 48) = v;
    }
    for (; p + 16 <= end; p += 16)
        *reinterpret_cast<Bytes16*>(p) = v;
    std::memcpy(end - 16, from + ((phase + count - 16) & 15), 16);
}

// `count` bytes from `from` to `to`; the two do not overlap.
void CopyPixels(uint8_t* to, const uint8_t* from, size_t count);
