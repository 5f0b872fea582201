#pragma once
// Measuring and drawing text with the font selected into a DC. Widths are sums of the glyphs'
// integer advances (no kerning), the same advances that drawing steps by, so a measured box is
// the box that drawing covers. Coverage is blended into the DC's surface in its own format.
#include "platform/types.h"
#include "platform/win/font.h"
#include "platform/win/gdi.h"

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

COLORREF SetTextColor(HDC dc, COLORREF color); // the previous colour, CLR_INVALID on failure
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode); // the previous mode, 0 on failure
int GetBkMode(HDC dc);

// `count` -1 means up to the terminating zero, for the calls that say so.
BOOL GetTextExtentPoint32W(HDC dc, const WCHAR* text, int count, SIZE* size);
// `fit` receives how many units fit within `maxExtent` (when not null); `extents` the width of
// each prefix, one per UTF-16 unit.
BOOL GetTextExtentExPointW(HDC dc, const WCHAR* text, int count, int maxExtent, int* fit, int* extents, SIZE* size);

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
// Draws one line with its top-left at (x, y). `dx` (optional) gives each unit's advance.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, const WCHAR* text, UINT count, const int* dx);

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_EDITCONTROL = 0x2000;
constexpr UINT DT_END_ELLIPSIS = 0x8000;
constexpr UINT DT_RTLREADING = 0x20000;

// Lays the text out in `rect` and draws it, or with DT_CALCRECT only sets the rectangle's right
// and bottom to the box the text covers. Answers the height of the text (0 on failure).
int DrawTextW(HDC dc, const WCHAR* text, int count, RECT* rect, UINT format);
