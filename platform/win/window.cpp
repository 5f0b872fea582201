#include "platform/win/window.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/single_instance.h"
#include "platform/shell/task_bar.h"
#include "platform/win/message_queue.h"
#include "platform/win/message_queue_internal.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/system_params.h"
#include "platform/win/window_internal.h"
#include "platform/win/window_paint.h"

namespace platform::detail {
std::mutex tableMutex;
std::map<uintptr_t, std::unique_ptr<Window>> windows;
int64_t nextZ = 1;
} // namespace platform::detail

namespace {

using namespace platform::detail;

std::vector<std::unique_ptr<WindowClass>> classes;
uintptr_t nextHandle = 0x10000;
ATOM nextAtom = 0xC000;

WindowClass* FindClass(LPCWSTR name) {
    if (!name) return nullptr;
    for (auto& c : classes)
        if (_wcsicmp(c->name.c_str(), name) == 0) return c.get();
    return nullptr;
}

void Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageW(hwnd, message, wParam, lParam);
}

// The far edge of a span; saturates, so a window placed at the end of the range keeps a valid rect.
LONG FarEdge(int origin, int length) {
    const int64_t edge = int64_t(origin) + std::max(length, 0);
    return LONG(std::min<int64_t>(edge, INT32_MAX));
}

LPARAM SizeParam(const RECT& r) {
    return MAKELPARAM(r.right - r.left, r.bottom - r.top);
}
LPARAM PositionParam(const RECT& r) {
    return MAKELPARAM(r.left, r.top);
}

// The window and every descendant, parents before children, in creation order.
void CollectTree(HWND root, std::vector<HWND>& out) {
    out.push_back(root);
    for (size_t i = out.size() - 1; i < out.size(); ++i)
        for (auto& [handle, w] : windows)
            if (w->parent == out[i] && !w->destroying) out.push_back(ToHandle(w.get()));
}

bool ShowsMinimized(int command) {
    return command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
}

} // namespace

namespace platform::detail {

bool LookUpWindow(HWND hwnd, WindowTarget* target) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return false;
    *target = {w->proc, w->thread};
    return true;
}

HWND FindWindowToPaint(DWORD thread, HWND filter) {
    std::lock_guard lock(tableMutex);
    for (auto& [handle, w] : windows)
        if (w->updatePending && w->thread == thread && !w->destroying && (!filter || ToHandle(w.get()) == filter))
            return ToHandle(w.get());
    return nullptr;
}

void SetUpdatePending(HWND hwnd, bool pending) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return;
    w->updatePending = pending && !w->messageOnly;
    if (pending) {
        w->update = RectSet(RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top});
    } else {
        w->update.Clear();
        w->erasePending = false;
    }
}

bool IsUpdatePending(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    return w && w->updatePending;
}

std::vector<HWND> RootWindowsOfThread(DWORD thread) {
    std::lock_guard lock(tableMutex);
    std::vector<HWND> out;
    for (auto& [handle, w] : windows)
        if (w->thread == thread && !w->parent && !w->destroying) out.push_back(ToHandle(w.get()));
    return out;
}

} // namespace platform::detail

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    static char programModule;
    return moduleName ? nullptr : reinterpret_cast<HMODULE>(&programModule);
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpszClassName[0] || !wc->lpfnWndProc || wc->cbWndExtra < 0) return 0;
    std::lock_guard lock(tableMutex);
    if (FindClass(wc->lpszClassName)) return 0;
    auto c = std::make_unique<WindowClass>();
    c->name = wc->lpszClassName;
    c->wc = *wc;
    c->wc.lpszClassName = nullptr; // the caller's text need not outlive the call
    c->wc.lpszMenuName = nullptr;
    c->atom = nextAtom++;
    ATOM atom = c->atom;
    classes.push_back(std::move(c));
    return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    std::lock_guard lock(tableMutex);
    WindowClass* c = FindClass(className);
    if (!c || c->windows > 0) return FALSE;
    std::erase_if(classes, [c](const auto& p) { return p.get() == c; });
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* wc) {
    std::lock_guard lock(tableMutex);
    WindowClass* c = FindClass(className);
    if (!c || !wc) return FALSE;
    *wc = c->wc;
    wc->lpszClassName = className;
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    HWND hwnd;
    bool publish;
    {
        std::lock_guard lock(tableMutex);
        WindowClass* c = FindClass(className);
        if (!c) return nullptr;
        bool messageOnly = parent == HWND_MESSAGE;
        if (messageOnly) parent = nullptr;
        publish = !messageOnly && !(style & WS_CHILD);
        if (parent && !Find(parent)) return nullptr;
        if ((style & WS_CHILD) && !parent) return nullptr;
        auto w = std::make_unique<Window>();
        w->handle = nextHandle;
        nextHandle += 4;
        w->cls = c;
        w->title = windowName ? windowName : u"";
        w->style = style & ~WS_VISIBLE; // shown at the end of creation
        w->exStyle = exStyle;
        w->rect = {x, y, FarEdge(x, width), FarEdge(y, height)};
        if (style & WS_CHILD)
            w->parent = parent;
        else
            w->owner = parent;
        w->messageOnly = messageOnly;
        w->thread = GetCurrentThreadId();
        w->proc = c->wc.lpfnWndProc;
        w->instance = instance;
        w->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
        w->extra.assign(size_t(c->wc.cbWndExtra), 0);
        w->z = nextZ++; // a new window goes on top of its siblings
        c->windows++;
        hwnd = ToHandle(w.get());
        windows.emplace(w->handle, std::move(w));
    }
    platform::detail::CurrentQueue();        // the thread's messages need somewhere to go
    if (publish) platform::PublishWindows(); // other processes may look for it by its title

    CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, LONG(style), windowName, className, exStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (IsWindow(hwnd) && SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    RECT r;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || w->destroying) return nullptr; // destroyed while being created
        r = w->rect;
    }
    Send(hwnd, WM_SIZE, SIZE_RESTORED, SizeParam(r));
    Send(hwnd, WM_MOVE, 0, PositionParam(r));
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> owned;
    std::vector<HWND> tree;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || w->thread != GetCurrentThreadId()) return FALSE;
        if (w->destroying) return TRUE; // already on its way out further up the stack
        for (auto& [handle, other] : windows)
            if (other->owner == hwnd && !other->destroying) owned.push_back(ToHandle(other.get()));
    }
    // Owned windows go entirely before their owner.
    for (HWND o : owned)
        DestroyWindow(o);
    {
        std::lock_guard lock(tableMutex);
        if (!Find(hwnd) || Find(hwnd)->destroying) return TRUE;
        CollectTree(hwnd, tree);
        // What the windows showed is uncovered below them.
        const VisibleSnapshot before = SnapshotLocked();
        for (HWND h : tree) {
            Window* w = Find(h);
            w->destroying = true;
            w->updatePending = false;
            w->update.Clear();
            w->style &= ~WS_VISIBLE;
        }
        ExposeLocked(before, hwnd, false);
    }
    for (HWND h : tree)
        platform::detail::KillWindowTimers(h, GetCurrentThreadId());
    ForgetWindowState(hwnd);
    // WM_DESTROY parent first, WM_NCDESTROY children first; the windows exist throughout.
    for (HWND h : tree)
        Send(h, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
        Send(*it, WM_NCDESTROY, 0, 0);
    std::lock_guard lock(tableMutex);
    for (HWND h : tree) {
        if (Window* w = Find(h)) {
            w->cls->windows--;
            windows.erase(w->handle);
        }
    }
    // Owned windows left by a procedure that created some during destruction lose their owner.
    for (auto& [handle, w] : windows)
        if (std::find(tree.begin(), tree.end(), w->owner) != tree.end()) w->owner = nullptr;
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    return Find(hwnd) != nullptr;
}

BOOL IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    for (Window* w = Find(hwnd); w; w = Find(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (!w->parent) return TRUE;
    }
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    {
        std::lock_guard lock(tableMutex);
        // Newest first: the last created top-level window is the one on top.
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            Window* w = it->second.get();
            if ((w->style & WS_CHILD) || w->messageOnly || w->destroying) continue;
            if (className && _wcsicmp(w->cls->name.c_str(), className) != 0) continue;
            if (windowName && _wcsicmp(w->title.c_str(), windowName) != 0) continue;
            return ToHandle(w);
        }
    }
    return platform::FindWindowOfOtherProcess(className, windowName);
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return 0;
    if (processId) *processId = DWORD(getpid());
    return w->thread;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos) return 0;
        RECT r;
        bool minimized;
        {
            std::lock_guard lock(tableMutex);
            Window* w = Find(hwnd);
            if (!w) return 0;
            r = w->rect;
            minimized = w->minimized;
        }
        if (!(pos->flags & SWP_NOMOVE)) Send(hwnd, WM_MOVE, 0, PositionParam(r));
        if (!(pos->flags & SWP_NOSIZE))
            Send(hwnd, WM_SIZE, minimized ? SIZE_MINIMIZED : SIZE_RESTORED, minimized ? 0 : SizeParam(r));
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && IsWindow(hwnd)) SetFocus(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    default:
        return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_ID:
        return w->id;
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWL_USERDATA:
        return w->userData;
    default:
        if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return 0;
    LONG_PTR old;
    switch (index) {
    case GWL_WNDPROC:
        if (!value) return 0;
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWL_ID:
        old = w->id;
        w->id = value;
        return old;
    case GWL_STYLE:
        old = LONG_PTR(w->style);
        w->style = DWORD(value);
        return old;
    case GWL_EXSTYLE:
        old = LONG_PTR(w->exStyle);
        w->exStyle = DWORD(value);
        return old;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    default:
        if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
}

LONG GetWindowLongW(HWND hwnd, int index) {
    if (index >= 0) {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || size_t(index) + sizeof(LONG) > w->extra.size()) return 0;
        LONG v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    return LONG(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    if (index >= 0) {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || size_t(index) + sizeof(LONG) > w->extra.size()) return 0;
        LONG old;
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
    // Styles are 32-bit words: keep the value unsigned rather than sign-extending it.
    if (index == GWL_STYLE || index == GWL_EXSTYLE) return LONG(SetWindowLongPtrW(hwnd, index, LONG_PTR(DWORD(value))));
    return LONG(SetWindowLongPtrW(hwnd, index, value));
}

namespace {

auto FindProp(Window* w, LPCWSTR name) {
    return std::find_if(w->props.begin(), w->props.end(),
                        [name](const auto& p) { return _wcsicmp(p.first.c_str(), name) == 0; });
}

} // namespace

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !name) return FALSE;
    auto it = FindProp(w, name);
    if (it != w->props.end())
        it->second = data;
    else
        w->props.emplace_back(name, data);
    return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !name) return nullptr;
    auto it = FindProp(w, name);
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !name) return nullptr;
    auto it = FindProp(w, name);
    if (it == w->props.end()) return nullptr;
    HANDLE data = it->second;
    w->props.erase(it);
    return data;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        w->title = text ? text : u"";
    }
    platform::shell::OnWindowTitleChanged(hwnd); // the task bar shows the active window's title
    return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !buffer || maxCount <= 0) return 0;
    size_t n = std::min(w->title.size(), size_t(maxCount - 1));
    std::memcpy(buffer, w->title.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return int(n);
}

namespace {

// Restacks `w` among its siblings (top-level windows among each other) as `insertAfter` asks.
void RestackLocked(Window* w, HWND insertAfter) {
    if (insertAfter == HWND_TOPMOST)
        w->exStyle |= WS_EX_TOPMOST;
    else if (insertAfter == HWND_NOTOPMOST)
        w->exStyle &= ~WS_EX_TOPMOST;
    Window* after = insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST ||
                            insertAfter == HWND_BOTTOM
                        ? nullptr
                        : Find(insertAfter);
    if (insertAfter == HWND_BOTTOM) {
        int64_t lowest = w->z;
        for (auto& [h, o] : windows)
            if (o->parent == w->parent) lowest = std::min(lowest, o->z);
        w->z = lowest - 1;
    } else if (after && after != w && after->parent == w->parent) {
        // Just below `after`: everything from `after` up moves one step higher.
        for (auto& [h, o] : windows)
            if (o->parent == w->parent && o.get() != w && o->z >= after->z) o->z += 1;
        w->z = after->z - 1;
        nextZ = std::max(nextZ, after->z + 1) + 1;
    } else {
        w->z = nextZ++;
        // Owned windows stay above their owner.
        for (auto& [h, o] : windows)
            if (o->owner == ToHandle(w)) o->z = nextZ++;
    }
}

} // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    bool activate = false;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        const VisibleSnapshot before = SnapshotLocked();
        if (!(flags & SWP_NOZORDER)) RestackLocked(w, insertAfter);
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) r = {x, y, FarEdge(x, r.right - r.left), FarEdge(y, r.bottom - r.top)};
        if (!(flags & SWP_NOSIZE)) {
            r.right = FarEdge(r.left, cx);
            r.bottom = FarEdge(r.top, cy);
        }
        // Report only what really changed, so WM_MOVE and WM_SIZE come for real changes.
        if (r.left == w->rect.left && r.top == w->rect.top) pos.flags |= SWP_NOMOVE;
        if (r.right - r.left == w->rect.right - w->rect.left && r.bottom - r.top == w->rect.bottom - w->rect.top)
            pos.flags |= SWP_NOSIZE;
        w->rect = r;
        pos.x = r.left;
        pos.y = r.top;
        pos.cx = r.right - r.left;
        pos.cy = r.bottom - r.top;
        const bool wasVisible = (w->style & WS_VISIBLE) != 0;
        if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
        const bool shown = !wasVisible && (w->style & WS_VISIBLE);
        // A window has no backing store: what moved or grew is painted again, what it left is
        // uncovered below it.
        const bool repaint =
            shown || (flags & SWP_FRAMECHANGED) || !(pos.flags & SWP_NOSIZE) || !(pos.flags & SWP_NOMOVE);
        ExposeLocked(before, hwnd, repaint);
        if ((w->style & WS_VISIBLE) && (!(pos.flags & SWP_NOSIZE) || shown)) w->updatePending = !w->messageOnly;
        activate = !(flags & SWP_NOACTIVATE) && !(w->style & WS_CHILD) && (w->style & WS_VISIBLE) && !w->messageOnly &&
                   !(flags & SWP_NOZORDER);
    }
    Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    if (activate) SetActiveWindow(hwnd);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ShowWindow(HWND hwnd, int command) {
    bool wasVisible;
    bool wasMinimized;
    RECT r;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        wasMinimized = w->minimized;
        r = w->rect;
    }
    bool show = command != SW_HIDE;
    if (show != wasVisible) Send(hwnd, WM_SHOWWINDOW, show, 0);
    bool minimize = ShowsMinimized(command);
    bool restore = wasMinimized && show && !minimize && command != SW_SHOWNA && command != SW_SHOW;
    // Showing normally brings a top-level window to the top and activates it; SW_SHOWNA and
    // SW_SHOWNOACTIVATE leave stacking and activation alone.
    const bool activating = show && !minimize && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE;
    bool activate = false;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return wasVisible;
        const VisibleSnapshot before = SnapshotLocked();
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
        if (minimize) w->minimized = true;
        if (restore) w->minimized = false;
        const bool topLevel = !(w->style & WS_CHILD) && !w->messageOnly;
        if (activating && topLevel) RestackLocked(w, HWND_TOP);
        ExposeLocked(before, hwnd, show && (!wasVisible || restore));
        if (show && (!wasVisible || restore)) w->updatePending = !w->messageOnly; // what was hidden now needs painting
        activate = activating && topLevel;
    }
    if (!show) ForgetWindowState(hwnd);
    if (show != wasVisible) platform::shell::OnWindowTitleChanged(hwnd);
    if (activate) SetActiveWindow(hwnd);
    if (minimize && !wasMinimized) Send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    if (restore) Send(hwnd, WM_SIZE, SIZE_RESTORED, SizeParam(r));
    return wasVisible;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    // The desktop is the whole screen.
    if (hwnd && hwnd == GetDesktopWindow() && rect) {
        *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return TRUE;
    }
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = ScreenRectLocked(w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}
