#include "graphics/pixels/pixel_format.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// min(31, (v * 32 + d) >> 8) equals (v + (d >> 5)) >> 3 with the sum saturated at 255, since v is
// whole: so four pixels take one saturating byte add, and the top five bits of each byte are then
// moved into place with a shift and a mask per channel.
void DitherRowTo16(uint16_t* out, const uint32_t* pixels, int32_t count, int x, int y) {
    int32_t i = 0;
#if defined(__SSE2__)
    const oxPixelFormatMasks& f = g_pixelFormat;
    alignas(16) uint8_t add[16];
    for (int k = 0; k < 4; ++k) {
        const uint8_t d = kOrderedDither[(y & 3) * 4 + ((x + k) & 3)] >> 5;
        add[4 * k] = add[4 * k + 1] = add[4 * k + 2] = d;
        add[4 * k + 3] = 0;
    }
    const __m128i dither = _mm_load_si128(reinterpret_cast<const __m128i*>(add));
    // Each channel's top five bits sit at bits 3..7 of its byte (blue 0, green 8, red 16).
    const __m128i rs = _mm_cvtsi32_si128(19 - f.redShift), rm = _mm_set1_epi32(int(31u << f.redShift));
    const __m128i gs = _mm_cvtsi32_si128(11 - f.greenShift), gm = _mm_set1_epi32(int(31u << f.greenShift));
    const __m128i bs = _mm_cvtsi32_si128(3 - f.blueShift), bm = _mm_set1_epi32(int(31u << f.blueShift));
    auto four = [&](const uint32_t* p) {
        const __m128i t = _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), dither);
        const __m128i v =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srl_epi32(t, rs), rm), _mm_and_si128(_mm_srl_epi32(t, gs), gm)),
                         _mm_and_si128(_mm_srl_epi32(t, bs), bm));
        return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16); // in signed range, so the pack is exact
    };
    for (; i + 8 <= count; i += 8) {
        const __m128i packed = _mm_packs_epi32(four(pixels + i), four(pixels + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
#endif
    for (; i < count; ++i)
        out[i] = DitherTo16(pixels[i], x + i, y);
}

uint32_t ExpandFrom16(uint16_t pixel) {
    const uint32_t r = (pixel >> g_pixelFormat.redShift) & 31;
    const uint32_t g = (pixel >> g_pixelFormat.greenShift) & 31;
    const uint32_t b = (pixel >> g_pixelFormat.blueShift) & 31;
    return ((r << 16) | (g << 8) | b) << 3;
}
