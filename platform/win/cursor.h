#pragma once
// Pointer images. The device's stylus shows no pointer: the current pointer is none until someone
// sets one. The layer has the arrow and the hourglass, drawn at the system pointer size
// (SM_CXCURSOR by SM_CYCURSOR).
#include "platform/types.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

struct ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};

constexpr UINT DI_MASK = 0x0001;
constexpr UINT DI_IMAGE = 0x0002;
constexpr UINT DI_NORMAL = 0x0003;

inline const WCHAR* const IDC_ARROW = reinterpret_cast<const WCHAR*>(uintptr_t(32512));
inline const WCHAR* const IDC_WAIT = reinterpret_cast<const WCHAR*>(uintptr_t(32514));

// A system pointer by its number (IDC_ARROW, IDC_WAIT); null for others.
HCURSOR LoadCursorW(HINSTANCE instance, const WCHAR* name);
// Answers the previous pointer.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Fills in the hot spot and two new bitmaps of the pointer's size (the caller deletes them).
BOOL GetIconInfo(HICON icon, ICONINFO* info);
// Draws the pointer at (x, y), at cx by cy (0: the system size). DI_MASK draws, in white, the
// pixels the pointer covers; DI_IMAGE draws its image (black with a white outline).
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH background, UINT flags);

namespace platform {
// Pointer images drawn since the start (tests).
int GetPointerDrawCount();
} // namespace platform
