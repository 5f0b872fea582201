#include "platform/shell/shell_chrome.h"

#include <algorithm>
#include <string>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/win/html_view.h"
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

HFONT CreateChromeFont() {
    LOGFONTW lf{};
    lf.lfHeight = -std::max(1, (9 * GetScreen().config.dpi + 36) / 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    return CreateFontIndirectW(&lf); // no face name: fontconfig's sans-serif
}

ChromePainter::ChromePainter(HWND hwnd, HFONT font) : hwnd_(hwnd), font_(font), ownFont_(!font) {
    RECT r;
    if (!GetClientRect(hwnd, &r) || r.right <= 0 || r.bottom <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = r.right;
    info.bmiHeader.biHeight = -r.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!bitmap_) return;
    oldBitmap_ = SelectObject(dc_, bitmap_);
    pixels_ = static_cast<uint32_t*>(bits);
    width_ = r.right;
    height_ = r.bottom;
}

ChromePainter::~ChromePainter() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (dc && pixels_) BitBlt(dc, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
    EndPaint(hwnd_, &ps);
    if (fontSelected_) SelectObject(dc_, oldFont_);
    if (font_ && ownFont_) DeleteObject(font_);
    if (bitmap_) {
        SelectObject(dc_, oldBitmap_);
        DeleteObject(bitmap_);
    }
    if (dc_) DeleteDC(dc_);
}

void ChromePainter::Fill(const RECT& r, COLORREF colour) {
    if (!pixels_) return;
    const uint32_t pixel = (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width_);
    const int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, height_);
    for (int y = top; y < bottom; ++y)
        std::fill_n(pixels_ + ptrdiff_t(y) * width_ + left, std::max(right - left, 0), pixel);
}

void ChromePainter::Outline(const RECT& r, COLORREF colour) {
    Fill(RECT{r.left, r.top, r.right, r.top + 1}, colour);
    Fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
    Fill(RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
    Fill(RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

bool ChromePainter::EnsureFont() {
    if (!pixels_) return false;
    if (!fontSelected_) {
        if (!font_) font_ = CreateChromeFont();
        if (!font_) return false;
        oldFont_ = SelectObject(dc_, font_);
        fontSelected_ = true;
        SetBkMode(dc_, TRANSPARENT);
    }
    return true;
}

void ChromePainter::Paragraph(const RECT& r, LPCWSTR text, COLORREF colour) {
    if (!text || !text[0] || !EnsureFont()) return;
    SetTextColor(dc_, colour);
    RECT box = r;
    DrawTextW(dc_, text, -1, &box, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

void ChromePainter::Html(const RECT& r, LPCWSTR html, COLORREF background) {
    if (!dc_ || !html || r.right <= r.left || r.bottom <= r.top) return;
    platform::HtmlView view;
    view.SetBackground(background);
    // The chrome's own text size and no outer margins; the text's own styles come after and win.
    const int px = std::max(1, (9 * GetScreen().config.dpi + 36) / 72);
    const std::string defaults =
        "<style>body{margin:0;font-size:" + std::to_string(px) + "px}p{margin:0 0 .25em 0}</style>";
    view.Load(defaults + platform::Utf8FromWide(html, wcslen(html)));
    view.Layout(r.right - r.left);
    view.Draw(dc_, r.left, r.top, r);
}

void ChromePainter::Image(int x, int y, int size, const uint32_t* pixels) {
    if (!pixels_ || !pixels) return;
    for (int row = 0; row < size; ++row) {
        if (y + row < 0 || y + row >= height_) continue;
        for (int col = 0; col < size; ++col) {
            const uint32_t p = pixels[ptrdiff_t(row) * size + col];
            if ((p >> 24) && x + col >= 0 && x + col < width_)
                pixels_[ptrdiff_t(y + row) * width_ + x + col] = p & 0xFFFFFF;
        }
    }
}

int ChromePainter::TextWidth(LPCWSTR text) {
    SIZE size{};
    if (!text || !text[0] || !EnsureFont()) return 0;
    GetTextExtentPoint32W(dc_, text, int(wcslen(text)), &size);
    return size.cx;
}

void ChromePainter::Label(const RECT& r, LPCWSTR text, COLORREF colour, UINT align) {
    if (!text || !text[0] || !EnsureFont()) return;
    SetTextColor(dc_, colour);
    RECT box = r;
    DrawTextW(dc_, text, -1, &box,
              (align & (DT_CENTER | DT_RIGHT)) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

} // namespace platform::shell
