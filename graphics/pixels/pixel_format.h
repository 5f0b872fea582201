#pragma once
// The process-wide 16-bit channel layout that every 16-bit conversion and blend reads, and the
// ordered dither that takes 32-bit colours down to 16 bits.
#include <cstdint>

struct oxPixelFormatMasks {
    uint32_t red = 0x7C00;
    uint32_t green = 0x03E0;
    uint32_t blue = 0x001F;
    uint32_t group = 0x7C1F; // red | blue: the two outer channels blend in one multiply
    int redShift = 10;       // moves the top five bits of a channel to or from bit 0
    int greenShift = 5;
    int blueShift = 0;
    uint32_t halving = ~((1u << 10) | (1u << 5) | 1u);
};

// Set immediately before each 16-bit operation; one thread only.
extern oxPixelFormatMasks g_pixelFormat;

// (0, 0, 0) means 5-5-5.
void SetPixelFormatMasks(int redBits, int greenBits, int blueBits);
// Sets the masks for a buffer's 16-bit layout code (0 and unknown codes as 5-5-5).
void SetPixelFormatForLayout(int32_t layout);

// The 4 x 4 ordered dither thresholds, rows by y mod 4.
inline constexpr uint8_t kOrderedDither[16] = {8, 184, 104, 216, 152, 40, 240, 82, 200, 120, 168, 24, 88, 232, 56, 136};

// 4 x 4 ordered dither of one 0xAARRGGBB pixel at (x, y) into the current 16-bit layout.
inline uint16_t DitherTo16(uint32_t pixel, int x, int y) {
    const uint32_t d = kOrderedDither[(y & 3) * 4 + (x & 3)];
    auto level = [d](uint32_t v) {
        v = (v * 32 + d) >> 8;
        return v < 31 ? v : 31u;
    };
    // Blue goes to its own shift, so a 6-bit blue keeps its top five bits like the other channels.
    return static_cast<uint16_t>((level((pixel >> 16) & 0xFF) << g_pixelFormat.redShift) |
                                 (level((pixel >> 8) & 0xFF) << g_pixelFormat.greenShift) |
                                 (level(pixel & 0xFF) << g_pixelFormat.blueShift));
}
// DitherTo16 of `count` pixels of row y from column x on, into `out`.
void DitherRowTo16(uint16_t* out, const uint32_t* pixels, int32_t count, int x, int y);
// The same over `rows` rows from y on; the rows lie `outStep` and `pixelStep` bytes apart.
void DitherRectTo16(uint16_t* out, intptr_t outStep, const uint32_t* pixels, intptr_t pixelStep, int32_t count,
                    int32_t rows, int x, int y);
// Expands a 16-bit pixel of the current layout to 0x00RRGGBB from the top five bits of each channel.
uint32_t ExpandFrom16(uint16_t pixel);
