#include "platform/shell/menu_bar.h"

#include <map>
#include <vector>

#include "platform/shell/input_panel.h"
#include "platform/shell/notification.h"
#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/messages.h"
#include "platform/win/window_paint.h"

namespace {

using namespace platform::shell;

constexpr const WCHAR* kMenuBarClass = u"menu_worker";
constexpr const WCHAR* kMenuListClass = u"menu_list";
// Private messages of the bar and its list: open the submenu of soft key wParam; close the list.
constexpr UINT kMsgOpenItem = WM_USER + 1;
constexpr UINT kMsgCloseList = WM_USER + 2;

constexpr COLORREF kBarColour = platform::shell::kChromeBarColour;
constexpr COLORREF kKeyColour = RGB(0x38, 0x50, 0x70);
constexpr COLORREF kSipColour = RGB(0x60, 0x80, 0xA8);
constexpr COLORREF kListColour = RGB(0xF0, 0xF0, 0xF0);
constexpr COLORREF kLineColour = RGB(0x90, 0x90, 0x90);

struct Bar {
    HWND parent;
    HMENU menu;
    DWORD flags;
    std::map<UINT, WORD> overrides; // the value bits in force per key
};

std::map<HWND, Bar> bars;

struct MenuList {
    HWND hwnd = nullptr;
    HWND bar = nullptr;
    HMENU menu = nullptr;
} list;

Bar* FindBar(HWND bar) {
    auto it = bars.find(bar);
    return it == bars.end() ? nullptr : &it->second;
}

POINT PointOf(LPARAM lParam) {
    return POINT{int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
}

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

RECT ToClient(RECT r) {
    const int top = ScreenHeight() - BarHeight();
    r.top -= top;
    r.bottom -= top;
    return r;
}

// What the soft key does with the bar's menu: WM_COMMAND to the window, or its submenu opens.
bool SoftKeyMessage(HWND barWindow, const Bar& bar, int index, MSG* out) {
    if (!bar.menu || index >= GetMenuItemCount(bar.menu)) return false;
    const UINT state = GetMenuState(bar.menu, UINT(index), MF_BYPOSITION);
    if (state == UINT(-1) || (state & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR))) return false;
    if (GetSubMenu(bar.menu, index))
        *out = MSG{barWindow, kMsgOpenItem, WPARAM(index), 0, 0, {0, 0}};
    else
        *out = MSG{bar.parent, WM_COMMAND, WPARAM(WORD(GetMenuItemID(bar.menu, index))), 0, 0, {0, 0}};
    return true;
}

void CloseList() {
    HWND hwnd = list.hwnd;
    list = MenuList{};
    if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
}

int ListRowHeight() {
    return BarHeight();
}

LRESULT ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        ChromePainter paint(hwnd);
        paint.Fill(RECT{0, 0, paint.Width(), paint.Height()}, kListColour);
        paint.Outline(RECT{0, 0, paint.Width(), paint.Height()}, kLineColour);
        const int n = GetMenuItemCount(list.menu);
        for (int i = 0; i < n; ++i) {
            const RECT row{0, i * ListRowHeight(), paint.Width(), (i + 1) * ListRowHeight()};
            if (GetMenuState(list.menu, UINT(i), MF_BYPOSITION) & MF_SEPARATOR) {
                const int mid = (row.top + row.bottom) / 2;
                paint.Fill(RECT{row.left + 4, mid, row.right - 4, mid + 1}, kLineColour);
                continue;
            }
            WCHAR text[256] = {0};
            GetMenuStringW(list.menu, UINT(i), text, 256, MF_BYPOSITION);
            const bool grey = GetMenuState(list.menu, UINT(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED);
            const int inset = BarHeight() / 4;
            paint.Label(RECT{row.left + inset, row.top, row.right - inset, row.bottom}, text,
                        grey ? kLineColour : RGB(0, 0, 0), DT_LEFT);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        // A tap on an item chooses it; a tap anywhere else closes the list.
        const POINT p = PointOf(lParam);
        RECT client;
        GetClientRect(hwnd, &client);
        HMENU menu = list.menu;
        const Bar* bar = FindBar(list.bar);
        HWND parent = bar ? bar->parent : nullptr;
        CloseList();
        if (!Inside(client, p) || !menu || !parent) return 0;
        const int row = p.y / ListRowHeight();
        const UINT state = GetMenuState(menu, UINT(row), MF_BYPOSITION);
        if (state == UINT(-1) || (state & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP))) return 0;
        PostMessageW(parent, WM_COMMAND, WPARAM(WORD(GetMenuItemID(menu, row))), 0);
        return 0;
    }
    case kMsgCloseList:
        CloseList();
        return 0;
    case WM_CAPTURECHANGED:
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void OpenList(HWND barWindow, int index) {
    Bar* bar = FindBar(barWindow);
    HMENU sub = bar && bar->menu ? GetSubMenu(bar->menu, index) : nullptr;
    if (!sub) return;
    CloseList();
    SendMessageW(bar->parent, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), index);
    if (!RegisterChromeClass(kMenuListClass, ListProc) || !IsWindow(barWindow)) return;
    const int rows = GetMenuItemCount(sub);
    if (rows <= 0) return;
    const int width = ScreenWidth() / 2, height = rows * ListRowHeight();
    const int bottom = ScreenHeight() - BarHeight();
    const int left = index == 0 ? 0 : ScreenWidth() - width;
    list = MenuList{nullptr, barWindow, sub};
    list.hwnd = CreateChromeWindow(kMenuListClass, RECT{left, bottom - height, left + width, bottom}, barWindow, true);
    // Taps outside the list close it.
    if (list.hwnd) SetCapture(list.hwnd);
}

void Act(HWND barWindow, int index) {
    const Bar* bar = FindBar(barWindow);
    MSG msg;
    if (!bar || !SoftKeyMessage(barWindow, *bar, index, &msg)) return;
    PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

LRESULT BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        ChromePainter paint(hwnd);
        paint.Fill(RECT{0, 0, paint.Width(), paint.Height()}, kBarColour);
        const Bar* bar = FindBar(hwnd);
        for (int i = 0; i < 2; ++i) {
            const RECT r = ToClient(GetSoftKeyRect(i + 1));
            WCHAR text[256] = {0};
            if (bar && bar->menu && i < GetMenuItemCount(bar->menu))
                GetMenuStringW(bar->menu, UINT(i), text, 256, MF_BYPOSITION);
            if (text[0]) paint.Fill(r, kKeyColour);
            paint.Label(r, text, RGB(255, 255, 255));
        }
        if (bar && !(bar->flags & SHCMBF_HIDESIPBUTTON) && IsInputPanelButtonShown() && SipStatus())
            paint.Fill(ToClient(GetInputPanelButtonRect()), kSipColour);
        return 0;
    }
    case WM_LBUTTONUP: {
        POINT p = PointOf(lParam);
        ClientToScreen(hwnd, &p);
        const Bar* bar = FindBar(hwnd);
        if (Inside(GetSoftKeyRect(1), p)) {
            Act(hwnd, 0);
        } else if (Inside(GetSoftKeyRect(2), p)) {
            Act(hwnd, 1);
        } else if (bar && Inside(GetInputPanelButtonRect(), p) && !(bar->flags & SHCMBF_HIDESIPBUTTON) &&
                   IsInputPanelButtonShown() && SipStatus()) {
            SIPINFO info{};
            info.cbSize = sizeof info;
            SipGetInfo(&info);
            SipShowIM((info.fdwFlags & SIPF_ON) ? SIPF_OFF : SIPF_ON);
        }
        return 0;
    }
    case kMsgOpenItem:
        OpenList(hwnd, int(wParam));
        return 0;
    case SHCMBM_OVERRIDEKEY: {
        Bar* bar = FindBar(hwnd);
        if (!bar) return FALSE;
        const WORD mask = LOWORD(ULONG_PTR(lParam)), value = HIWORD(ULONG_PTR(lParam));
        WORD& bits = bar->overrides[UINT(wParam) & 0xFF];
        bits = WORD((bits & ~mask) | (value & mask));
        return TRUE;
    }
    case WM_DESTROY:
        if (list.bar == hwnd) CloseList();
        bars.erase(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
    // The record's size is the device's 36 bytes or ours.
    if (!info || (info->cbSize != 36 && info->cbSize != sizeof(SHMENUBARINFO)) || !IsWindow(info->hwndParent))
        return FALSE;
    HMENU menu = nullptr;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
        if (!(info->dwFlags & SHCMBF_HMENU)) return FALSE; // no resources to load a tool bar from
        menu = reinterpret_cast<HMENU>(info->nToolBarId);
        if (!IsMenu(menu)) return FALSE;
    }
    EnsureTaskBar();
    if (HWND old = SHFindMenuBar(info->hwndParent)) DestroyWindow(old);
    if (!RegisterChromeClass(kMenuBarClass, BarProc)) return FALSE;
    const RECT r{0, ScreenHeight() - BarHeight(), ScreenWidth(), ScreenHeight()};
    HWND hwnd = CreateChromeWindow(kMenuBarClass, r, info->hwndParent, false);
    if (!hwnd) return FALSE;
    bars[hwnd] = Bar{info->hwndParent, menu, info->dwFlags, {}};
    info->hwndMB = hwnd;
    if (!(info->dwFlags & SHCMBF_HIDDEN)) {
        HWND active = GetActiveWindow();
        if (active)
            ShowMenuBarOf(active);
        else
            ShowWindow(hwnd, SW_SHOWNA);
    }
    return TRUE;
}

HWND SHFindMenuBar(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (auto& [bar, record] : bars)
        if (record.parent == hwnd && IsWindow(bar)) return bar;
    return nullptr;
}

namespace platform::shell {

ShellKey RouteShellKey(UINT vk, bool down, HWND active, MSG* out) {
    if (list.hwnd && (vk == VK_TSOFT1 || vk == VK_TSOFT2 || vk == VK_TBACK)) {
        if (!down) return ShellKey::kSwallowed;
        *out = MSG{list.hwnd, kMsgCloseList, 0, 0, 0, {0, 0}};
        return ShellKey::kMessage;
    }
    // A notification bubble on the screen takes the soft keys.
    if ((vk == VK_TSOFT1 || vk == VK_TSOFT2) && BubbleSoftKeyMessage(vk == VK_TSOFT1 ? 0 : 1, out))
        return down ? ShellKey::kMessage : ShellKey::kSwallowed;
    // The bar of the active window, or of the window that owns it (a popup of the program).
    HWND barWindow = nullptr;
    for (HWND w = active; w && !barWindow; w = reinterpret_cast<HWND>(GetWindowLongPtrW(w, GWL_HWNDPARENT)))
        barWindow = SHFindMenuBar(w);
    Bar* bar = FindBar(barWindow);
    if (!bar) return ShellKey::kPassOn;
    auto it = bar->overrides.find(vk);
    const WORD bits = it == bar->overrides.end() ? 0 : it->second;
    if (bits & SHMBOF_NOTIFY) {
        *out = MSG{bar->parent, WM_HOTKEY, vk, MAKELPARAM(down ? 0 : MOD_KEYUP, int(vk)), 0, {0, 0}};
        return ShellKey::kMessage;
    }
    // The bar acts on Back by handing it to the window as Escape, so that the program's own
    // dialogs and popups close on it; the soft keys are the bar's unless overridden.
    if ((bits & SHMBOF_NODEFAULT) || vk == VK_TBACK) return ShellKey::kPassOn;
    if (!down) return ShellKey::kSwallowed;
    return SoftKeyMessage(barWindow, *bar, vk == VK_TSOFT1 ? 0 : 1, out) ? ShellKey::kMessage : ShellKey::kSwallowed;
}

HMENU GetMenuBarMenu(HWND menuBar) {
    const Bar* bar = FindBar(menuBar);
    return bar ? bar->menu : nullptr;
}

DWORD GetKeyOverride(HWND menuBar, UINT vk) {
    const Bar* bar = FindBar(menuBar);
    if (!bar) return 0;
    auto it = bar->overrides.find(vk);
    return it == bar->overrides.end() ? 0 : it->second;
}

RECT GetSoftKeyRect(int which) {
    const int w = ScreenWidth(), h = BarHeight(), top = ScreenHeight() - h;
    const int sip = GetInputPanelButtonRect().left;
    return which == 1 ? RECT{0, top, sip, top + h} : RECT{w - sip, top, w, top + h};
}

RECT GetInputPanelButtonRect() {
    const int w = ScreenWidth(), h = BarHeight(), top = ScreenHeight() - h;
    return RECT{w / 2 - h, top, w / 2 + h, top + h};
}

HWND GetOpenMenuList() {
    return list.hwnd;
}

void ShowMenuBarOf(HWND active) {
    if (!active || IsChromeWindow(active)) return;
    HWND shown = nullptr;
    for (HWND w = active; w && !shown; w = reinterpret_cast<HWND>(GetWindowLongPtrW(w, GWL_HWNDPARENT)))
        shown = SHFindMenuBar(w);
    for (auto& [bar, record] : bars) {
        if (bar == shown) {
            if (!(record.flags & SHCMBF_HIDDEN)) ShowWindow(bar, SW_SHOWNA);
        } else {
            ShowWindow(bar, SW_HIDE);
        }
    }
}

void RepaintMenuBars() {
    for (auto& [bar, record] : bars)
        InvalidateRect(bar, nullptr, FALSE);
}

void PlaceMenuBars() {
    CloseList();
    for (auto& [bar, record] : bars)
        SetWindowPos(bar, nullptr, 0, ScreenHeight() - BarHeight(), ScreenWidth(), BarHeight(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResetMenuBars() {
    CloseList();
    std::vector<HWND> all;
    for (auto& [bar, record] : bars)
        all.push_back(bar);
    for (HWND bar : all)
        if (IsWindow(bar)) DestroyWindow(bar);
    bars.clear();
}

} // namespace platform::shell
