// Activation, keyboard focus, mouse capture, enabling, re-parenting and coordinates of windows.
#include <algorithm>

#include "platform/shell/menu_bar.h"
#include "platform/shell/single_instance.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/window_internal.h"

using namespace platform::detail;

namespace {

// One UI thread holds these, as on the device.
HWND active = nullptr;
HWND foreground = nullptr;
HWND focus = nullptr;
HWND capture = nullptr;
POINT cursor{0, 0};

char desktopAnchor;

HWND TopLevelOf(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    while (w && w->parent)
        w = Find(w->parent);
    return w ? ToHandle(w) : nullptr;
}

// A shown, enabled top-level window of the thread that does not refuse activation.
bool CanTakeActivationLocked(const Window* w, DWORD thread) {
    return !w->parent && !w->messageOnly && !w->destroying && w->thread == thread && (w->style & WS_VISIBLE) &&
           !(w->style & WS_DISABLED) && !(w->exStyle & WS_EX_NOACTIVATE);
}

bool Alive(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    return w && !w->destroying;
}

} // namespace

HWND GetDesktopWindow() {
    return reinterpret_cast<HWND>(&desktopAnchor);
}

HWND SetActiveWindow(HWND hwnd) {
    HWND top = hwnd == GetDesktopWindow() ? nullptr : TopLevelOf(hwnd);
    if (hwnd && hwnd != GetDesktopWindow() && !top) return nullptr;
    HWND old = active;
    if (top == old) return old;
    active = top;
    if (old && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    if (top && active == top) SendMessageW(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    platform::shell::OnActiveWindowChanged(active); // the active window's menu bar shows
    return old;
}

HWND GetActiveWindow() {
    return active;
}

BOOL SetForegroundWindow(HWND hwnd) {
    // A window of another process (as FindWindowW found it) comes forward through its owner.
    if (platform::IsWindowOfOtherProcess(hwnd)) return platform::ActivateWindowOfOtherProcess(hwnd);
    if (hwnd == GetDesktopWindow()) {
        foreground = hwnd;
        SetActiveWindow(nullptr);
        return TRUE;
    }
    HWND top = TopLevelOf(hwnd);
    if (!top) return FALSE;
    foreground = top;
    SetActiveWindow(top);
    return TRUE;
}

HWND GetForegroundWindow() {
    return foreground;
}

BOOL FlashWindowEx(const FLASHWINFO* info) {
    if (!info || info->cbSize != sizeof(FLASHWINFO)) return FALSE;
    std::lock_guard lock(tableMutex);
    Window* w = Find(info->hwnd);
    if (!w || w->destroying) return FALSE;
    const bool was = w->flashing;
    w->flashing = info->dwFlags != FLASHW_STOP;
    return was;
}

bool platform::IsWindowFlashing(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    return w && !w->destroying && w->flashing;
}

bool platform::IsAnyWindowFlashing() {
    std::lock_guard lock(tableMutex);
    for (const auto& [handle, w] : windows)
        if (w->flashing && !w->destroying) return true;
    return false;
}

HWND SetFocus(HWND hwnd) {
    if (hwnd && !Alive(hwnd)) return nullptr;
    HWND old = focus;
    if (hwnd == old) return old;
    focus = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && focus == hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    return focus;
}

HWND SetCapture(HWND hwnd) {
    if (!Alive(hwnd)) return nullptr;
    HWND old = capture;
    capture = hwnd;
    if (old && old != hwnd && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    HWND old = capture;
    capture = nullptr;
    if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return capture;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    cursor = POINT{x, y};
    return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (!enable && (focus == hwnd || capture == hwnd)) {
        if (capture == hwnd) ReleaseCapture();
        if (focus == hwnd) SetFocus(nullptr);
    }
    SendMessageW(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED);
}

HWND SetParent(HWND hwnd, HWND parent) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    Window* p = parent ? Find(parent) : nullptr;
    if (!w || (parent && !p) || p == w || (p && IsDescendantLocked(p, hwnd))) return nullptr;
    const VisibleSnapshot before = SnapshotLocked();
    HWND old = w->parent ? w->parent : w->owner;
    w->parent = parent;
    w->owner = nullptr;
    w->z = nextZ++;
    ExposeLocked(before, hwnd, true);
    return old ? old : GetDesktopWindow();
}

namespace {

// The client origin on the screen; a right-to-left window's client x runs leftwards from its
// right edge, so that its origin is its top-right pixel.
struct ClientFrame {
    POINT origin{0, 0};
    bool mirrored = false;
    int64_t ToScreenX(int64_t x) const { return mirrored ? origin.x - x : origin.x + x; }
    int64_t ToClientX(int64_t x) const { return mirrored ? origin.x - x : x - origin.x; }
};

bool FrameOf(HWND hwnd, ClientFrame* frame) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return false;
    const RECT r = ScreenRectLocked(w);
    frame->mirrored = (w->exStyle & WS_EX_LAYOUTRTL) != 0;
    frame->origin = POINT{frame->mirrored ? r.right - 1 : r.left, r.top};
    return true;
}

LONG Narrow(int64_t v) {
    return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    ClientFrame f;
    if (!point || !FrameOf(hwnd, &f)) return FALSE;
    point->x = Narrow(f.ToScreenX(point->x));
    point->y = Narrow(int64_t(point->y) + f.origin.y);
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    ClientFrame f;
    if (!point || !FrameOf(hwnd, &f)) return FALSE;
    point->x = Narrow(f.ToClientX(point->x));
    point->y = Narrow(int64_t(point->y) - f.origin.y);
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    ClientFrame a, b;
    if ((from && !FrameOf(from, &a)) || (to && !FrameOf(to, &b)) || (!points && count)) return 0;
    for (UINT i = 0; i < count; ++i) {
        points[i].x = Narrow(b.ToClientX(a.ToScreenX(points[i].x)));
        points[i].y = Narrow(int64_t(points[i].y) + a.origin.y - b.origin.y);
    }
    const int dx = a.origin.x - b.origin.x, dy = a.origin.y - b.origin.y;
    return int(uint32_t(uint16_t(dx)) | uint32_t(uint16_t(dy)) << 16);
}

namespace platform::detail {

void ForgetWindowState(HWND hwnd) {
    auto inTree = [hwnd](HWND h) {
        if (!h) return false;
        if (h == hwnd) return true;
        std::lock_guard lock(tableMutex);
        return IsDescendantLocked(Find(h), hwnd);
    };
    if (inTree(capture)) ReleaseCapture();
    if (inTree(focus)) SetFocus(nullptr);
    if (active == hwnd) {
        // Activation goes back to the owner when it can take it, else to the topmost window of the
        // thread that can: keys would otherwise reach no window at all.
        HWND next = nullptr;
        {
            std::lock_guard lock(tableMutex);
            Window* w = Find(hwnd);
            Window* o = w ? Find(w->owner) : nullptr;
            if (o && (o->style & WS_VISIBLE) && !o->destroying) {
                next = ToHandle(o);
            } else if (w) {
                const Window* top = nullptr;
                for (const auto& [handle, other] : windows)
                    if (other.get() != w && CanTakeActivationLocked(other.get(), w->thread) &&
                        (!top || other->z > top->z))
                        top = other.get();
                if (top) next = ToHandle(top);
            }
        }
        SetActiveWindow(next);
    }
    if (foreground == hwnd) foreground = active;
}

} // namespace platform::detail
