#include "platform/shell/single_instance.h"
#include "platform/win/window.h"

// FIXME: activation and focus join this once windows have them; until then a window of this
// process comes to the front by being raised and shown.
BOOL SetForegroundWindow(HWND hwnd) {
    if (platform::IsWindowOfOtherProcess(hwnd)) return platform::ActivateWindowOfOtherProcess(hwnd);
    if (!IsWindow(hwnd)) return FALSE;
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}
