#include "graphics/pixels/pixel_format.h"

#include <algorithm>
#include <cstring>

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

// min(31, (v * 32 + d) >> 8) equals (v + (d >> 5)) >> 3 with the sum saturated at 255, since v is
// whole: so four pixels take one saturating byte add, and the top five bits of each byte are then
// moved into place with a shift and a mask per channel.
#if defined(__SSE2__)
namespace {

// For each dither row and first column phase, the byte added to blue, green and red of four pixels.
struct DitherAdds {
    alignas(16) uint8_t bytes[16][16];
    constexpr DitherAdds() : bytes() {
        for (int r = 0; r < 4; ++r)
            for (int s = 0; s < 4; ++s)
                for (int k = 0; k < 4; ++k)
                    for (int c = 0; c < 3; ++c)
                        bytes[r * 4 + s][4 * k + c] = static_cast<uint8_t>(kOrderedDither[r * 4 + ((s + k) & 3)] >> 5);
    }
};
constexpr DitherAdds kDitherAdds;

} // namespace
#endif

void DitherRowTo16(uint16_t* out, const uint32_t* pixels, int32_t count, int x, int y) {
    int32_t i = 0;
#if defined(__SSE2__)
    const oxPixelFormatMasks& f = g_pixelFormat;
    const __m128i dither = _mm_load_si128(reinterpret_cast<const __m128i*>(kDitherAdds.bytes[(y & 3) * 4 + (x & 3)]));
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
    if (count - i >= 4) {
        // The tail through a small buffer, so that no pixel goes the slow way one at a time.
        alignas(16) uint32_t in[8] = {};
        alignas(16) uint16_t tail[8];
        std::memcpy(in, pixels + i, sizeof(uint32_t) * static_cast<size_t>(count - i));
        _mm_store_si128(reinterpret_cast<__m128i*>(tail), _mm_packs_epi32(four(in), four(in + 4)));
        std::memcpy(out + i, tail, sizeof(uint16_t) * static_cast<size_t>(count - i));
        return;
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
