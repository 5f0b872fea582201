#pragma once
// Arithmetic shared by the pixel effects of this folder.
#include <cstdint>

// Both 8-bit (or 5-bit) fields of a channel pair move towards the other's by weight / 2^shift.
// Differences that go negative borrow from the field above and are masked off again, which is how
// the halves of a pixel are blended two channels at a time.
inline uint32_t BlendPair(uint32_t from, uint32_t to, uint32_t weight, int shift, uint32_t mask) {
    return (from + (((to - from) * weight) >> shift)) & mask;
}
