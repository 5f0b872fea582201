#pragma once
// Device contexts, bitmaps and DIB sections, and the blits between them, drawn in software.
// A memory DC draws into the bitmap selected into it; the screen DC and window DCs draw straight
// into the emulated screen (platform/win/screen.h), a window DC clipped to its window's rectangle.
// Every surface keeps its own pixel format: blits between formats convert without dithering,
// SetPixel quantises to the surface's format and GetPixel expands back.
#include "platform/types.h"
#include "platform/win/window.h"

// Handles. Bitmaps are GDI objects, so an HBITMAP passes wherever an HGDIOBJ is taken.
struct HGDIOBJ__ {
    int kind;
};
using HGDIOBJ = HGDIOBJ__*;
struct HBITMAP__ : HGDIOBJ__ {};
using HBITMAP = HBITMAP__*;
struct HDC__;
using HDC = HDC__*;

using COLORREF = DWORD; // 0x00BBGGRR
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return BYTE(c >> 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr int GDI_ERROR = -1;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// The header is followed by three DWORD masks (BI_BITFIELDS) or by the colour table.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// A DC's layout: right to left mirrors x across the DC's width; blits onto it mirror the picture
// unless its orientation is preserved (by the layout or by NOMIRRORBITMAP in the raster operation).
constexpr DWORD LAYOUT_RTL = 0x00000001;
constexpr DWORD LAYOUT_BITMAPORIENTATIONPRESERVED = 0x00000008;
constexpr DWORD NOMIRRORBITMAP = 0x80000000;

// GetDeviceCaps indexes.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// The screen (hwnd null) or a window: GetDC gives its client area, GetWindowDC the whole window,
// which is the same here. A window DC lives until ReleaseDC.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// A memory DC holding a 1 x 1 monochrome bitmap until another bitmap is selected.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Returns the previously selected object, or null for an object that cannot be selected.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Fails for a bitmap that is still selected into a DC.
BOOL DeleteObject(HGDIOBJ object);

// `bits` receives the section's pixels, addressable for the section's life. BI_BITFIELDS masks
// are honoured for 16 and 32 bpp; the colour table of 1 and 8 bpp sections is copied.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// A bitmap in the screen's own format, zero-filled.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Sets colour-table entries of the section selected into a memory DC; the count set.
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);

int GetDeviceCaps(HDC dc, int index);

COLORREF GetPixel(HDC dc, int x, int y);
// Returns the colour actually stored, or CLR_INVALID outside the surface or its clip.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Fills with white or black (the only operations without a brush).
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Nearest-pixel scaling (every stretch mode behaves as COLORONCOLOR).
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                DWORD rop);
// srcY counts from the bottom row for a bottom-up DIB. Returns the rows copied or GDI_ERROR.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int GetStretchBltMode(HDC dc);
int SetStretchBltMode(HDC dc, int mode); // the previous mode, 0 on failure
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);
// A window DC of a window with WS_EX_LAYOUTRTL starts right to left. The previous layout, or
// DWORD(GDI_ERROR) for what is not a DC.
DWORD SetLayout(HDC dc, DWORD layout);
DWORD GetLayout(HDC dc);
