#pragma once
// An offscreen device-independent bitmap: a platform DIB section that can be selected into a
// memory DC and blitted, or a plain block with the same header layout. It owns its memory and
// describes it with an oxPixelBuffer.
#include "graphics/pixels/pixel_buffer.h"
#include "platform/win/gdi.h"

class oxDibBitmap {
public:
    // The bitmap may be left not valid: callers test `valid` and delete it then.
    oxDibBitmap(int32_t width, int32_t height, int32_t bpp, bool topDown, bool withSection);
    virtual ~oxDibBitmap();
    oxDibBitmap(const oxDibBitmap&) = delete;
    oxDibBitmap& operator=(const oxDibBitmap&) = delete;

    // bpp 0 takes the screen's format. 1 on success, 0 on failure (the bitmap is then not valid).
    int Create(int32_t width, int32_t height, int32_t bpp, bool topDown, bool withSection);
    void Release();

    // A memory DC with the section selected, counted; null without a section.
    HDC AcquireDC();
    // 0 when no DC was in use.
    int ReleaseDC();

    // Scaled copy onto a DC; null rectangles mean the whole bitmap.
    int DrawTo(HDC dc, const RECT* destination, const RECT* source);
    int DrawInto(oxDibBitmap* other, const RECT* destination, const RECT* source);
    int CopyInto(oxDibBitmap* other);
    RECT GetBounds() const { return RECT{0, 0, width, height}; }

    int32_t width = 0;
    int32_t height = 0;
    uint8_t* bits = nullptr;
    int32_t bpp = 0;
    int32_t stride = 0;
    int32_t rowPadding = 0;
    int32_t bytesPerPixel = 0;
    uint8_t topDown = 0;
    oxPixelBuffer pixels;
    int32_t layout = kLayoutUnspecified;
    uint8_t premultiplied = 0; // 32-bit pixels carry a valid alpha with their colour multiplied by it
    int32_t dcUseCount = 0;
    HDC memoryDC = nullptr;
    HGDIOBJ previousObject = nullptr;
    void* headerBlock = nullptr; // from ImageAlloc
    BITMAPINFO* info = nullptr;
    BITMAPINFOHEADER* header = nullptr;
    RGBQUAD* colorTable = nullptr;
    uint8_t* sectionBits = nullptr;
    HBITMAP section = nullptr;
    uint8_t valid = 0;
};

// Converts between depths: same depth through the blitter's copy, 16 -> 32, 24 -> 32, 32 -> 16
// (dithered). Both buffers have the source's size. 0 for a pair it does not convert.
int ConvertPixels(oxPixelBuffer& destination, const oxPixelBuffer& source);

// A bitmap of the requested depth (16 means the screen's own format on a 16-bit screen). Consumes
// `bitmap` on success: it is deleted unless it is returned as it is. Null when the new one cannot
// be made; the caller then still owns `bitmap`.
oxDibBitmap* ConvertDibDepth(oxDibBitmap* bitmap, int32_t bpp);
