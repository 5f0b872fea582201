#pragma once
// Pixel arithmetic shared by the row-by-row transition renderers of this module: blends of two
// pixels at 32 bits (two channels a multiply) and at 16 bits in the current layout (red and blue
// in one multiply, green in another), and the 4 x 4 dithered weight of a 16-bit blend.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"
#include "graphics/pixels/pixel_format.h"

// One field pair moves towards the other's by weight / 2^shift; a difference that goes negative
// borrows from the field above and is masked off again.
inline uint32_t oxMixPair(uint32_t from, uint32_t to, uint32_t weight, int shift, uint32_t mask) {
    return (from + (((to - from) * weight) >> shift)) & mask;
}

// a + (b - a) x f / 256 in each channel of 0xAARRGGBB, alpha included; f 0..256.
inline uint32_t oxMix32(uint32_t a, uint32_t b, uint32_t f) {
    return oxMixPair(a & 0x00FF00FFu, b & 0x00FF00FFu, f, 8, 0x00FF00FFu) |
           oxMixPair((a >> 8) & 0x00FF00FFu, (b >> 8) & 0x00FF00FFu, f, 8, 0x00FF00FFu) << 8;
}

// a + (b - a) x w / 32 in each channel of the current 16-bit layout; w 0..32.
inline uint16_t oxMix16(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t group = g_pixelFormat.group, green = ~group & 0xFFFFu;
    return uint16_t(oxMixPair(a & group, b & group, w, 5, group) |
                    oxMixPair((a & green) >> 5, (b & green) >> 5, w, 5, green >> 5) << 5);
}

// The 16-bit colour of a layout, undithered: a fill is one flat colour.
inline uint16_t oxPack16(uint32_t argb, int32_t layout) {
    SetPixelFormatForLayout(layout);
    return uint16_t((((argb >> 19) & 31) << g_pixelFormat.redShift) |
                    (((argb >> 11) & 31) << g_pixelFormat.greenShift) |
                    (((argb >> 3) & 31) << g_pixelFormat.blueShift));
}

// The 5-bit weight of an 8-bit level at (x, y): (level + d / 32) >> 3 with d the ordered dither
// threshold there, so that 0 gives 0 and 256 (or 255 on most of the pattern) gives 32.
inline uint32_t oxDitheredWeight(uint32_t level, int32_t x, int32_t y) {
    return (level + kOrderedDither[(y & 3) * 4 + (x & 3)] / 32u) >> 3;
}

// Views of the work surface, the source and the target over the source's rectangle, and whether a
// renderer can work between them.
struct oxEffectViews {
    oxPixelBuffer surface, source, target;
    oxEffectViews(const oxPixelBuffer& onto, const oxPixelBuffer& from, const oxPixelBuffer& to) {
        const RECT full{0, 0, from.width, from.height};
        surface.InitSubRect(onto, &full);
        source.InitSubRect(from, &full);
        target.InitSubRect(to, &full);
    }
    bool Fit() const;
};

// Whether a renderer can work between the views: pixels in both, one depth of 16 or 32 bits on
// the surface and the pictures, and a target and surface at least the source's size. A run hands
// over equal views; effects started by hand with other pictures draw nothing.
inline bool oxViewsFit(const oxPixelBuffer& surface, const oxPixelBuffer& source, const oxPixelBuffer& target) {
    return surface.HasPixels() && source.HasPixels() && target.HasPixels() &&
           (surface.bpp == 16 || surface.bpp == 32) && source.bpp == surface.bpp && target.bpp == surface.bpp &&
           target.width >= source.width && target.height >= source.height && surface.width >= source.width &&
           surface.height >= source.height;
}

inline bool oxEffectViews::Fit() const {
    return oxViewsFit(surface, source, target);
}
