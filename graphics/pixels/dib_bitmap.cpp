#include "graphics/pixels/dib_bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "graphics/pixels/display_format.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/blitter.h"

namespace {

// Keeps every row addressable with 32-bit offsets and inside what GDI hands out.
constexpr int32_t kMaxSide = 0x8000;
constexpr int64_t kMaxBytes = 0x40000000;

bool ValidDepth(int32_t bpp) {
    return bpp == 1 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

int32_t LayoutFor(int r, int g, int b) {
    if (r == 5 && g == 5 && b == 5) return kLayoutRgb555;
    if (r == 6 && g == 5 && b == 5) return kLayoutRgb655;
    if (r == 5 && g == 5 && b == 6) return kLayoutRgb556;
    if (r == 5 && g == 6 && b == 5) return kLayoutRgb565;
    return 0;
}

} // namespace

oxDibBitmap::oxDibBitmap(int32_t width_, int32_t height_, int32_t bpp_, bool topDown_, bool withSection) {
    pixels.Clear();
    Create(width_, height_, bpp_, topDown_, withSection);
}

oxDibBitmap::~oxDibBitmap() {
    Release();
}

void oxDibBitmap::Release() {
    if (dcUseCount > 0) {
        dcUseCount = 1;
        ReleaseDC();
    }
    premultiplied = 0;
    if (section) DeleteObject(section);
    section = nullptr;
    ImageFree(headerBlock);
    headerBlock = nullptr;
    info = nullptr;
    header = nullptr;
    colorTable = nullptr;
    sectionBits = nullptr;
    bits = nullptr;
    memoryDC = nullptr;
    previousObject = nullptr;
    dcUseCount = 0;
    valid = 0;
    pixels.Clear();
}

int oxDibBitmap::Create(int32_t width_, int32_t height_, int32_t bpp_, bool topDown_, bool withSection) {
    Release();
    layout = kLayoutUnspecified;

    int r = 0, g = 0, b = 0;
    bool probed = false;
    if (bpp_ == 0) {
        bpp_ = GetScreenDepth();
        if (bpp_ == 16) probed = GetScreenChannelBits(&r, &g, &b) == 16 && r + g + b > 0;
    }
    if (!ValidDepth(bpp_) || width_ <= 0 || height_ <= 0 || width_ > kMaxSide || height_ > kMaxSide) return 0;
    const int32_t rowBytes = int32_t((int64_t(bpp_) * width_ + 31) / 32 * 4);
    const int64_t imageBytes = int64_t(rowBytes) * height_;
    if (imageBytes > kMaxBytes) return 0;

    const int32_t entries = bpp_ == 1 ? 2 : bpp_ == 8 ? 256 : 0;
    const size_t headerBytes = bpp_ == 16 ? 52 : 40 + 4 * size_t(entries);
    headerBlock = ImageAlloc(headerBytes + (withSection ? 0 : size_t(imageBytes)), 1);
    if (!headerBlock) return 0;
    info = static_cast<BITMAPINFO*>(headerBlock);
    header = &info->bmiHeader;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width_;
    header->biHeight = topDown_ ? -height_ : height_;
    header->biPlanes = 1;
    header->biBitCount = WORD(bpp_);
    colorTable = reinterpret_cast<RGBQUAD*>(header + 1);

    if (probed) {
        header->biCompression = BI_BITFIELDS;
        layout = LayoutFor(r, g, b);
        if (!layout) {
            layout = kLayoutRgb555;
            r = g = b = 5;
        }
        const DWORD masks[3] = {((1u << r) - 1) << (g + b), ((1u << g) - 1) << b, (1u << b) - 1};
        std::memcpy(colorTable, masks, sizeof masks);
    }

    const uint32_t count = header->biClrUsed ? header->biClrUsed : bpp_ <= 8 ? 1u << bpp_ : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const BYTE v = BYTE(count - 1 - i);
        colorTable[i] = RGBQUAD{v, v, v, 0};
    }
    if (!header->biSizeImage) header->biSizeImage = DWORD(imageBytes);
    if (!header->biClrUsed) header->biClrUsed = count;

    if (withSection) {
        void* sectionPixels = nullptr;
        section = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &sectionPixels, nullptr, 0);
        if (!section) {
            Release();
            return 0;
        }
        sectionBits = static_cast<uint8_t*>(sectionPixels);
        if (bpp_ == 1) {
            colorTable[0] = RGBQUAD{0, 0, 0, 0};
            colorTable[1] = RGBQUAD{255, 255, 255, 0};
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = dc ? SelectObject(dc, section) : nullptr;
            if (old) {
                SetDIBColorTable(dc, 0, 2, colorTable);
                SelectObject(dc, old);
            }
            if (dc) DeleteDC(dc);
        }
    } else {
        sectionBits = reinterpret_cast<uint8_t*>(info) + headerBytes;
    }

    width = header->biWidth;
    height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    bits = sectionBits;
    bpp = header->biBitCount;
    stride = rowBytes;
    rowPadding = stride - bpp * width / 8;
    bytesPerPixel = bpp / 8;
    topDown = header->biHeight <= 0 ? 1 : 0;
    pixels.Init(bits, stride, width, height, bpp, bpp, bytesPerPixel, topDown, layout);
    valid = 1;
    return 1;
}

HDC oxDibBitmap::AcquireDC() {
    if (dcUseCount > 0) {
        ++dcUseCount;
        return memoryDC;
    }
    if (!section) return nullptr;
    HDC screen = GetWindowDC(nullptr);
    memoryDC = CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (!memoryDC) return nullptr;
    dcUseCount = 1;
    previousObject = SelectObject(memoryDC, section);
    return memoryDC;
}

int oxDibBitmap::ReleaseDC() {
    if (dcUseCount == 0) return 0;
    if (--dcUseCount == 0) {
        SelectObject(memoryDC, previousObject);
        DeleteDC(memoryDC);
        memoryDC = nullptr;
        previousObject = nullptr;
    }
    return 1;
}

int oxDibBitmap::DrawTo(HDC dc, const RECT* destination, const RECT* source) {
    if (!valid || !dc) return 0;
    const RECT whole = GetBounds();
    const RECT& d = destination ? *destination : whole;
    const RECT& s = source ? *source : whole;
    const int dw = d.right - d.left, dh = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return 1;

    const int savedMode = GetStretchBltMode(dc);
    SetStretchBltMode(dc, COLORONCOLOR);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    int result;
    if (section && bpp != 8) {
        // A section can be selected into one DC only: while our own memory DC holds it, copy from there.
        if (dcUseCount > 0) {
            result = StretchBlt(dc, d.left, d.top, dw, dh, memoryDC, s.left, s.top, sw, sh, SRCCOPY);
        } else if (HDC memory = CreateCompatibleDC(nullptr)) {
            HGDIOBJ old = SelectObject(memory, section);
            result = old ? StretchBlt(dc, d.left, d.top, dw, dh, memory, s.left, s.top, sw, sh, SRCCOPY) : 0;
            if (old) SelectObject(memory, old);
            DeleteDC(memory);
        } else {
            result = 0;
        }
    } else {
        const int srcY = topDown ? s.top : height - sh - s.top;
        result = StretchDIBits(dc, d.left, d.top, dw, dh, s.left, srcY, sw, sh, bits, info, DIB_RGB_COLORS, SRCCOPY) !=
                 GDI_ERROR;
    }
    SetStretchBltMode(dc, savedMode);
    return result;
}

int oxDibBitmap::DrawInto(oxDibBitmap* other, const RECT* destination, const RECT* source) {
    if (!other) return 0;
    HDC dc = other->AcquireDC();
    if (!dc) return 0;
    const int result = DrawTo(dc, destination, source);
    other->ReleaseDC();
    return result;
}

int oxDibBitmap::CopyInto(oxDibBitmap* other) {
    const RECT whole = GetBounds();
    return DrawInto(other, &whole, &whole);
}

int ConvertPixels(oxPixelBuffer& destination, const oxPixelBuffer& source) {
    if (!source.HasPixels() || !destination.HasPixels() || destination.width < source.width ||
        destination.height < source.height)
        return 0;
    const int32_t w = source.width, h = source.height;
    if (source.bpp == destination.bpp) {
        oxBlitter blitter;
        return blitter.DrawImage(destination, nullptr, source, nullptr, false, false);
    }
    if (source.bpp == 16 && destination.bpp == 32) {
        SetPixelFormatForLayout(source.layout);
        for (int32_t y = 0; y < h; ++y) {
            const uint16_t* s = source.GetRow16(y);
            uint32_t* d = destination.GetRow32(y);
            for (int32_t x = 0; x < w; ++x)
                d[x] = ExpandFrom16(s[x]);
        }
        return 1;
    }
    if (source.bpp == 24 && destination.bpp == 32) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* s = source.GetRow8(y);
            uint32_t* d = destination.GetRow32(y);
            for (int32_t x = 0; x < w; ++x, s += 3)
                d[x] = 0xFF000000u | (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
        }
        return 1;
    }
    if (source.bpp == 32 && destination.bpp == 16) {
        SetPixelFormatForLayout(destination.layout);
        for (int32_t y = 0; y < h; ++y) {
            const uint32_t* s = source.GetRow32(y);
            uint16_t* d = destination.GetRow16(y);
            for (int32_t x = 0; x < w; ++x)
                d[x] = DitherTo16(s[x], x, y);
        }
        return 1;
    }
    return 0;
}

oxDibBitmap* ConvertDibDepth(oxDibBitmap* bitmap, int32_t bpp) {
    if (bpp == 16 && GetScreenDepth() == 16) bpp = 0;
    if (!bitmap || !bitmap->valid) return nullptr;
    if (bitmap->bpp == bpp) return bitmap;
    auto* converted = new (std::nothrow) oxDibBitmap(bitmap->width, bitmap->height, bpp, bitmap->topDown, false);
    if (!converted) return nullptr;
    if (!converted->valid) {
        delete converted;
        return nullptr;
    }
    int ok;
    if ((bitmap->bpp == 32 && converted->bpp == 16) || (bitmap->bpp == 24 && converted->bpp == 32)) {
        ok = ConvertPixels(converted->pixels, bitmap->pixels);
        if (bitmap->bpp == 24) converted->premultiplied = 1;
    } else {
        // Every other pair goes through the platform blit, which needs a section to draw into.
        ok =
            converted->Create(bitmap->width, bitmap->height, bpp, bitmap->topDown, true) && bitmap->CopyInto(converted);
    }
    if (!ok) {
        delete converted;
        return nullptr;
    }
    delete bitmap;
    return converted;
}
