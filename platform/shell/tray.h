#pragma once
// Tray icons: small icons that programs place in the task bar, right of the title. Tapping one
// posts its callback message to its window (wParam the icon's id, lParam WM_LBUTTONUP).
#include "platform/types.h"
#include "platform/win/window.h"

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[64];
};

// Adding an icon that is there, or changing or deleting one that is not, fails.
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);

namespace platform::shell {
class ChromePainter;
// The icons shown, in the order they were added: window and id.
struct TrayIcon {
    HWND hwnd;
    UINT id;
    UINT callback;
    HICON icon;
};
int GetTrayIconCount();
TrayIcon GetTrayIcon(int index);
// The icons' place on the screen, from `right` leftwards in the task bar; answers its left edge.
int TrayLeft(int right);
void PaintTray(ChromePainter& paint, int right);
// A tap in the task bar at `x`: true when it met an icon (its callback message is posted).
bool TapTray(int x, int right);
void ResetTray();
} // namespace platform::shell
