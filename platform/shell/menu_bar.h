#pragma once
// The shell's soft-key menu bar: a strip at the bottom of the screen that belongs to a top-level
// window and shows while that window is active. The first two items of its menu are the soft
// keys (left and right); between them sits the input-panel button. A soft key pressed or tapped
// sends WM_COMMAND with its item's id to the window, or opens its submenu as a list above the bar
// (WM_INITMENUPOPUP first). The Back key goes to the menu bar too: unless the window overrides it
// (SHCMBM_OVERRIDEKEY), it reaches the window as the Escape key; overridden with SHMBOF_NOTIFY it
// arrives as WM_HOTKEY with VK_TBACK in the high half of lParam.
#include "platform/types.h"
#include "platform/win/gdi.h"
#include "platform/win/message_queue.h"

constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr DWORD SHCMBF_HIDDEN = 0x0002;
constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
constexpr DWORD SHCMBF_COLORBK = 0x0008;
constexpr DWORD SHCMBF_HMENU = 0x0010;

constexpr UINT SHCMBM_OVERRIDEKEY = 0x0400 + 403;
constexpr WORD SHMBOF_NODEFAULT = 0x0001;
constexpr WORD SHMBOF_NOTIFY = 0x0002;
// The low word of a WM_HOTKEY for a key released.
constexpr UINT MOD_KEYUP = 0x1000;

// With SHCMBF_HMENU, nToolBarId holds the menu handle (pointer-sized here).
struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT_PTR nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
};

// Replaces the window's menu bar. The menu stays the caller's.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
HWND SHFindMenuBar(HWND hwnd);

namespace platform::shell {

enum class ShellKey { kPassOn, kMessage, kSwallowed };
// What a soft key or the Back key becomes, as the active window's menu bar decides now: passed on
// as a plain key, a message to deliver (filled in), or nothing. Has no effect of its own.
ShellKey RouteShellKey(UINT virtualKey, bool down, HWND active, MSG* out);

// The menu bar's state, for tests and the chrome.
HMENU GetMenuBarMenu(HWND menuBar);
// The mask and value halves given for the key (0 when never overridden).
DWORD GetKeyOverride(HWND menuBar, UINT virtualKey);
// The soft keys' rectangles on the screen (1 left, 2 right) and the input-panel button's.
RECT GetSoftKeyRect(int which);
RECT GetInputPanelButtonRect();
// The open submenu list, or null.
HWND GetOpenMenuList();

// Kept in step with activation: the active window's bar shows, the others hide.
void OnActiveWindowChanged(HWND active);
void ShowMenuBarOf(HWND active);
void RepaintMenuBars();
void ResetMenuBars();

} // namespace platform::shell
