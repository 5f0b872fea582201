#pragma once
// Row fills that only store: a colour, or a pattern repeating every 16 bytes such as the four
// dithered pixels of a 16-bit colour. Aligned blocks, so a fill costs what writing the memory
// costs and never reads it.
#include <cstddef>
#include <cstdint>

// A pattern of 16 bytes, made once per colour and laid out so that any 64 bytes of it, from any
// phase, are one load.
struct oxFillPattern {
    alignas(64) uint8_t bytes[80];

    // From one period of 16 bytes.
    void Set(const uint8_t* period);
    void Set32(uint32_t value);
    void Set16(uint16_t value);
};

// `count` bytes at `to`, whose first byte takes the pattern's byte `phase` (0..15).
void FillPattern(uint8_t* to, size_t count, const oxFillPattern& pattern, size_t phase);
