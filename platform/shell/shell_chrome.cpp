#include "platform/shell/shell_chrome.h"

#include <algorithm>

#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"
#include "platform/win/window_paint.h"

namespace platform::shell {

namespace {
int Scaled(int units) {
    const int dpi = GetScreen().config.dpi;
    return std::max(1, units * std::max(dpi, 96) / 96);
}
} // namespace

int BarHeight() {
    return Scaled(26);
}

int InputPanelHeight() {
    return Scaled(80);
}

int ScreenWidth() {
    return GetScreen().config.width;
}

int ScreenHeight() {
    return GetScreen().config.height;
}

bool RegisterChromeClass(LPCWSTR name, WNDPROC proc) {
    WNDCLASSW wc{};
    if (GetClassInfoW(GetModuleHandleW(nullptr), name, &wc)) return true;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

HWND CreateChromeWindow(LPCWSTR className, const RECT& r, HWND owner, bool visible) {
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, className, nullptr, WS_POPUP, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd && visible) ShowWindow(hwnd, SW_SHOWNA);
    return hwnd;
}

bool IsChromeWindow(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0;
}

void BroadcastSettingChange(UINT what) {
    for (HWND hwnd : platform::detail::RootWindowsOfThread(GetCurrentThreadId()))
        if (IsWindow(hwnd) && IsWindowVisible(hwnd) && !IsChromeWindow(hwnd) && !GetParent(hwnd))
            SendMessageW(hwnd, WM_SETTINGCHANGE, what, 0);
}

ChromePainter::ChromePainter(HWND hwnd) : hwnd_(hwnd) {
    RECT r;
    if (!GetClientRect(hwnd, &r)) return;
    width_ = r.right;
    height_ = r.bottom;
    pixels_.assign(size_t(std::max(width_, 0)) * size_t(std::max(height_, 0)), 0);
}

ChromePainter::~ChromePainter() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (dc && width_ > 0 && height_ > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        StretchDIBits(dc, 0, 0, width_, height_, 0, 0, width_, height_, pixels_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(hwnd_, &ps);
}

void ChromePainter::Fill(const RECT& r, COLORREF colour) {
    const uint32_t pixel = (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width_);
    const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, height_);
    for (int y = top; y < bottom; ++y)
        std::fill_n(pixels_.begin() + ptrdiff_t(y) * width_ + left, std::max(right - left, 0), pixel);
}

void ChromePainter::Outline(const RECT& r, COLORREF colour) {
    Fill(RECT{r.left, r.top, r.right, r.top + 1}, colour);
    Fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
    Fill(RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
    Fill(RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

void ChromePainter::Label(const RECT&, LPCWSTR, COLORREF) {}

} // namespace platform::shell
