#pragma once
// Pixel blends shared by the rasteriser's line writers and points.
#include <cstdint>

#include "graphics/pixels/pixel_format.h"

// t + (s - t) * w / 256 on all four channels, two channels per multiply.
inline uint32_t RasterBlend32(uint32_t s, uint32_t t, int32_t w) {
    const int32_t t0 = static_cast<int32_t>(t & 0x00FF00FFu), s0 = static_cast<int32_t>(s & 0x00FF00FFu);
    const int32_t t1 = static_cast<int32_t>((t >> 8) & 0x00FF00FFu), s1 = static_cast<int32_t>((s >> 8) & 0x00FF00FFu);
    // The packed difference times a weight of up to 256 needs more than 32 bits.
    const uint32_t r0 = static_cast<uint32_t>(t0 + ((static_cast<int64_t>(s0 - t0) * w) >> 8)) & 0x00FF00FFu;
    const uint32_t r1 = static_cast<uint32_t>(t1 + ((static_cast<int64_t>(s1 - t1) * w) >> 8)) & 0x00FF00FFu;
    return r0 | (r1 << 8);
}

// t + (s - t) * w / 32 on a 16-bit layout whose outer channels are `group`.
inline uint16_t RasterBlend16(uint16_t s, uint16_t t, int32_t w, uint32_t group) {
    const int32_t m = static_cast<int32_t>(group);
    const int32_t gm = static_cast<int32_t>((~static_cast<uint32_t>(m) >> 5) & 0x7FF);
    const int32_t tg = (t >> 5) & gm;
    const int32_t green = tg + ((((s >> 5) & gm) - tg) * w >> 5);
    const int32_t tr = t & m;
    const int32_t rb = tr + ((((s & m) - tr) * w) >> 5);
    return static_cast<uint16_t>(((green << 5) & ~m) | (rb & m));
}

// The same on the current 16-bit layout.
inline uint16_t RasterBlend16(uint16_t s, uint16_t t, int32_t w) {
    return RasterBlend16(s, t, w, g_pixelFormat.group);
}
