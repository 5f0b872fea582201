#pragma once
// The shell's task bar: the strip at the top of the screen with the active window's title at its
// left and its title-bar button (OK or cancel) at its right, and what it leaves free: the work
// area, the screen between the task bar and the menu-bar strip at the bottom. Full-screen windows hide the task bar and
// the input-panel button; hiding or showing the task bar moves the work area and says so (WM_SETTINGCHANGE with
// SPI_SETWORKAREA) to the top-level windows.
#include "platform/types.h"
#include "platform/win/window.h"

constexpr UINT SPI_SETWORKAREA = 47;
constexpr UINT SPI_GETWORKAREA = 48;

constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

constexpr DWORD SHDB_SHOW = 0x0001;
constexpr DWORD SHDB_HIDE = 0x0002;
constexpr DWORD SHDB_SHOWCANCEL = 0x0004;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};

BOOL SHFullScreen(HWND hwnd, DWORD state);
// The title-bar button of the window: SHDB_SHOW (OK, command IDOK), SHDB_SHOWCANCEL (cancel,
// command IDCANCEL) or SHDB_HIDE. Tapping it sends WM_COMMAND to the window.
BOOL SHDoneButton(HWND hwnd, DWORD state);
// Sizes a dialog to the screen below the task bar; SHIDIF_FULLSCREENNOMENUBAR leaves no room for
// a menu bar, SHIDIF_DONEBUTTON gives it the OK button.
BOOL SHInitDialog(SHINITDLGINFO* info);

namespace platform::shell {
// The screen less the task bar (while shown) and the menu-bar strip.
RECT GetWorkArea();
bool IsTaskBarShown();
bool IsInputPanelButtonShown();
// The title-bar button state last given to the window (SHDB_HIDE when none).
DWORD GetDoneButton(HWND hwnd);
// The bar shows the active window's title: a window's title or visibility changed, so the bar
// repaints when that window is the active one.
void OnWindowTitleChanged(HWND hwnd);
// A tray icon or a signal of the device (its LED, its vibrator) came, changed or went: the bar
// repaints.
void OnTrayChanged();
// The task bar window, made on first use; null when it cannot be made.
HWND EnsureTaskBar();
// Drops the shell's windows and state (tests, and the screen changing size).
void ResetShell();
} // namespace platform::shell
