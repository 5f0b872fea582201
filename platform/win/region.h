#pragma once
// Regions: GDI objects that hold a set of pixels as banded rectangles. They clip window DCs, make
// up a window's update region and shape a window (SetWindowRgn).
#include "platform/win/gdi.h"

struct HRGN__ : HGDIOBJ__ {};
using HRGN = HRGN__*;

// CombineRgn modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

// Region kinds answered by CombineRgn, GetRgnBox, GetClipBox and GetWindowRgn.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

constexpr DWORD RDH_RECTANGLES = 1;

// 32 bytes, then nCount rectangles {left, top, right, bottom}.
struct RGNDATAHEADER {
    DWORD dwSize;
    DWORD iType;
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

// An inverted rectangle is put in order; an empty one gives an empty region.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
// `dst` may be one of the sources. Answers the kind of the result, or ERROR.
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
int GetRgnBox(HRGN rgn, RECT* rect);
int OffsetRgn(HRGN rgn, int dx, int dy);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL PtInRegion(HRGN rgn, int x, int y);
// With a null or short buffer: the bytes needed. Else the bytes written, 0 on failure.
DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data);

// The kind of the DC's clip and its bounds in the DC's coordinates.
int GetClipBox(HDC dc, RECT* rect);

namespace platform::detail {
class RectSet;
// The pixels of a region object, or null for what is not one.
const RectSet* RegionPixels(HGDIOBJ rgn);
// A new region object holding the pixels.
HRGN NewRegion(const RectSet& pixels);
// Gives a region object the pixels: its new kind, or ERROR for what is not a region.
int SetRegionPixels(HRGN rgn, const RectSet& pixels);
} // namespace platform::detail

namespace platform::detail {
// DeleteObject's share for regions: false when `object` is not a live region.
bool DeleteRegionObject(HGDIOBJ object);
} // namespace platform::detail
