#include "platform/win/html_control.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/win/html_view.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/window_paint.h"

namespace {

// One line of the arrow keys' scroll, at 96 dpi.
constexpr int kScrollStep = 16;

struct Control {
    HWND hwnd = nullptr;
    platform::HtmlView view;
    std::u16string source;
    bool receiving = false;
    bool overflow = false; // the source outgrew what a page may be: it will be refused
    int scrollY = 0;
    std::string followed; // a link followed during the pointer event, told once the page is done with it
};

std::map<HWND, std::unique_ptr<Control>>& Controls() {
    static std::map<HWND, std::unique_ptr<Control>> controls;
    return controls;
}

Control* Find(HWND hwnd) {
    auto found = Controls().find(hwnd);
    return found == Controls().end() ? nullptr : found->second.get();
}

// Notifications go to the control's own window, so that a box that subclasses it hears them; the
// control passes them on to its parent.
void Notify(HWND hwnd, NMHDR* hdr, UINT code) {
    hdr->hwndFrom = hwnd;
    hdr->idFrom = 0;
    hdr->code = code;
    SendMessageW(hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(hdr));
}

void NotifyState(HWND hwnd, UINT code) {
    NMHDR hdr{};
    Notify(hwnd, &hdr, code);
}

int ClientWidth(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return std::max<LONG>(1, r.right - r.left);
}

int MaxScroll(Control* c) {
    RECT r{};
    GetClientRect(c->hwnd, &r);
    return std::max(0, c->view.Layout(ClientWidth(c->hwnd)) - int(r.bottom - r.top));
}

// Shows `utf8` as the page, telling the ready states as it goes.
void Show(Control* c, const std::string& utf8, const std::string& base) {
    const HWND hwnd = c->hwnd;
    c->scrollY = 0;
    c->view.Load(utf8, base);
    if (!IsWindow(hwnd) || Find(hwnd) != c) return;
    NotifyState(hwnd, NM_HTMLLOADED);
    if (!IsWindow(hwnd) || Find(hwnd) != c) return;
    c->view.Layout(ClientWidth(hwnd));
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyState(hwnd, NM_HTMLINTERACTIVE);
}

void Navigate(Control* c, const WCHAR* url) {
    if (!url || !*url) return;
    const std::string target = platform::Utf8FromWide(url, wcslen(url));
    const std::string path = platform::ResolveHTMLReference(target, std::string());
    std::string bytes;
    // Nothing outside the resources folder is read; other schemes are left to the control's owner.
    if (path.empty()) return;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() <= platform::HtmlView::kMaxSourceBytes)
        bytes.append(chunk, n);
    fclose(f);
    c->receiving = false;
    c->source.clear();
    NotifyState(c->hwnd, NM_HTMLLOADING);
    if (Find(c->hwnd) != c) return;
    if (bytes.size() > platform::HtmlView::kMaxSourceBytes) bytes.clear();
    Show(c, bytes, target);
}

LRESULT HandleKey(Control* c, WPARAM key) {
    NMHTMLKEY rec{};
    rec.keyCode = UINT(key);
    const HWND hwnd = c->hwnd;
    Notify(hwnd, &rec.hdr, NM_HTMLKEYDOWN);
    c = Find(hwnd);
    if (!c || (key != VK_UP && key != VK_DOWN)) return 0;
    HDC screen = GetDC(nullptr);
    const int step = kScrollStep * (screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96) / 96;
    if (screen) ReleaseDC(nullptr, screen);
    const int before = c->scrollY;
    c->scrollY = std::clamp(c->scrollY + (key == VK_DOWN ? step : -step), 0, MaxScroll(c));
    if (c->scrollY != before) InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

LRESULT HtmlControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* c = Find(hwnd);
    switch (message) {
    case WM_CREATE: {
        auto control = std::make_unique<Control>();
        control->hwnd = hwnd;
        Control* raw = control.get();
        raw->view.onLink = [raw](const std::string& target) { raw->followed = target; };
        raw->view.onRedraw = [hwnd] { InvalidateRect(hwnd, nullptr, FALSE); };
        Controls()[hwnd] = std::move(control);
        return 0;
    }
    case WM_NCDESTROY:
        // The control may be in one of its own notifications: let that frame end first.
        if (auto found = Controls().find(hwnd); found != Controls().end()) {
            std::unique_ptr<Control> dying = std::move(found->second);
            Controls().erase(found);
            dying.reset();
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        break;
    }
    if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case DTM_CLEAR:
        c->source.clear();
        c->overflow = false;
        c->receiving = false;
        c->scrollY = 0;
        c->view.Clear();
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyState(hwnd, NM_HTMLLOADING);
        return 0;
    case DTM_ADDTEXTW: {
        const WCHAR* text = reinterpret_cast<const WCHAR*>(lParam);
        if (!text) return 0;
        c->receiving = true;
        const size_t length = wcslen(text);
        // A UTF-16 unit takes at least one byte of UTF-8: more units than bytes allowed is refused.
        if (c->source.size() + length > platform::HtmlView::kMaxSourceBytes)
            c->overflow = true;
        else
            c->source.append(text, length);
        return 0;
    }
    case DTM_ENDOFSOURCE: {
        const std::string utf8 =
            c->overflow ? std::string() : platform::Utf8FromWide(c->source.data(), c->source.size());
        c->source.clear();
        c->source.shrink_to_fit();
        c->overflow = false;
        c->receiving = false;
        Show(c, utf8, std::string());
        return 0;
    }
    case DTM_ENABLESHRINK:
        c->view.SetFitImages(lParam != 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case DTM_NAVIGATE:
        Navigate(c, reinterpret_cast<const WCHAR*>(lParam));
        return 0;
    case DTM_STOP: {
        const bool stopped = c->receiving;
        c->source.clear();
        c->overflow = false;
        c->receiving = false;
        return stopped;
    }
    case WM_NOTIFY: {
        // Our own notifications, once the window's procedure has seen them, go on to the parent.
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom == hwnd && GetParent(hwnd))
            return SendMessageW(GetParent(hwnd), message, wParam, lParam);
        return 0;
    }
    case WM_SIZE:
        c->scrollY = std::min(c->scrollY, MaxScroll(c));
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) {
            c->view.Layout(ClientWidth(hwnd));
            c->view.Draw(dc, 0, -c->scrollY, ps.rcPaint);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        c = Find(hwnd);
        if (c) c->view.PointerDown(short(LOWORD(lParam)), short(HIWORD(lParam)) + c->scrollY);
        return 0;
    case WM_LBUTTONUP: {
        c->view.PointerUp(short(LOWORD(lParam)), short(HIWORD(lParam)) + c->scrollY);
        const std::string target = std::move(c->followed);
        c->followed.clear();
        if (!target.empty()) {
            // The owner may destroy the control from here: nothing of it is used after.
            NMHTMLLINK rec{};
            rec.target = target.c_str();
            Notify(hwnd, &rec.hdr, NM_HOTSPOT);
        }
        return 0;
    }
    case WM_KEYDOWN:
        return HandleKey(c, wParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

BOOL InitHTMLControl(HINSTANCE instance) {
    WNDCLASSW existing{};
    if (GetClassInfoW(instance, kHTMLControlClass, &existing)) return TRUE;
    WNDCLASSW wc{};
    wc.lpfnWndProc = HtmlControlProc;
    wc.hInstance = instance;
    wc.lpszClassName = kHTMLControlClass;
    return RegisterClassW(&wc) != 0;
}
