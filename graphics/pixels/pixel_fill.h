#pragma once
// Row fills that only store: a colour, or a pattern repeating every 16 bytes such as the four
// dithered pixels of a 16-bit colour; and row copies. Aligned 16-byte stores, so a row costs what
// writing its memory costs.
#include <cstddef>
#include <cstdint>

// A pattern of 16 bytes, made once per colour and laid out twice so that the 16 bytes from any
// phase are one load.
struct oxFillPattern {
    alignas(16) uint8_t bytes[32];

    // From one period of 16 bytes.
    void Set(const uint8_t* period);
    void Set32(uint32_t value);
    void Set16(uint16_t value);
};

// `count` bytes at `to`, whose first byte takes the pattern's byte `phase` (0..15).
void FillPattern(uint8_t* to, size_t count, const oxFillPattern& pattern, size_t phase);

// `count` bytes from `from` to `to`; the two do not overlap.
void CopyPixels(uint8_t* to, const uint8_t* from, size_t count);
