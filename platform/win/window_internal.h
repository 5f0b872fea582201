#pragma once
// Window table look-ups used by the queue and the timers. Module-internal.
#include <vector>

#include "platform/win/window.h"

namespace platform::detail {

struct WindowTarget {
    WNDPROC proc;
    DWORD thread;
};

// The procedure and thread of a live window; false for a handle that is not (or no longer) one.
bool LookUpWindow(HWND hwnd, WindowTarget* target);
// A window of `thread` (matching the filter, if any) whose update is pending, for WM_PAINT.
HWND FindWindowToPaint(DWORD thread, HWND filter);
// The update flag that makes WM_PAINT; the drawing layer keeps the region itself.
void SetUpdatePending(HWND hwnd, bool pending);
bool IsUpdatePending(HWND hwnd);
// Top-level windows of a thread, first created first: destroyed when the thread ends.
std::vector<HWND> RootWindowsOfThread(DWORD thread);

} // namespace platform::detail
