#include "platform/win/dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/shell_chrome.h"
#include "platform/win/font.h"
#include "platform/win/input.h"
#include "platform/win/last_error.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"
#include "platform/win/screen.h"
#include "platform/win/sys_color.h"
#include "platform/win/text_draw.h"
#include "platform/win/window_paint.h"

namespace {

constexpr WCHAR kDialogClass[] = u"#32770";
constexpr WCHAR kButtonClass[] = u"BUTTON";
constexpr WCHAR kStaticClass[] = u"STATIC";
// Message boxes use the face and size that dialog templates name most.
constexpr WCHAR kBoxFace[] = u"MS Shell Dlg";
constexpr int kBoxPoints = 8;
constexpr WCHAR kCloseMark[] = u"\u00D7";

struct Control {
    std::u16string className, text;
    WORD id;
    DWORD style;
    RECT rect; // in the dialog's client area
};

// A dialog laid out in pixels, from a template or made for a message box.
struct Layout {
    std::u16string caption;
    DWORD style = 0;
    int width = 0, height = 0; // the whole window, caption strip included
    std::vector<Control> controls;
};

// What a running dialog keeps; it lives on the stack of the call that runs it.
struct Dialog {
    DLGPROC proc = nullptr;
    HFONT font = nullptr;
    int captionHeight = 0;
    bool ended = false;
    INT_PTR result = 0;
    bool closePressed = false;
    std::vector<HWND> controls;
};

int EmPixels(int points) {
    return std::max(1, (points * GetScreen().config.dpi + 36) / 72);
}

HFONT MakeFontOfEm(const WCHAR* face, int em) {
    LOGFONTW lf{};
    lf.lfHeight = -std::max(1, em);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    if (face) {
        const size_t n = std::min<size_t>(wcslen(face), LF_FACESIZE - 1);
        std::copy_n(face, n, lf.lfFaceName);
    }
    return CreateFontIndirectW(&lf);
}

HFONT MakeFont(const WCHAR* face, int points) {
    return MakeFontOfEm(face, EmPixels(points));
}

// Measures with the font in a memory DC, which the caller gets back selected.
class Measure {
public:
    explicit Measure(HFONT font) : dc_(CreateCompatibleDC(nullptr)) {
        if (dc_ && font) old_ = SelectObject(dc_, font);
    }
    ~Measure() {
        if (!dc_) return;
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

    // The dialog base units: the average width of the letters and the line height.
    SIZE BaseUnits() const {
        SIZE units{4, 8};
        TEXTMETRICW metrics{};
        SIZE letters{};
        static const WCHAR kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (dc_ && GetTextMetricsW(dc_, &metrics) && GetTextExtentPoint32W(dc_, kLetters, 52, &letters)) {
            units.cx = std::max<LONG>(1, (letters.cx / 26 + 1) / 2);
            units.cy = std::max<LONG>(1, metrics.tmHeight);
        }
        return units;
    }
    // The height of the text broken into lines `width` wide.
    int TextHeight(const WCHAR* text, int width) const {
        RECT r{0, 0, width, 0};
        if (dc_ && text) DrawTextW(dc_, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        return r.bottom - r.top;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

int CaptionHeight(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION ? platform::shell::BarHeight() : 0;
}

RECT CloseBox(HWND hwnd, const Dialog& d) {
    RECT r{};
    GetClientRect(hwnd, &r);
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_SYSMENU) || d.captionHeight == 0) return RECT{0, 0, 0, 0};
    return RECT{r.right - d.captionHeight, 0, r.right, d.captionHeight};
}

bool Inside(const RECT& r, LPARAM lParam) {
    const int x = short(LOWORD(ULONG_PTR(lParam))), y = short(HIWORD(ULONG_PTR(lParam)));
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void PaintDialog(HWND hwnd, const Dialog& d) {
    platform::shell::ChromePainter p(hwnd, d.font);
    const RECT all{0, 0, p.Width(), p.Height()};
    p.Fill(all, GetSysColor(COLOR_WINDOW));
    if (d.captionHeight > 0) {
        const RECT strip{0, 0, p.Width(), d.captionHeight};
        p.Fill(strip, GetSysColor(COLOR_ACTIVECAPTION));
        WCHAR caption[256] = {};
        GetWindowTextW(hwnd, caption, 256);
        const RECT close = CloseBox(hwnd, d);
        const int pad = d.captionHeight / 4;
        p.Label(RECT{pad, 0, (close.right > close.left ? close.left : p.Width()) - pad, d.captionHeight}, caption,
                GetSysColor(COLOR_CAPTIONTEXT), DT_LEFT);
        if (close.right > close.left) {
            if (d.closePressed) p.Fill(close, GetSysColor(COLOR_HIGHLIGHT));
            p.Label(close, kCloseMark, GetSysColor(COLOR_CAPTIONTEXT));
        }
    }
    p.Outline(all, GetSysColor(COLOR_WINDOWFRAME));
}

LRESULT DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, 0,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, 0));
    if (!d) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, 0, 0);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (d->proc && message != WM_NCCREATE && message != WM_CREATE) {
        if (INT_PTR handled = d->proc(hwnd, message, wParam, lParam)) return handled;
    }
    switch (message) {
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(d->font);
    case WM_CLOSE:
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintDialog(hwnd, *d);
        return 0;
    case WM_LBUTTONDOWN:
        if (Inside(CloseBox(hwnd, *d), lParam)) {
            d->closePressed = true;
            SetCapture(hwnd);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (d->closePressed) {
            d->closePressed = false;
            ReleaseCapture();
            InvalidateRect(hwnd, nullptr, FALSE);
            if (Inside(CloseBox(hwnd, *d), lParam)) SendMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

HFONT ParentFont(HWND hwnd) {
    return reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0));
}

// A push button: pressed while the stylus is down on it, clicked when it is lifted over it.
LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        const bool pressed = GetWindowLongPtrW(hwnd, 0) != 0;
        const bool isDefault = (GetWindowLongW(hwnd, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
        platform::shell::ChromePainter p(hwnd, ParentFont(hwnd));
        const RECT all{0, 0, p.Width(), p.Height()};
        p.Fill(all, GetSysColor(pressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        p.Outline(all, GetSysColor(COLOR_WINDOWFRAME));
        if (isDefault) p.Outline(RECT{1, 1, p.Width() - 1, p.Height() - 1}, GetSysColor(COLOR_WINDOWFRAME));
        WCHAR text[256] = {};
        GetWindowTextW(hwnd, text, 256);
        p.Label(all, text, GetSysColor(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        SetWindowLongPtrW(hwnd, 0, 1);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) {
            RECT r;
            GetClientRect(hwnd, &r);
            const LONG_PTR over = Inside(r, lParam) ? 1 : 0;
            if (GetWindowLongPtrW(hwnd, 0) != over) {
                SetWindowLongPtrW(hwnd, 0, over);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
        }
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd) return 0;
        RECT r;
        GetClientRect(hwnd, &r);
        ReleaseCapture();
        SetWindowLongPtrW(hwnd, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        if (Inside(r, lParam))
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetWindowLongW(hwnd, GWL_ID), BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (GetWindowLongPtrW(hwnd, 0)) {
            SetWindowLongPtrW(hwnd, 0, 0);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// A text: lines broken between words from its top left.
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        platform::shell::ChromePainter p(hwnd, ParentFont(hwnd));
        p.Fill(RECT{0, 0, p.Width(), p.Height()}, GetSysColor(COLOR_WINDOW));
        WCHAR text[1024] = {};
        GetWindowTextW(hwnd, text, 1024);
        p.Paragraph(RECT{0, 0, p.Width(), p.Height()}, text, GetSysColor(COLOR_WINDOWTEXT));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool RegisterClasses() {
    struct Entry {
        const WCHAR* name;
        WNDPROC proc;
    };
    for (const Entry& e :
         {Entry{kDialogClass, DialogProc}, Entry{kButtonClass, ButtonProc}, Entry{kStaticClass, StaticProc}}) {
        WNDCLASSW wc{};
        if (GetClassInfoW(GetModuleHandleW(nullptr), e.name, &wc)) continue;
        wc.lpfnWndProc = e.proc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = e.name;
        if (!RegisterClassW(&wc)) return false;
    }
    return true;
}

// Enter presses the default button, Escape (the Back key) cancels: keys the dialog takes before
// any of its windows would.
bool TakeDialogKey(HWND dialog, const Dialog& d, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != dialog && GetParent(msg.hwnd) != dialog)) return false;
    if (msg.wParam == VK_ESCAPE) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    }
    if (msg.wParam != VK_RETURN) return false;
    for (HWND control : d.controls)
        if ((GetWindowLongW(control, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetWindowLongW(control, GWL_ID), BN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
            return true;
        }
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

// Makes the dialog's windows over the disabled owner, runs its loop and takes it down again.
INT_PTR RunModal(const Layout& layout, HFONT font, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param) {
    if (!RegisterClasses()) return -1;
    Dialog d;
    d.proc = proc;
    d.font = font;
    d.captionHeight = CaptionHeight(layout.style);
    const int screenW = GetScreen().config.width, screenH = GetScreen().config.height;
    const int width = std::min(layout.width, screenW), height = std::min(layout.height, screenH);
    const DWORD style = WS_POPUP | (layout.style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    HWND dialog = CreateWindowExW(0, kDialogClass, layout.caption.c_str(), style, (screenW - width) / 2,
                                  (screenH - height) / 2, width, height, owner, nullptr, instance, &d);
    if (!dialog) return -1;
    for (const Control& c : layout.controls) {
        HWND control =
            CreateWindowExW(0, c.className.c_str(), c.text.c_str(), WS_CHILD | WS_VISIBLE | c.style, c.rect.left,
                            c.rect.top + d.captionHeight, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top,
                            dialog, reinterpret_cast<HMENU>(UINT_PTR(c.id)), instance, nullptr);
        if (control) d.controls.push_back(control);
    }
    const bool ownerWasEnabled = owner && IsWindow(owner) && !EnableWindow(owner, FALSE);
    SendMessageW(dialog, WM_INITDIALOG, d.controls.empty() ? 0 : reinterpret_cast<WPARAM>(d.controls.front()), param);
    bool quit = false;
    if (!d.ended && IsWindow(dialog)) {
        ShowWindow(dialog, SW_SHOW);
        SetActiveWindow(dialog);
        SetFocus(dialog);
        MSG msg;
        while (!d.ended && IsWindow(dialog)) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0) {
                // Posted again for the loops outside, which end too.
                if (got == 0) PostQuitMessage(int(msg.wParam));
                quit = true;
                break;
            }
            if (TakeDialogKey(dialog, d, msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The owner is enabled before the dialog goes, so that activation returns to it.
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    return quit ? 0 : d.result;
}

LONG Units(int value, LONG base, int per) {
    return LONG((value * base + per / 2) / per);
}

// A box as wide as most of the screen: the text, broken into lines, above a centred OK button.
void LayOutMessageBox(const Measure& measure, LPCWSTR text, LPCWSTR caption, Layout* out) {
    const SIZE base = measure.BaseUnits();
    const int screenW = GetScreen().config.width, screenH = GetScreen().config.height;
    const LONG padX = Units(7, base.cx, 4), padY = Units(7, base.cy, 8);
    const LONG buttonW = Units(50, base.cx, 4), buttonH = Units(14, base.cy, 8);
    out->caption = caption ? caption : u"";
    out->style = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    out->width = screenW * 7 / 8;
    const LONG captionH = CaptionHeight(out->style);
    const LONG roomForText = std::max<LONG>(base.cy, screenH - captionH - buttonH - 3 * padY);
    const LONG textH =
        std::min<LONG>(std::max(measure.TextHeight(text, out->width - 2 * padX), int(base.cy)), roomForText);
    out->height = captionH + padY + textH + padY + buttonH + padY;
    out->controls.push_back(
        Control{kStaticClass, text ? text : u"", 0xFFFF, SS_LEFT, RECT{padX, padY, out->width - padX, padY + textH}});
    const LONG buttonX = (out->width - buttonW) / 2, buttonY = padY + textH + padY;
    out->controls.push_back(Control{kButtonClass, u"OK", WORD(IDOK), BS_DEFPUSHBUTTON,
                                    RECT{buttonX, buttonY, buttonX + buttonW, buttonY + buttonH}});
}

INT_PTR MessageBoxCommand(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_COMMAND) return 0;
    EndDialog(hwnd, IDOK);
    return 1;
}

Dialog* DialogOf(HWND hwnd) {
    if (!IsWindow(hwnd) || GetWindowLongPtrW(hwnd, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(DialogProc))
        return nullptr;
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, 0));
}

} // namespace

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    const auto id = reinterpret_cast<ULONG_PTR>(name);
    const platform::resources::DialogResource* t =
        id <= 0xFFFF ? platform::resources::FindDialogResource(instance, UINT(id)) : nullptr;
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    // A template larger than the screen in its font's units (a wide face at a high density) is
    // shown in a smaller size of the font, so that the whole dialog and its texts show.
    const int screenW = GetScreen().config.width, roomH = GetScreen().config.height - CaptionHeight(t->style);
    int em = EmPixels(t->pointSize ? t->pointSize : kBoxPoints);
    HFONT font = nullptr;
    SIZE base{};
    for (int tries = 0; tries < 4; ++tries) {
        if (font) DeleteObject(font);
        font = MakeFontOfEm(t->fontFace, em);
        base = Measure(font).BaseUnits();
        const int wide = Units(t->cx, base.cx, 4), tall = Units(t->cy, base.cy, 8);
        if (wide <= screenW && tall <= roomH) break;
        em = std::max(1, std::min(em * screenW / std::max(wide, 1), em * roomH / std::max(tall, 1)));
    }
    // What rounding still leaves too large keeps the font and takes smaller units.
    if (t->cx > 0 && Units(t->cx, base.cx, 4) > screenW) base.cx = std::max(1, screenW * 4 / t->cx);
    if (t->cy > 0 && Units(t->cy, base.cy, 8) > roomH) base.cy = std::max(1, roomH * 8 / t->cy);
    Layout layout;
    layout.caption = t->caption ? t->caption : u"";
    layout.style = t->style;
    layout.width = Units(t->cx, base.cx, 4);
    layout.height = Units(t->cy, base.cy, 8) + CaptionHeight(t->style);
    for (int i = 0; i < t->itemCount; ++i) {
        const platform::resources::DialogItemResource& item = t->items[i];
        const LONG x = Units(item.x, base.cx, 4), y = Units(item.y, base.cy, 8);
        layout.controls.push_back(Control{item.className ? item.className : u"", item.text ? item.text : u"", item.id,
                                          item.style,
                                          RECT{x, y, x + Units(item.cx, base.cx, 4), y + Units(item.cy, base.cy, 8)}});
    }
    const INT_PTR result = RunModal(layout, font, instance, owner, proc, param);
    if (font) DeleteObject(font);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Dialog* d = DialogOf(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    PostMessageW(dialog, WM_NULL, 0, 0); // wakes a loop asleep in GetMessage
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    if (const Dialog* d = DialogOf(dialog))
        for (HWND control : d->controls)
            if (IsWindow(control) && GetWindowLongW(control, GWL_ID) == id) return control;
    return nullptr;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if ((type & MB_TYPEMASK) != MB_OK) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    HFONT font = MakeFont(kBoxFace, kBoxPoints);
    Layout layout;
    {
        Measure measure(font);
        LayOutMessageBox(measure, text, caption, &layout);
    }
    const INT_PTR result = RunModal(layout, font, nullptr, owner, MessageBoxCommand, 0);
    if (font) DeleteObject(font);
    return result == IDOK ? IDOK : 0;
}
