#include "graphics/pixels/display_format.h"

#include <cstring>

#include "graphics/raster/blitter.h"

int GetScreenDepth() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    const int depth = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return depth;
}

int GetScreenChannelBits(int* red, int* green, int* blue) {
    const int depth = GetScreenDepth();
    *red = *green = *blue = 0; // left so when the probe finds no bitmap or DC
    if (depth == 16) {
        ProbeScreenChannels(red, green, blue);
    } else {
        *red = *green = *blue = 8;
    }
    return depth;
}

int ProbeChannelBits(HDC dc, int offset) {
    // Writes bits n and n - 1 of the channel and reads them back until they are lost.
    int n = 7;
    COLORREF got;
    do {
        const COLORREF c = COLORREF(1) << (offset + n);
        SetPixel(dc, 0, 0, c + c / 2);
        got = GetPixel(dc, 0, 0);
    } while (got != 0 && --n > 0);
    return n > 0 ? 7 - n : 5;
}

int ProbeScreenChannels(int* red, int* green, int* blue) {
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !memory) {
        if (bitmap) DeleteObject(bitmap);
        if (memory) DeleteDC(memory);
        return 0;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    *red = ProbeChannelBits(memory, 0);
    *green = ProbeChannelBits(memory, 8);
    *blue = ProbeChannelBits(memory, 16);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return 1;
}

oxWindowDC::oxWindowDC(HWND window, bool wholeWindow)
    : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}

void oxWindowDC::Release() {
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
}

int GetWindowClientRect(HWND window, RECT* out) {
    if (!out) return 0;
    *out = RECT{0, 0, 0, 0};
    if (!window) return 0;
    return GetClientRect(window, out) ? 1 : 0;
}

int BlitPixelBufferToDC(HDC dc, const oxPixelBuffer& buffer, const RECT& destination, const RECT& source) {
    if (!buffer.HasPixels() || buffer.bpp < 8) return 0;
    const RECT bounds{0, 0, buffer.width, buffer.height};
    RECT dst = destination, src = source;
    if (!ClipBlitRects(bounds, bounds, &src, &dst)) return 1;
    struct {
        BITMAPINFOHEADER header;
        DWORD colors[256];
    } info;
    std::memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = buffer.stride / (buffer.bpp / 8);
    info.header.biHeight = buffer.topDown ? -buffer.height : buffer.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(buffer.bpp);
    static constexpr DWORD kMasks[4][3] = {
        {0x7C00, 0x03E0, 0x001F}, {0xFC00, 0x03E0, 0x001F}, {0xF800, 0x07C0, 0x003F}, {0xF800, 0x07E0, 0x001F}};
    if (buffer.bpp == 16 && buffer.layout >= kLayoutRgb555 && buffer.layout <= kLayoutRgb565) {
        info.header.biCompression = BI_BITFIELDS;
        std::memcpy(info.colors, kMasks[buffer.layout - kLayoutRgb555], sizeof kMasks[0]);
    }
    // The DIB's source row counts from the bottom for bottom-up storage and from the top otherwise.
    const int srcY = buffer.topDown ? src.top : buffer.height - src.bottom;
    const int rows = StretchDIBits(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, src.left, srcY,
                                   src.right - src.left, src.bottom - src.top, buffer.bits,
                                   reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    return rows >= 0 ? 1 : 0;
}
