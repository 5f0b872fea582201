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
inline const WCHAR* const IDC_IBEAM = reinterpret_cast<const WCHAR*>(uintptr_t(32513));
inline const WCHAR* const IDC_WAIT = reinterpret_cast<const WCHAR*>(uintptr_t(32514));
inline const WCHAR* const IDC_CROSS = reinterpret_cast<const WCHAR*>(uintptr_t(32515));
inline const WCHAR* const IDC_SIZENWSE = reinterpret_cast<const WCHAR*>(uintptr_t(32642));
inline const WCHAR* const IDC_SIZENESW = reinterpret_cast<const WCHAR*>(uintptr_t(32643));
inline const WCHAR* const IDC_SIZEWE = reinterpret_cast<const WCHAR*>(uintptr_t(32644));
inline const WCHAR* const IDC_SIZENS = reinterpret_cast<const WCHAR*>(uintptr_t(32645));
inline const WCHAR* const IDC_SIZEALL = reinterpret_cast<const WCHAR*>(uintptr_t(32646));
inline const WCHAR* const IDC_HAND = reinterpret_cast<const WCHAR*>(uintptr_t(32649));
inline const WCHAR* const IDC_HELP = reinterpret_cast<const WCHAR*>(uintptr_t(32651));

// A system pointer by its number (the IDC_ values above); null for others. Only the arrow and the
// hourglass have images of their own here; the others draw as the arrow, and a display backend
// shows its own system pointer for each.
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
// The system number (IDC_...) a pointer was loaded by; 0 for none.
uintptr_t GetPointerId(HCURSOR cursor);
} // namespace platform
