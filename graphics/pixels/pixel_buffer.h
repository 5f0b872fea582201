#pragma once
// A header record over pixel memory that someone else owns: the bits of a DIB section, a decoded
// image, a glyph bitmap, a snapshot. Copied by value; never frees its bits.
//
// Rows are reached through a precomputed first-row pointer and a signed row step, so top-down and
// bottom-up storage cost the same: row y lies at firstRow + y * rowStep.
#include <cstdint>

#include "platform/types.h"

// Channel layouts of 16-bit pixels.
constexpr int32_t kLayoutUnspecified = 0; // treated as RGB555
constexpr int32_t kLayoutRgb555 = 9;      // red 0x7C00, green 0x03E0, blue 0x001F
constexpr int32_t kLayoutRgb655 = 10;     // red 0xFC00, green 0x03E0, blue 0x001F
constexpr int32_t kLayoutRgb556 = 11;     // red 0xF800, green 0x07C0, blue 0x003F
constexpr int32_t kLayoutRgb565 = 12;     // red 0xF800, green 0x07E0, blue 0x001F

struct oxPixelBuffer {
    uint8_t* bits = nullptr; // lowest-addressed byte of the storage
    int32_t stride = 0;      // bytes from one row to the next in memory, positive
    int32_t width = 0;
    int32_t height = 0;
    int32_t bpp = 0;        // 8, 16, 24 or 32
    int32_t storageBpp = 0; // steps across a row when addressing pixel x
    int32_t bytesPerPixel = 0;
    uint8_t topDown = 0;
    // Derived on every initialisation of a valid header.
    uint8_t* firstRow = nullptr;         // address of row 0
    int32_t padding = 0;                 // stride - usedBytes
    int32_t usedBytes = 0;               // width * bytesPerPixel
    intptr_t rowStep = 0;                // +stride top-down, -stride bottom-up
    intptr_t rowSkip = 0;                // from just past a row's used bytes to the next row's first byte
    int32_t layout = kLayoutUnspecified; // 16-bit channel layout
    uint8_t valid = 0;

    void Init(void* bits, int32_t stride, int32_t width, int32_t height, int32_t bpp, int32_t storageBpp,
              int32_t bytesPerPixel, bool topDown, int32_t layout);
    void InitExternal(void* bits, int32_t stride, int32_t width, int32_t height, int32_t bpp, int32_t bytesPerPixel,
                      bool topDown, int32_t layout);
    void InitExternal(void* bits, int32_t stride, int32_t width, int32_t height, int32_t bpp, int32_t bytesPerPixel,
                      bool topDown);
    void Clear();
    // A view of `rect` of `source` (the whole of it for null or an empty rectangle); row 0 of the
    // view is the rectangle's top row in either storage order. Not valid when nothing overlaps.
    void InitSubRect(const oxPixelBuffer& source, const RECT* rect);

    bool HasPixels() const { return valid && bits && width > 0 && height > 0; }

    // No bounds checks: the caller keeps 0 <= y < height and 0 <= x < width.
    uint8_t* GetRow8(int32_t y) const { return firstRow + y * rowStep; }
    uint16_t* GetRow16(int32_t y) const { return reinterpret_cast<uint16_t*>(firstRow + y * rowStep); }
    uint32_t* GetRow32(int32_t y) const { return reinterpret_cast<uint32_t*>(firstRow + y * rowStep); }
    uint8_t* GetPixelAddress(int32_t x, int32_t y) const { return firstRow + y * rowStep + x * (storageBpp / 8); }

private:
    void Derive();
};

// A 32-bit view with its row pointer and its row step counted in pixels.
struct oxPixelView32 {
    oxPixelBuffer buffer;
    uint32_t* firstRow = nullptr;
    intptr_t rowStep = 0; // in pixels

    oxPixelView32(const oxPixelBuffer& source, const RECT* rect);
};

// Swaps rows i and height - 1 - i. 0 when the buffer is not valid or no temporary row can be had.
int FlipVertical(oxPixelBuffer& buffer);
