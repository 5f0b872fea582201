#include "platform/shell/input_panel.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/window_paint.h"

namespace {

using namespace platform::shell;

constexpr const WCHAR* kPanelClass = u"SipWndClass";
constexpr COLORREF kPanelColour = RGB(0xC8, 0xCC, 0xD4);
constexpr COLORREF kKeyColour = RGB(0xFA, 0xFA, 0xFA);

// Four rows of keys; the last one is the space bar between backspace and enter.
constexpr std::string_view kRows[] = {"QWERTYUIOP", "ASDFGHJKL\b", "ZXCVBNM\r", " "};
constexpr int kRowCount = 4;

HWND panel = nullptr;
bool up = false;

bool Available() {
    const char* device = std::getenv("TANDU_DEVICE");
    return !(device && strcasecmp(device, "smartphone") == 0);
}

RECT PanelRect() {
    const int bottom = ScreenHeight() - BarHeight();
    return RECT{0, bottom - InputPanelHeight(), ScreenWidth(), bottom};
}

UINT KeyOf(char c) {
    return c == '\b' ? VK_BACK : c == '\r' ? VK_RETURN : c == ' ' ? VK_SPACE : UINT(c);
}

// Backspace and enter show arrows; the space bar is blank.
std::u16string CaptionOf(char c) {
    return c == '\b' ? u"\u2190" : c == '\r' ? u"\u21B5" : c == ' ' ? u"" : std::u16string(1, char16_t(c));
}

// Key rectangles in panel coordinates: each row is split evenly, the space bar spans the last one.
bool KeyRect(UINT vk, RECT* r) {
    const int w = ScreenWidth(), rowHeight = InputPanelHeight() / kRowCount;
    for (int row = 0; row < kRowCount; ++row) {
        const std::string_view keys = kRows[row];
        for (size_t i = 0; i < keys.size(); ++i)
            if (KeyOf(keys[i]) == vk) {
                const int n = int(keys.size());
                *r = RECT{int(i) * w / n, row * rowHeight, (int(i) + 1) * w / n, (row + 1) * rowHeight};
                return true;
            }
    }
    return false;
}

LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        ChromePainter paint(hwnd);
        paint.Fill(RECT{0, 0, paint.Width(), paint.Height()}, kPanelColour);
        for (const std::string_view& keys : kRows)
            for (char c : keys) {
                RECT r;
                if (!KeyRect(KeyOf(c), &r)) continue;
                paint.Fill(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kKeyColour);
                paint.Label(r, CaptionOf(c).data(), RGB(0, 0, 0));
            }
        return 0;
    }
    case WM_LBUTTONUP: {
        // A tapped key types into the focus window, behind whatever input already waits.
        const POINT p{int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
        for (const std::string_view& keys : kRows)
            for (char c : keys) {
                RECT r;
                if (KeyRect(KeyOf(c), &r) && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
                    platform::input::KeyDown(KeyOf(c));
                    platform::input::KeyUp(KeyOf(c));
                    return 0;
                }
            }
        return 0;
    }
    case WM_DESTROY:
        if (hwnd == panel) panel = nullptr;
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void FillInfo(SIPINFO* info) {
    const RECT work = GetWorkArea();
    info->fdwFlags = (up ? SIPF_ON : SIPF_OFF) | SIPF_DOCKED;
    info->rcSipRect = PanelRect();
    // Down, the panel leaves everything below the task bar; up, what lies above it.
    info->rcVisibleDesktop = RECT{0, work.top, ScreenWidth(), up ? PanelRect().top : ScreenHeight()};
    info->dwImDataSize = 0;
}

bool SizeOk(DWORD size) {
    return size == 48 || size == sizeof(SIPINFO);
}

} // namespace

DWORD SipStatus() {
    return Available() ? SIP_STATUS_AVAILABLE : SIP_STATUS_UNAVAILABLE;
}

BOOL SipShowIM(DWORD flags) {
    if (!Available()) return FALSE;
    const bool on = (flags & SIPF_ON) != 0;
    if (on == up) return TRUE;
    EnsureTaskBar();
    if (on && !(panel && IsWindow(panel))) {
        if (!RegisterChromeClass(kPanelClass, PanelProc)) return FALSE;
        panel = CreateChromeWindow(kPanelClass, PanelRect(), nullptr, false);
        if (!panel) return FALSE;
    }
    up = on;
    if (panel) ShowWindow(panel, on ? SW_SHOWNA : SW_HIDE);
    BroadcastSettingChange(SPI_SETSIPINFO);
    return TRUE;
}

BOOL SipGetInfo(SIPINFO* info) {
    if (!info || !SizeOk(info->cbSize) || !Available()) return FALSE;
    FillInfo(info);
    if (info->cbSize == sizeof(SIPINFO)) info->pvImData = nullptr;
    return TRUE;
}

BOOL SHSipInfo(UINT action, UINT, void* pv, UINT) {
    auto* info = static_cast<SIPINFO*>(pv);
    if (action == SPI_GETSIPINFO) return SipGetInfo(info);
    if (action == SPI_SETSIPINFO) {
        if (!info || !SizeOk(info->cbSize)) return FALSE;
        return SipShowIM(info->fdwFlags & SIPF_ON);
    }
    return FALSE;
}

namespace platform::shell {

bool GetInputPanelKeyRect(UINT vk, RECT* rect) {
    if (!rect || !KeyRect(vk, rect)) return false;
    const RECT p = PanelRect();
    rect->left += p.left, rect->right += p.left, rect->top += p.top, rect->bottom += p.top;
    return true;
}

void PlaceInputPanel() {
    if (!panel || !IsWindow(panel)) return;
    const RECT r = PanelRect();
    SetWindowPos(panel, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResetInputPanel() {
    if (panel && IsWindow(panel)) DestroyWindow(panel);
    panel = nullptr;
    up = false;
}

} // namespace platform::shell
