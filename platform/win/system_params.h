#pragma once
// System metrics and parameters as the device answers them: the screen's size, the pointer's size,
// the work area the shell leaves, the input panel, the wheel lines and the platform's type.
#include "platform/types.h"

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXCURSOR = 11;
constexpr int SM_CYCURSOR = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CXVIRTUALSCREEN = 78; // the desktop: the one screen
constexpr int SM_CYVIRTUALSCREEN = 79;

constexpr UINT SPI_GETWHEELSCROLLLINES = 104;
constexpr UINT SPI_GETPLATFORMTYPE = 257;
constexpr UINT SPI_GETPLATFORMNAME = 260;         // the device's model
constexpr UINT SPI_GETPLATFORMMANUFACTURER = 262; // its maker

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

int GetSystemMetrics(int index);
// The device's system: version 5.2, build 21234, the CE platform.
BOOL GetVersionExW(OSVERSIONINFOW* info);
// SPI_GETWORKAREA fills a RECT; SPI_GETSIPINFO a SIPINFO; SPI_GETWHEELSCROLLLINES a UINT;
// SPI_GETPLATFORMTYPE the text "PocketPC" or "SmartPhone" into `param` characters; the model and
// maker of the emulated device likewise.
BOOL SystemParametersInfoW(UINT action, UINT param, void* out, UINT winIni);

// Monitors: the device has one, the screen, whose work area is the one the shell leaves.
struct HMONITOR__;
using HMONITOR = HMONITOR__*;
constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
constexpr DWORD MONITORINFOF_PRIMARY = 1;
struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
// Null for a point off the screen with MONITOR_DEFAULTTONULL; the screen otherwise.
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
// FALSE for no monitor or a record whose size is too small.
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
