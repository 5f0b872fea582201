#include "platform/shell/task_bar.h"

#include <map>

#include "platform/shell/device_services.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/notification.h"
#include "platform/shell/shell_chrome.h"
#include "platform/shell/tray.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/window_paint.h"

namespace {

constexpr const WCHAR* kTaskBarClass = u"HHTaskBar";
constexpr COLORREF kBarColour = platform::shell::kChromeBarColour;
constexpr COLORREF kButtonColour = platform::shell::kChromeButtonColour;
constexpr COLORREF kTextColour = platform::shell::kChromeTextColour;

HWND taskBar = nullptr;
bool taskBarShown = true;
bool sipButtonShown = true;
std::map<HWND, DWORD> doneButtons;

// The title-bar button sits at the right end of the task bar.
RECT DoneButtonRect() {
    const int h = platform::shell::BarHeight();
    return RECT{platform::shell::ScreenWidth() - 2 * h, 0, platform::shell::ScreenWidth(), h};
}

// The title's room: from a small inset at the left to the button's place, kept free whether or
// not the button shows so that the title does not move when it comes and goes.
RECT TitleRect() {
    const int inset = platform::shell::BarHeight() / 4;
    const int right = platform::shell::DeviceSignalsLeft(platform::shell::TrayLeft(DoneButtonRect().left));
    return RECT{inset, 0, right - inset, platform::shell::BarHeight()};
}

// The title of the active window when it is a visible program window; empty otherwise.
void ActiveTitle(WCHAR (&text)[256]) {
    text[0] = 0;
    HWND active = GetActiveWindow();
    if (!active || (GetWindowLongW(active, GWL_STYLE) & WS_CHILD) || !IsWindowVisible(active) ||
        platform::shell::IsChromeWindow(active))
        return;
    GetWindowTextW(active, text, 256);
}

DWORD ActiveDoneButton() {
    auto it = doneButtons.find(GetActiveWindow());
    return it == doneButtons.end() ? SHDB_HIDE : it->second;
}

LRESULT CALLBACK_TaskBar(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        platform::shell::ChromePainter paint(hwnd);
        paint.Fill(RECT{0, 0, paint.Width(), paint.Height()}, kBarColour);
        WCHAR title[256];
        ActiveTitle(title);
        paint.Label(TitleRect(), title, kTextColour, DT_LEFT);
        platform::shell::PaintTray(paint, DoneButtonRect().left);
        platform::shell::PaintDeviceSignals(paint, platform::shell::TrayLeft(DoneButtonRect().left));
        const DWORD state = ActiveDoneButton();
        if (state == SHDB_SHOW || state == SHDB_SHOWCANCEL) {
            const RECT r = DoneButtonRect();
            paint.Fill(r, kButtonColour);
            paint.Label(r, state == SHDB_SHOW ? u"ok" : u"\u00D7", kTextColour);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        const POINT p{int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
        const RECT r = DoneButtonRect();
        if (platform::shell::TapTray(p.x, r.left)) return 0;
        const DWORD state = ActiveDoneButton();
        HWND active = GetActiveWindow();
        if (active && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom &&
            (state == SHDB_SHOW || state == SHDB_SHOWCANCEL))
            PostMessageW(active, WM_COMMAND, state == SHDB_SHOW ? IDOK : IDCANCEL, 0);
        return 0;
    }
    case WM_DESTROY:
        if (hwnd == taskBar) taskBar = nullptr;
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RepaintTaskBar() {
    if (taskBar) InvalidateRect(taskBar, nullptr, FALSE);
}

void ShowTaskBar(bool show) {
    if (show == taskBarShown) return;
    taskBarShown = show;
    if (HWND bar = platform::shell::EnsureTaskBar()) ShowWindow(bar, show ? SW_SHOWNA : SW_HIDE);
    platform::shell::BroadcastSettingChange(SPI_SETWORKAREA);
}

} // namespace

namespace platform::shell {

RECT GetWorkArea() {
    return RECT{0, taskBarShown ? BarHeight() : 0, ScreenWidth(), ScreenHeight() - BarHeight()};
}

bool IsTaskBarShown() {
    return taskBarShown;
}

bool IsInputPanelButtonShown() {
    return sipButtonShown;
}

DWORD GetDoneButton(HWND hwnd) {
    auto it = doneButtons.find(hwnd);
    return it == doneButtons.end() ? SHDB_HIDE : it->second;
}

HWND EnsureTaskBar() {
    if (taskBar && IsWindow(taskBar)) return taskBar;
    if (!RegisterChromeClass(kTaskBarClass, CALLBACK_TaskBar)) return nullptr;
    taskBar = CreateChromeWindow(kTaskBarClass, RECT{0, 0, ScreenWidth(), BarHeight()}, nullptr, taskBarShown);
    return taskBar;
}

void PlaceChrome() {
    if (taskBar && IsWindow(taskBar))
        SetWindowPos(taskBar, nullptr, 0, 0, ScreenWidth(), BarHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceMenuBars();
    PlaceInputPanel();
}

void ResetShell() {
    ResetMenuBars();
    ResetInputPanel();
    if (taskBar && IsWindow(taskBar)) DestroyWindow(taskBar);
    taskBar = nullptr;
    taskBarShown = true;
    sipButtonShown = true;
    doneButtons.clear();
    ResetTray();
    ResetNotifications();
}

void OnTrayChanged() {
    EnsureTaskBar();
    RepaintTaskBar();
}

void OnWindowTitleChanged(HWND hwnd) {
    if (hwnd && hwnd == GetActiveWindow()) RepaintTaskBar();
}

void OnActiveWindowChanged(HWND active) {
    RepaintTaskBar();
    ShowMenuBarOf(active);
}

} // namespace platform::shell

BOOL SHFullScreen(HWND hwnd, DWORD state) {
    if (!IsWindow(hwnd)) return FALSE;
    platform::shell::EnsureTaskBar();
    if (state & SHFS_HIDESIPBUTTON) sipButtonShown = false;
    if (state & SHFS_SHOWSIPBUTTON) sipButtonShown = true;
    if (state & (SHFS_HIDESIPBUTTON | SHFS_SHOWSIPBUTTON)) platform::shell::RepaintMenuBars();
    if (state & SHFS_HIDETASKBAR) ShowTaskBar(false);
    if (state & SHFS_SHOWTASKBAR) ShowTaskBar(true);
    return TRUE;
}

BOOL SHDoneButton(HWND hwnd, DWORD state) {
    if (!IsWindow(hwnd) || (state != SHDB_SHOW && state != SHDB_HIDE && state != SHDB_SHOWCANCEL)) return FALSE;
    platform::shell::EnsureTaskBar();
    doneButtons[hwnd] = state;
    RepaintTaskBar();
    return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
    if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg)) return FALSE;
    platform::shell::EnsureTaskBar();
    if (info->dwFlags & SHIDIF_DONEBUTTON) SHDoneButton(info->hDlg, SHDB_SHOW);
    if (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        RECT r = platform::shell::GetWorkArea();
        // Without a menu bar the dialog reaches down to the bottom of the screen.
        if (info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR) r.bottom = platform::shell::ScreenHeight();
        SetWindowPos(info->hDlg, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (info->dwFlags & SHIDIF_SIPDOWN) SipShowIM(SIPF_OFF);
    return TRUE;
}
