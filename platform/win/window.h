#pragma once
// Window classes and windows: the handle table, window procedures, per-window data and geometry.
// A window belongs to the thread that created it; its posted messages and timers reach only that
// thread's message loop. There is no non-client area: the window rectangle is the client area.
#include "platform/types.h"

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HMENU__;
using HMENU = HMENU__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
using ATOM = WORD;

using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

inline WORD LOWORD(ULONG_PTR v) {
    return WORD(v & 0xFFFF);
}
inline WORD HIWORD(ULONG_PTR v) {
    return WORD((v >> 16) & 0xFFFF);
}
inline LPARAM MAKELPARAM(int low, int high) {
    return LPARAM(DWORD(WORD(low)) | (DWORD(WORD(high)) << 16));
}

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

// lParam of WM_WINDOWPOSCHANGED.
struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_GLOBALCLASS = 0x4000;

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_NOINHERITLAYOUT = 0x00100000;
constexpr DWORD WS_EX_LAYOUTRTL = 0x00400000;

constexpr int GWL_WNDPROC = -4;
constexpr int GWL_HINSTANCE = -6;
constexpr int GWL_HWNDPARENT = -8;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_USERDATA = -21;
constexpr int GWLP_WNDPROC = GWL_WNDPROC;
constexpr int GWLP_USERDATA = GWL_USERDATA;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

inline const HWND HWND_TOP = reinterpret_cast<HWND>(0);
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
// Parent of message-only windows: never shown, never found by FindWindowW.
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(-3);

constexpr int CW_USEDEFAULT = int(0x80000000);

// The program's module; the only instance there is.
HMODULE GetModuleHandleW(LPCWSTR moduleName);

ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc);

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
inline HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width, int height,
                          HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return CreateWindowExW(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
// Sends WM_DESTROY to the window and then to its children and owned windows, inside the call.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
HWND GetParent(HWND hwnd);
// Finds a top-level window by class and/or title (null matches any): one of this process, else one
// of another process of the user.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
// Thread that created the window; 0 for an invalid window.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Non-negative indexes address the class's extra window bytes.
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);

// Named handles kept with a window until removed or the window is destroyed; names ignore case.
BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND hwnd, LPCWSTR name);
HANDLE RemovePropW(HWND hwnd, LPCWSTR name); // the handle it held, null when none

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);

// Moving and sizing deliver WM_MOVE and WM_SIZE before the call returns.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
// Screen coordinates.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// Client coordinates: always at (0, 0).
BOOL GetClientRect(HWND hwnd, RECT* rect);

// Parent-client coordinates for a child window; the previous parent. Null makes it top-level.
HWND SetParent(HWND hwnd, HWND parent);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// Points from one window's client area into another's; a null window is the screen. The answer's
// low word is the horizontal offset added and its high word the vertical one; 0 on failure.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible window under a screen point, within window shapes and stacking.
HWND WindowFromPoint(POINT point);
// A stand-in for the desktop: the screen behind every window. Not a window of the table.
HWND GetDesktopWindow();

// Disabled windows get no mouse or keyboard input. Answers whether it was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// Activation of top-level windows: WM_ACTIVATE goes to the window losing it (WA_INACTIVE, lParam
// the window gaining it) and then to the one gaining it (lParam the one losing it). Default
// processing of the activation gives the window the keyboard focus.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
// A window of another process, as FindWindowW found it, is brought forward by its owner.
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// Drawing the user's attention to a window: anything but FLASHW_STOP starts it flashing, which lasts
// until a FLASHW_STOP (the count and the period are not kept). Answers whether it was flashing.
struct FLASHWINFO {
    UINT cbSize;
    HWND hwnd;
    DWORD dwFlags;
    UINT uCount;
    DWORD dwTimeout;
};
constexpr DWORD FLASHW_STOP = 0;
constexpr DWORD FLASHW_CAPTION = 0x1;
constexpr DWORD FLASHW_TRAY = 0x2;
constexpr DWORD FLASHW_ALL = 0x3;
constexpr DWORD FLASHW_TIMER = 0x4;
BOOL FlashWindowEx(const FLASHWINFO* info);
// WM_KILLFOCUS to the old focus window, then WM_SETFOCUS to the new one; the previous focus.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// WM_CAPTURECHANGED goes to the window that loses the capture, also when it releases it itself.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
// The pointer's position on the screen, as the last pointer input left it.
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

namespace platform {
// Whether the window flashes; whether any window does (the display shows it).
bool IsWindowFlashing(HWND hwnd);
bool IsAnyWindowFlashing();
} // namespace platform
