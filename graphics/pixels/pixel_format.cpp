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

#if defined(__x86_64__) && !defined(__AVX2__)
#include <immintrin.h>
namespace {

// Right shifts that bring each channel's top five bits to its place in the current layout, and
// the masks there.
struct ChannelShifts {
    __m128i rs, gs, bs;
    int rm, gm, bm;
    ChannelShifts() {
        const oxPixelFormatMasks& f = g_pixelFormat;
        rs = _mm_cvtsi32_si128(19 - f.redShift);
        gs = _mm_cvtsi32_si128(11 - f.greenShift);
        bs = _mm_cvtsi32_si128(3 - f.blueShift);
        rm = int(31u << f.redShift);
        gm = int(31u << f.greenShift);
        bm = int(31u << f.blueShift);
    }
};

const __m128i* DitherBytes(int x, int y) {
    return reinterpret_cast<const __m128i*>(kDitherAdds.bytes[(y & 3) * 4 + (x & 3)]);
}

__attribute__((target("avx2"), always_inline)) inline __m256i EightTo16(const uint32_t* p, __m256i dither,
                                                                        const ChannelShifts& c) {
    const __m256i t = _mm256_adds_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), dither);
    return _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(_mm256_srl_epi32(t, c.rs), _mm256_set1_epi32(c.rm)),
                                           _mm256_and_si256(_mm256_srl_epi32(t, c.gs), _mm256_set1_epi32(c.gm))),
                           _mm256_and_si256(_mm256_srl_epi32(t, c.bs), _mm256_set1_epi32(c.bm)));
}

// Sixteen pixels a step on processors that have 256-bit integer registers; their pack is unsigned,
// so the values need no sign fix first. The pixels done; the caller does the rest.
__attribute__((target("avx2"))) int32_t DitherRowAvx2(uint16_t* out, const uint32_t* pixels, int32_t count, int x,
                                                      int y) {
    const __m256i dither = _mm256_broadcastsi128_si256(_mm_load_si128(DitherBytes(x, y)));
    const ChannelShifts c;
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        // The pack works within each half: the middle quarters change places after it.
        const __m256i packed =
            _mm256_packus_epi32(EightTo16(pixels + i, dither, c), EightTo16(pixels + i + 8, dither, c));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return i;
}

// GCC 12's 512-bit headers start some results from a deliberately undefined value and then warn
// about it; nothing of ours is read uninitialised here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i SixteenTo16(__m512i p, __m512i dither,
                                                                                      const ChannelShifts& c) {
    const __m512i t = _mm512_adds_epu8(p, dither);
    return _mm512_or_si512(_mm512_or_si512(_mm512_and_si512(_mm512_srl_epi32(t, c.rs), _mm512_set1_epi32(c.rm)),
                                           _mm512_and_si512(_mm512_srl_epi32(t, c.gs), _mm512_set1_epi32(c.gm))),
                           _mm512_and_si512(_mm512_srl_epi32(t, c.bs), _mm512_set1_epi32(c.bm)));
}

// The same, 32 pixels a step on processors with 512-bit registers, a whole rectangle at a time so
// the set-up is paid once; a row's last pixels go through masked loads and stores.
__attribute__((target("avx512f,avx512bw"))) void DitherRectAvx512(uint16_t* out, intptr_t outStep,
                                                                  const uint32_t* pixels, intptr_t pixelStep,
                                                                  int32_t count, int32_t rows, int x, int y) {
    __m512i dithers[4];
    for (int r = 0; r < 4 && r < rows; ++r)
        dithers[r] = _mm512_broadcast_i32x4(_mm_load_si128(DitherBytes(x, y + r)));
    const ChannelShifts c;
    // The pack works within each quarter: this puts the quarters' halves back in order.
    const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    const int32_t whole = count & ~31;
    const uint32_t rest = static_cast<uint32_t>(count - whole);
    const __mmask16 lowLanes = static_cast<__mmask16>(rest >= 16 ? 0xFFFFu : (1u << rest) - 1);
    const __mmask16 highLanes = static_cast<__mmask16>(rest > 16 ? (1u << (rest - 16)) - 1 : 0u);
    const __mmask32 restLanes = static_cast<__mmask32>((uint64_t{1} << rest) - 1);
    for (int32_t j = 0; j < rows; ++j) {
        const __m512i dither = dithers[j & 3];
        int32_t i = 0;
        for (; i < whole; i += 32) {
            const __m512i packed = _mm512_packus_epi32(SixteenTo16(_mm512_loadu_si512(pixels + i), dither, c),
                                                       SixteenTo16(_mm512_loadu_si512(pixels + i + 16), dither, c));
            _mm512_storeu_si512(out + i, _mm512_permutexvar_epi64(order, packed));
        }
        if (rest) {
            const __m512i packed =
                _mm512_packus_epi32(SixteenTo16(_mm512_maskz_loadu_epi32(lowLanes, pixels + i), dither, c),
                                    SixteenTo16(_mm512_maskz_loadu_epi32(highLanes, pixels + i + 16), dither, c));
            _mm512_mask_storeu_epi16(out + i, restLanes, _mm512_permutexvar_epi64(order, packed));
        }
        out = reinterpret_cast<uint16_t*>(reinterpret_cast<char*>(out) + outStep);
        pixels = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(pixels) + pixelStep);
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// 0: neither, 1: 256-bit, 2: 512-bit registers.
const int g_wideRegisters = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return 2;
    return __builtin_cpu_supports("avx2") ? 1 : 0;
}();

} // namespace
#endif

void DitherRowTo16(uint16_t* out, const uint32_t* pixels, int32_t count, int x, int y) {
    int32_t i = 0;
#if defined(__x86_64__) && !defined(__AVX2__)
    if (g_wideRegisters == 2) {
        DitherRectAvx512(out, 0, pixels, 0, count, 1, x, y);
        return;
    }
    if (g_wideRegisters && count >= 16) {
        // Steps of sixteen pixels keep the phase, so the rest starts where it would.
        i = DitherRowAvx2(out, pixels, count, x, y);
        if (i == count) return;
        out += i, pixels += i, count -= i;
        i = 0;
    }
#endif
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

void DitherRectTo16(uint16_t* out, intptr_t outStep, const uint32_t* pixels, intptr_t pixelStep, int32_t count,
                    int32_t rows, int x, int y) {
#if defined(__x86_64__) && !defined(__AVX2__)
    if (g_wideRegisters == 2) {
        DitherRectAvx512(out, outStep, pixels, pixelStep, count, rows, x, y);
        return;
    }
#endif
    for (int32_t j = 0; j < rows; ++j) {
        DitherRowTo16(out, pixels, count, x, y + j);
        out = reinterpret_cast<uint16_t*>(reinterpret_cast<char*>(out) + outStep);
        pixels = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(pixels) + pixelStep);
    }
}

uint32_t ExpandFrom16(uint16_t pixel) {
    const uint32_t r = (pixel >> g_pixelFormat.redShift) & 31;
    const uint32_t g = (pixel >> g_pixelFormat.greenShift) & 31;
    const uint32_t b = (pixel >> g_pixelFormat.blueShift) & 31;
    return ((r << 16) | (g << 8) | b) << 3;
}
