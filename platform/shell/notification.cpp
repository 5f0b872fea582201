#include "platform/shell/notification.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/debug_output.h"
#include "platform/win/input.h"
#include "platform/win/last_error.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"
#include "platform/win/timer.h"
#include "platform/win/window_paint.h"

namespace {

constexpr const WCHAR* kBubbleClass = u"SHNotificationBubble";
constexpr UINT_PTR kHideTimer = 1;
constexpr COLORREF kTitleColour = platform::shell::kChromeBarColour;
constexpr COLORREF kKeyColour = platform::shell::kChromeButtonColour;
constexpr COLORREF kBodyColour = RGB(0xFF, 0xFF, 0xF0);
constexpr COLORREF kBorderColour = platform::shell::kChromeBarColour;
constexpr COLORREF kLightText = platform::shell::kChromeTextColour;

struct Notification {
    CLSID clsid;
    DWORD id;
    SHNP priority;
    DWORD duration;
    HICON icon;
    DWORD flags;
    HWND sink;
    std::u16string html, title, todayKey, todayExec;
    LPARAM lParam;
    std::u16string keyTitles[NOTIF_NUM_SOFTKEYS];
    SOFTKEYCMD keys[NOTIF_NUM_SOFTKEYS];
};

// The newest last; the bubble shows the newest.
std::vector<Notification> notifications;
HWND bubble = nullptr;
bool bubbleShown = false;

Notification* FindNotification(const CLSID* clsid, DWORD id) {
    if (!clsid) return nullptr;
    for (Notification& n : notifications)
        if (n.clsid == *clsid && n.id == id) return &n;
    return nullptr;
}

std::u16string Text(LPCWSTR text) {
    return text ? std::u16string(text) : std::u16string();
}

void Take(Notification& n, DWORD mask, const SHNOTIFICATIONDATA& d) {
    // Texts are copied before anything is replaced: the caller's may point into this record.
    if (mask & SHNUM_PRIORITY) n.priority = d.npPriority;
    if (mask & SHNUM_DURATION) n.duration = d.csDuration;
    if (mask & SHNUM_ICON) n.icon = d.hicon;
    if (mask & SHNUM_FLAGS) n.flags = d.grfFlags;
    std::u16string html = Text(d.pszHTML), title = Text(d.pszTitle), today = Text(d.pszTodaySK),
                   exec = Text(d.pszTodayExec);
    std::u16string keys[NOTIF_NUM_SOFTKEYS];
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i)
        keys[i] = Text(d.rgskn[i].pszTitle);
    if (mask & SHNUM_HTML) n.html = std::move(html);
    if (mask & SHNUM_TITLE) n.title = std::move(title);
    if (mask & SHNUM_TODAYKEY) n.todayKey = std::move(today);
    if (mask & SHNUM_TODAYEXEC) n.todayExec = std::move(exec);
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        if (mask & SHNUM_SOFTKEYS) n.keyTitles[i] = std::move(keys[i]);
        if (mask & SHNUM_SOFTKEYCMDS) n.keys[i] = d.rgskn[i].skc;
    }
    n.sink = d.hwndSink;
    n.lParam = d.lParam;
}

// The bubble sits on the screen's full width right above the menu-bar strip: a title bar, the
// body of two bars' height and the row of the two soft keys.
RECT BubbleRect() {
    const int bar = platform::shell::BarHeight();
    const int bottom = platform::shell::ScreenHeight() - bar;
    return RECT{0, bottom - 4 * bar, platform::shell::ScreenWidth(), bottom};
}

// A part in the bubble's own coordinates.
RECT PartRect(platform::shell::BubblePart part, const Notification& n) {
    using platform::shell::BubblePart;
    const RECT whole = BubbleRect();
    const int w = whole.right - whole.left, bar = platform::shell::BarHeight();
    const bool spinners = (n.flags & SHNF_SPINNERS) != 0;
    switch (part) {
    case BubblePart::kWhole:
        return RECT{0, 0, w, 4 * bar};
    case BubblePart::kTitle:
        return RECT{0, 0, spinners ? w - 2 * bar : w, bar};
    case BubblePart::kBody:
        return RECT{0, bar, w, 3 * bar};
    case BubblePart::kPrevious:
        return spinners ? RECT{w - 2 * bar, 0, w - bar, bar} : RECT{};
    case BubblePart::kNext:
        return spinners ? RECT{w - bar, 0, w, bar} : RECT{};
    case BubblePart::kSoftKey1:
        return RECT{0, 3 * bar, w / 2, 4 * bar};
    case BubblePart::kSoftKey2:
        return RECT{w / 2, 3 * bar, w, 4 * bar};
    }
    return RECT{};
}

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void PaintIcon(platform::shell::ChromePainter& paint, HICON icon, int x, int y) {
    platform::resources::IconImage image;
    if (!icon || !platform::resources::GetIconImage(icon, &image)) return;
    paint.Image(x, y, image.size, image.pixels);
}

void Paint(HWND hwnd, const Notification& n) {
    using platform::shell::BubblePart;
    platform::shell::ChromePainter paint(hwnd);
    const int bar = platform::shell::BarHeight(), inset = std::max(2, bar / 6);
    const RECT whole = PartRect(BubblePart::kWhole, n);
    paint.Fill(whole, kBodyColour);
    paint.Fill(RECT{0, 0, whole.right, bar}, kTitleColour);

    RECT title = PartRect(BubblePart::kTitle, n);
    int textLeft = inset;
    platform::resources::IconImage image;
    if (n.icon && platform::resources::GetIconImage(n.icon, &image)) {
        PaintIcon(paint, n.icon, inset, (bar - image.size) / 2);
        textLeft += image.size + inset;
    }
    // Text after a tab stands at the title bar's right end.
    const size_t tab = n.title.find(u'\t');
    const std::u16string left = n.title.substr(0, tab);
    if (tab != std::u16string::npos) {
        const std::u16string right = n.title.substr(tab + 1);
        paint.Label(RECT{textLeft, 0, title.right - inset, bar}, right.c_str(), kLightText, DT_RIGHT);
        title.right -= paint.TextWidth(right.c_str()) + 2 * inset;
    }
    paint.Label(RECT{textLeft, 0, title.right - inset, bar}, left.c_str(), kLightText, DT_LEFT);
    if (n.flags & SHNF_SPINNERS) {
        const RECT prev = PartRect(BubblePart::kPrevious, n), next = PartRect(BubblePart::kNext, n);
        paint.Fill(RECT{prev.left, prev.top + 2, prev.right - 1, prev.bottom - 2}, kKeyColour);
        paint.Fill(RECT{next.left + 1, next.top + 2, next.right, next.bottom - 2}, kKeyColour);
        paint.Label(prev, u"\u25C0", kLightText);
        paint.Label(next, u"\u25B6", kLightText);
    }

    const RECT b = PartRect(BubblePart::kBody, n);
    paint.Html(RECT{b.left + inset, b.top + inset, b.right - inset, b.bottom - inset}, n.html.c_str(), kBodyColour);

    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        RECT key = PartRect(i == 0 ? BubblePart::kSoftKey1 : BubblePart::kSoftKey2, n);
        paint.Fill(key, kKeyColour);
        paint.Label(key, n.keyTitles[i].c_str(), kLightText);
    }
    paint.Fill(RECT{whole.right / 2, 3 * bar, whole.right / 2 + 1, 4 * bar}, kTitleColour);
    paint.Outline(whole, kBorderColour);
}

const Notification* Shown() {
    return bubbleShown && !notifications.empty() ? &notifications.back() : nullptr;
}

LRESULT BubbleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (const Notification* n = Shown()) {
            Paint(hwnd, *n);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kHideTimer) {
            KillTimer(hwnd, kHideTimer);
            bubbleShown = false;
            ShowWindow(hwnd, SW_HIDE);
            return 0;
        }
        break;
    case WM_LBUTTONUP: {
        const Notification* n = Shown();
        if (!n) return 0;
        using platform::shell::BubblePart;
        const POINT p{int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
        // Everything is read before the sink hears of it: its answer may change the notification.
        const HWND sink = n->sink;
        NMSHN notify{};
        notify.hdr.hwndFrom = hwnd;
        notify.hdr.idFrom = n->id;
        notify.lParam = n->lParam;
        if (Inside(PartRect(BubblePart::kPrevious, *n), p)) {
            notify.hdr.code = SHNN_NAVPREV;
            SendMessageW(sink, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        } else if (Inside(PartRect(BubblePart::kNext, *n), p)) {
            notify.hdr.code = SHNN_NAVNEXT;
            SendMessageW(sink, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        } else if (Inside(PartRect(BubblePart::kSoftKey1, *n), p)) {
            PostMessageW(sink, WM_COMMAND, n->keys[0].wpCmd, 0);
        } else if (Inside(PartRect(BubblePart::kSoftKey2, *n), p)) {
            PostMessageW(sink, WM_COMMAND, n->keys[1].wpCmd, 0);
        }
        return 0;
    }
    case WM_DESTROY:
        if (hwnd == bubble) bubble = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Log(const Notification& n) {
    std::u16string line = u"notification: " + n.title + u" | " + platform::shell::PlainTextFromHtml(n.html.c_str()) +
                          u" | " + n.keyTitles[0] + u" / " + n.keyTitles[1];
    std::replace(line.begin(), line.end(), u'\t', u' ');
    std::replace(line.begin(), line.end(), u'\n', u' ');
    OutputDebugStringW(line.c_str());
}

// Shows the newest notification in the bubble, or hides the bubble when there is none.
void Present(bool changed) {
    if (notifications.empty()) {
        bubbleShown = false;
        if (bubble) {
            KillTimer(bubble, kHideTimer);
            ShowWindow(bubble, SW_HIDE);
        }
        return;
    }
    const Notification& n = notifications.back();
    if (changed) Log(n);
    if (!bubble || !IsWindow(bubble)) {
        if (!platform::shell::RegisterChromeClass(kBubbleClass, BubbleProc)) return;
        bubble = platform::shell::CreateChromeWindow(kBubbleClass, BubbleRect(), nullptr, false);
        if (!bubble) return;
    }
    bubbleShown = true;
    const RECT r = BubbleRect();
    SetWindowPos(bubble, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(bubble, nullptr, FALSE);
    KillTimer(bubble, kHideTimer);
    if (n.duration) SetTimer(bubble, kHideTimer, UINT(n.duration) * 1000, nullptr);
}

int Entity(const WCHAR* p, WCHAR* out) {
    static const struct {
        const WCHAR* name;
        WCHAR unit;
    } names[] = {{u"amp;", u'&'},  {u"lt;", u'<'},    {u"gt;", u'>'},
                 {u"quot;", u'"'}, {u"apos;", u'\''}, {u"nbsp;", 0xA0}};
    for (const auto& e : names) {
        const size_t n = wcslen(e.name);
        if (_wcsnicmp(p, e.name, n) == 0) {
            *out = e.unit;
            return int(n);
        }
    }
    if (p[0] == u'#') {
        WCHAR* end = nullptr;
        const bool hex = p[1] == u'x' || p[1] == u'X';
        const unsigned long code = wcstoul(p + (hex ? 2 : 1), &end, hex ? 16 : 10);
        if (end && *end == u';' && code > 0 && code <= 0xFFFF) {
            *out = WCHAR(code);
            return int(end - p + 1);
        }
    }
    return 0;
}

} // namespace

namespace platform::shell {

std::u16string PlainTextFromHtml(const WCHAR* html) {
    std::u16string out;
    if (!html) return out;
    for (const WCHAR* p = html; *p;) {
        if (*p == u'<') {
            const WCHAR* end = p;
            while (*end && *end != u'>')
                ++end;
            std::u16string tag(p + 1, end);
            for (char16_t& c : tag)
                c = towlower(c);
            if (tag.rfind(u"br", 0) == 0 || tag.rfind(u"/p", 0) == 0 || tag.rfind(u"/div", 0) == 0) out += u'\n';
            p = *end ? end + 1 : end;
        } else if (*p == u'&') {
            WCHAR unit = 0;
            const int used = Entity(p + 1, &unit);
            out += used ? unit : u'&';
            p += used + 1;
        } else if (*p == u'\r' || *p == u'\n' || *p == u'\t') {
            if (out.empty() || out.back() != u' ') out += u' ';
            ++p;
        } else {
            out += *p++;
        }
    }
    while (!out.empty() && (out.back() == u'\n' || out.back() == u' '))
        out.pop_back();
    return out;
}

RECT GetBubblePart(BubblePart part) {
    const Notification* n = Shown();
    if (!n || !bubble) return RECT{};
    RECT r = PartRect(part, *n);
    const RECT at = BubbleRect();
    if (r.right <= r.left) return RECT{};
    return RECT{r.left + at.left, r.top + at.top, r.right + at.left, r.bottom + at.top};
}

bool BubbleSoftKeyMessage(int which, MSG* out) {
    const Notification* n = Shown();
    if (!n || which < 0 || which >= NOTIF_NUM_SOFTKEYS || !out) return false;
    *out = MSG{n->sink, WM_COMMAND, n->keys[which].wpCmd, 0, 0, {0, 0}};
    return true;
}

HWND GetBubbleWindow() {
    return Shown() ? bubble : nullptr;
}

void ResetNotifications() {
    notifications.clear();
    bubbleShown = false;
    if (bubble && IsWindow(bubble)) DestroyWindow(bubble);
    bubble = nullptr;
}

} // namespace platform::shell

LONG SHNotificationAdd(SHNOTIFICATIONDATA* data) {
    if (!data) return ERROR_INVALID_PARAMETER;
    if (Notification* old = FindNotification(&data->clsid, data->dwID)) {
        notifications.erase(notifications.begin() + (old - notifications.data()));
    }
    Notification n{};
    n.clsid = data->clsid;
    n.id = data->dwID;
    Take(n, 0x3FF, *data);
    notifications.push_back(std::move(n));
    Present(true);
    return ERROR_SUCCESS;
}

LONG SHNotificationUpdate(DWORD mask, SHNOTIFICATIONDATA* data) {
    if (!data) return ERROR_INVALID_PARAMETER;
    Notification* n = FindNotification(&data->clsid, data->dwID);
    if (!n) return ERROR_NO_MATCH;
    Take(*n, mask, *data);
    // The changed notification comes to the front.
    Notification moved = std::move(*n);
    notifications.erase(notifications.begin() + (n - notifications.data()));
    notifications.push_back(std::move(moved));
    Present(true);
    return ERROR_SUCCESS;
}

LONG SHNotificationRemove(const CLSID* clsid, DWORD id) {
    Notification* n = FindNotification(clsid, id);
    if (!n) return ERROR_NO_MATCH;
    notifications.erase(notifications.begin() + (n - notifications.data()));
    Present(false);
    return ERROR_SUCCESS;
}

LONG SHNotificationGetData(const CLSID* clsid, DWORD id, SHNOTIFICATIONDATA* data) {
    const Notification* n = FindNotification(clsid, id);
    if (!data) return ERROR_INVALID_PARAMETER;
    if (!n) return ERROR_NO_MATCH;
    data->dwID = n->id;
    data->npPriority = n->priority;
    data->csDuration = n->duration;
    data->hicon = n->icon;
    data->grfFlags = n->flags;
    data->clsid = n->clsid;
    data->hwndSink = n->sink;
    data->pszHTML = n->html.c_str();
    data->pszTitle = n->title.c_str();
    data->lParam = n->lParam;
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        data->rgskn[i].pszTitle = n->keyTitles[i].c_str();
        data->rgskn[i].skc = n->keys[i];
    }
    data->pszTodaySK = n->todayKey.c_str();
    data->pszTodayExec = n->todayExec.c_str();
    return ERROR_SUCCESS;
}
