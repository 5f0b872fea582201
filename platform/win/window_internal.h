#pragma once
// The window table shared by the window manager's files, the queue and the timers.
// Module-internal.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/region_internal.h"
#include "platform/win/window.h"

namespace platform::detail {

struct WindowClass {
    std::u16string name;
    WNDCLASSW wc;
    ATOM atom;
    int windows = 0;
};

struct Window {
    uintptr_t handle;
    WindowClass* cls;
    std::u16string title;
    DWORD style;
    DWORD exStyle;
    RECT rect;             // parent-client coordinates for a child, screen coordinates otherwise
    HWND parent = nullptr; // WS_CHILD windows
    HWND owner = nullptr;  // other windows created with a parent
    bool messageOnly = false;
    DWORD thread;
    WNDPROC proc;
    HINSTANCE instance;
    LONG_PTR id;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    // SetPropW's named handles; names compare ignoring case, as the platform's do.
    std::vector<std::pair<std::u16string, HANDLE>> props;
    bool destroying = false;
    bool minimized = false;
    bool flashing = false; // FlashWindowEx
    bool updatePending = false;
    // Stacking among siblings (top-level windows among each other): higher is nearer the viewer.
    int64_t z = 0;
    // What needs painting, in client coordinates, and whether WM_ERASEBKGND should come first.
    RectSet update;
    bool erasePending = false;
    // The window's shape (SetWindowRgn), in window coordinates; the window owns it.
    bool hasShape = false;
    RectSet shape;
};

// Guards the table. Handles are never reused, so a stale handle stays invalid.
extern std::mutex tableMutex;
extern std::map<uintptr_t, std::unique_ptr<Window>> windows;
// The next stacking value for a window brought to the top.
extern int64_t nextZ;

inline HWND ToHandle(const Window* w) {
    return reinterpret_cast<HWND>(w->handle);
}
inline Window* Find(HWND hwnd) {
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

// All under tableMutex.
// A right-to-left window's client x counts from its right edge: the same pixels seen from the other
// side (the mapping is its own inverse). Other windows' pixels are returned as they are.
RectSet ClientToPhysicalLocked(const Window* w, const RectSet& client);
// The window's rectangle in screen coordinates.
RECT ScreenRectLocked(const Window* w);
// The screen pixels the window shows: inside its ancestors, outside what lies above it (other
// top-level windows, clip-siblings siblings), without its children when it clips them.
RectSet VisibleRegionLocked(const Window* w);
// Adds screen pixels to the window's update region (and, unless it clips its children, to the
// children they cover).
void AddUpdateLocked(Window* w, const RectSet& screenPixels, bool erase);
bool IsDescendantLocked(const Window* w, HWND ancestor);

// Takes the lock: the window's visible region, empty for what is not a window.
RectSet VisibleRegion(HWND hwnd);

// What each window showed before a change, so that the change can invalidate what it uncovers.
struct VisibleSnapshot {
    std::vector<std::pair<HWND, RectSet>> visible;
};
VisibleSnapshot SnapshotLocked();
// Invalidates what became visible since the snapshot; the pixels that `changed` (and its
// descendants) no longer cover are invalidated in the windows below; with `repaintChanged` the
// changed subtree is invalidated whole.
void ExposeLocked(const VisibleSnapshot& before, HWND changed, bool repaintChanged);

// The procedure and thread of a live window; false for a handle that is not (or no longer) one.
struct WindowTarget {
    WNDPROC proc;
    DWORD thread;
};
bool LookUpWindow(HWND hwnd, WindowTarget* target);
// A window of `thread` (matching the filter, if any) whose update is pending, for WM_PAINT.
HWND FindWindowToPaint(DWORD thread, HWND filter);
// Sets or drops the whole update (tests and the default WM_PAINT).
void SetUpdatePending(HWND hwnd, bool pending);
bool IsUpdatePending(HWND hwnd);
// Top-level windows of a thread, first created first: destroyed when the thread ends.
std::vector<HWND> RootWindowsOfThread(DWORD thread);
// Activation, focus and capture forget a window that is going away (sends what that causes).
void ForgetWindowState(HWND hwnd);

} // namespace platform::detail
