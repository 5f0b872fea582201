#include "platform/win/system_params.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/shell/input_panel.h"
#include "platform/shell/task_bar.h"
#include "platform/win/screen.h"

namespace {

bool IsSmartphone() {
    const char* device = std::getenv("TANDU_DEVICE");
    return device && strcasecmp(device, "smartphone") == 0;
}

// The text and its terminator into `capacity` characters.
BOOL PutText(std::u16string_view value, UINT capacity, void* out) {
    if (capacity <= value.size()) return FALSE;
    auto* text = static_cast<WCHAR*>(out);
    std::copy(value.begin(), value.end(), text);
    text[value.size()] = 0;
    return TRUE;
}

} // namespace

int GetSystemMetrics(int index) {
    const ScreenConfig& c = GetScreen().config;
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
        return c.width;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return c.height;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32 * std::max(c.dpi, 96) / 96;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16 * std::max(c.dpi, 96) / 96;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT param, void* out, UINT) {
    if (!out) return FALSE;
    switch (action) {
    case SPI_GETWORKAREA:
        *static_cast<RECT*>(out) = platform::shell::GetWorkArea();
        return TRUE;
    case SPI_GETSIPINFO:
        return SipGetInfo(static_cast<SIPINFO*>(out));
    case SPI_GETWHEELSCROLLLINES:
        *static_cast<UINT*>(out) = 3;
        return TRUE;
    case SPI_GETPLATFORMTYPE:
        return PutText(IsSmartphone() ? u"SmartPhone" : u"PocketPC", param, out);
    case SPI_GETPLATFORMNAME:
        return PutText(IsSmartphone() ? u"Tandu Smartphone Emulator" : u"Tandu Pocket PC Emulator", param, out);
    case SPI_GETPLATFORMMANUFACTURER:
        return PutText(u"Tandu", param, out);
    default:
        return FALSE;
    }
}

namespace {
// The one monitor's handle: any non-null value names it.
HMONITOR const kScreenMonitor = reinterpret_cast<HMONITOR>(uintptr_t(1));
} // namespace

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    const ScreenConfig& c = GetScreen().config;
    const bool on = point.x >= 0 && point.y >= 0 && point.x < c.width && point.y < c.height;
    return on || flags != MONITOR_DEFAULTTONULL ? kScreenMonitor : nullptr;
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
    if (monitor != kScreenMonitor || !info || info->cbSize < sizeof(MONITORINFO)) return FALSE;
    const ScreenConfig& c = GetScreen().config;
    info->rcMonitor = RECT{0, 0, c.width, c.height};
    info->rcWork = platform::shell::GetWorkArea();
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) return FALSE;
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 2;
    info->dwBuildNumber = 21234;
    info->dwPlatformId = VER_PLATFORM_WIN32_CE;
    info->szCSDVersion[0] = 0;
    return TRUE;
}
