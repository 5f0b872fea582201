#include "platform/win/cursor.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/win/system_params.h"

// A pointer image: rows of a 32 by 32 design, 'X' the outline, '.' the inside.
struct HICON__ {
    const char* const* rows;
    int count;
    POINT hotSpot;
    uintptr_t id;
};

namespace {

// clang-format off
constexpr const char* kArrow[] = {
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.....XXXXX",
    "X..X..X",
    "X.X X..X",
    "XX  X..X",
    "X    X..X",
    "     X..X",
    "      X..X",
    "      X..X",
    "       XX",
};

constexpr const char* kWait[] = {
    "XXXXXXXXXXX",
    "X.........X",
    " X.......X ",
    "  X.....X  ",
    "   X...X   ",
    "    X.X    ",
    "     X     ",
    "    X.X    ",
    "   X...X   ",
    "  X.....X  ",
    " X.......X ",
    "X.........X",
    "XXXXXXXXXXX",
};
// clang-format on

HICON__ pointers[] = {
    {kArrow, int(std::size(kArrow)), {0, 0}, 32512}, {kWait, int(std::size(kWait)), {5, 6}, 32514},
    {kArrow, int(std::size(kArrow)), {0, 0}, 32513}, {kArrow, int(std::size(kArrow)), {0, 0}, 32515},
    {kArrow, int(std::size(kArrow)), {0, 0}, 32642}, {kArrow, int(std::size(kArrow)), {0, 0}, 32643},
    {kArrow, int(std::size(kArrow)), {0, 0}, 32644}, {kArrow, int(std::size(kArrow)), {0, 0}, 32645},
    {kArrow, int(std::size(kArrow)), {0, 0}, 32646}, {kArrow, int(std::size(kArrow)), {0, 0}, 32649},
    {kArrow, int(std::size(kArrow)), {0, 0}, 32651},
};
HCURSOR current = nullptr;
int draws = 0;

// The design's character at (col, row) of its 32 by 32 square: 'X', '.' or ' ' (not covered).
char DesignAt(const HICON__* icon, int col, int row) {
    if (row < 0 || row >= icon->count) return ' ';
    const char* r = icon->rows[row];
    return col >= 0 && col < int(std::strlen(r)) ? r[col] : ' ';
}

HBITMAP MakeBitmap(int w, int h) {
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    return b;
}

} // namespace

HCURSOR LoadCursorW(HINSTANCE, const WCHAR* name) {
    for (HICON__& p : pointers)
        if (reinterpret_cast<uintptr_t>(name) == p.id) return &p;
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = current;
    current = cursor;
    return previous;
}

HCURSOR GetCursor() {
    return current;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
    if (!icon || !info) return FALSE;
    const int w = GetSystemMetrics(SM_CXCURSOR), h = GetSystemMetrics(SM_CYCURSOR);
    info->fIcon = FALSE;
    info->xHotspot = DWORD(icon->hotSpot.x * w / 32);
    info->yHotspot = DWORD(icon->hotSpot.y * h / 32);
    info->hbmMask = MakeBitmap(w, h);
    info->hbmColor = MakeBitmap(w, h);
    return TRUE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT flags) {
    if (!dc || !icon) return FALSE;
    if (cx <= 0) cx = GetSystemMetrics(SM_CXCURSOR);
    if (cy <= 0) cy = GetSystemMetrics(SM_CYCURSOR);
    ++draws;
    for (int py = 0; py < cy; ++py) {
        for (int px = 0; px < cx; ++px) {
            const char c = DesignAt(icon, px * 32 / cx, py * 32 / cy);
            if (c == ' ') continue;
            const bool outline = c == 'X' && (flags & DI_IMAGE);
            SetPixel(dc, x + px, y + py, outline ? RGB(0, 0, 0) : RGB(255, 255, 255));
        }
    }
    return TRUE;
}

namespace platform {

int GetPointerDrawCount() {
    return draws;
}

uintptr_t GetPointerId(HCURSOR cursor) {
    return cursor ? cursor->id : 0;
}

} // namespace platform
