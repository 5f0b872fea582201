#include "graphics/pixels/pixel_format.h"

#include <algorithm>

#include "graphics/pixels/pixel_buffer.h"

oxPixelFormatMasks g_pixelFormat;

namespace {

uint32_t Bit(int shift) {
    return shift >= 0 && shift < 32 ? 1u << shift : 0;
}

} // namespace

void SetPixelFormatMasks(int redBits, int greenBits, int blueBits) {
    if (redBits + greenBits + blueBits == 0) redBits = greenBits = blueBits = 5;
    oxPixelFormatMasks& f = g_pixelFormat;
    f.red = ((1u << redBits) - 1) << (greenBits + blueBits);
    f.green = ((1u << greenBits) - 1) << blueBits;
    f.blue = (1u << blueBits) - 1;
    f.group = f.red | f.blue;
    f.greenShift = greenBits + blueBits - 5;
    f.redShift = redBits + f.greenShift;
    f.blueShift = blueBits - 5;
    f.halving = ~(Bit(f.redShift) | Bit(f.greenShift) | Bit(f.blueShift));
}

void SetPixelFormatForLayout(int32_t layout) {
    switch (layout) {
    case kLayoutRgb655:
        SetPixelFormatMasks(6, 5, 5);
        break;
    case kLayoutRgb556:
        SetPixelFormatMasks(5, 5, 6);
        break;
    case kLayoutRgb565:
        SetPixelFormatMasks(5, 6, 5);
        break;
    default:
        SetPixelFormatMasks(5, 5, 5);
        break;
    }
}

uint16_t DitherTo16(uint32_t pixel, int x, int y) {
    const uint32_t d = kOrderedDither[(y & 3) * 4 + (x & 3)];
    const uint32_t r = std::min<uint32_t>(31, (((pixel >> 16) & 0xFF) * 32 + d) >> 8);
    const uint32_t g = std::min<uint32_t>(31, (((pixel >> 8) & 0xFF) * 32 + d) >> 8);
    const uint32_t b = std::min<uint32_t>(31, ((pixel & 0xFF) * 32 + d) >> 8);
    // Blue goes to its own shift, so a 6-bit blue keeps its top five bits like the other channels.
    return static_cast<uint16_t>((r << g_pixelFormat.redShift) | (g << g_pixelFormat.greenShift) |
                                 (b << g_pixelFormat.blueShift));
}

uint32_t ExpandFrom16(uint16_t pixel) {
    const uint32_t r = (pixel >> g_pixelFormat.redShift) & 31;
    const uint32_t g = (pixel >> g_pixelFormat.greenShift) & 31;
    const uint32_t b = (pixel >> g_pixelFormat.blueShift) & 31;
    return ((r << 16) | (g << 8) | b) << 3;
}
