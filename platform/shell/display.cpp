#include "platform/shell/display.h"

#include <utility>

#include "platform/shell/input_panel.h"
#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/win/screen.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"
#include "platform/win/window_paint.h"

namespace {

DWORD g_orientation = DMDO_0;

bool Sideways(DWORD orientation) {
    return orientation == DMDO_90 || orientation == DMDO_270;
}

LONG Turn(DWORD orientation) {
    if (orientation == g_orientation) return DISP_CHANGE_SUCCESSFUL;
    ScreenConfig config = GetScreen().config;
    if (Sideways(orientation) != Sideways(g_orientation)) std::swap(config.width, config.height);
    if (!ConfigureScreen(config)) return DISP_CHANGE_FAILED;
    g_orientation = orientation;
    platform::shell::PlaceChrome();
    platform::shell::BroadcastSettingChange(SPI_SETWORKAREA);
    // The input panel's visible desktop turned with the screen: windows fit themselves to it.
    platform::shell::BroadcastSettingChange(SPI_SETSIPINFO);
    // The new screen starts blank: every window paints again.
    for (HWND hwnd : platform::detail::RootWindowsOfThread(GetCurrentThreadId()))
        if (IsWindow(hwnd) && IsWindowVisible(hwnd)) InvalidateRect(hwnd, nullptr, TRUE);
    return DISP_CHANGE_SUCCESSFUL;
}

} // namespace

LONG ChangeDisplaySettingsEx(LPCWSTR, DEVMODEW* mode, HWND, DWORD flags, void*) {
    if (!mode) return DISP_CHANGE_BADPARAM;
    if (flags & CDS_TEST) {
        if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) {
            mode->dmDisplayOrientation = DMDO_90 | DMDO_180 | DMDO_270;
            return DISP_CHANGE_SUCCESSFUL;
        }
        if (mode->dmFields & DM_DISPLAYORIENTATION) {
            mode->dmDisplayOrientation = g_orientation;
            return DISP_CHANGE_SUCCESSFUL;
        }
        return DISP_CHANGE_BADPARAM;
    }
    if (!(mode->dmFields & DM_DISPLAYORIENTATION)) return DISP_CHANGE_BADPARAM;
    const DWORD orientation = mode->dmDisplayOrientation;
    if (orientation != DMDO_0 && orientation != DMDO_90 && orientation != DMDO_180 && orientation != DMDO_270)
        return DISP_CHANGE_BADMODE;
    return Turn(orientation);
}

namespace platform::shell {

DWORD GetDisplayOrientation() {
    return g_orientation;
}

} // namespace platform::shell
