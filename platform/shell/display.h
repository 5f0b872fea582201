#pragma once
// The display's orientation. The emulated screen turns by 90, 180 or 270 degrees: a quarter turn
// swaps its width and height, the shell's bars move to the new edges, the top-level windows hear
// that the work area and the input panel's visible desktop changed (and fit themselves to them),
// and everything repaints.
#include "platform/types.h"
#include "platform/win/window.h"

constexpr DWORD DM_DISPLAYORIENTATION = 0x00800000;
constexpr DWORD DM_DISPLAYQUERYORIENTATION = 0x01000000;
constexpr DWORD CDS_TEST = 0x00000002;
constexpr DWORD CDS_RESET = 0x40000000;
constexpr DWORD DMDO_0 = 0;
constexpr DWORD DMDO_90 = 1;
constexpr DWORD DMDO_180 = 2;
constexpr DWORD DMDO_270 = 4;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr LONG DISP_CHANGE_BADPARAM = -5;

// The fields of the display mode record that orientation uses.
struct DEVMODEW {
    WCHAR dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayQueryOrientation;
};

// With CDS_TEST: DM_DISPLAYQUERYORIENTATION answers the orientations the display supports as bits
// in dmDisplayOrientation; DM_DISPLAYORIENTATION answers the current one. Without it,
// DM_DISPLAYORIENTATION turns the display to dmDisplayOrientation (DMDO_...).
LONG ChangeDisplaySettingsEx(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, void* param);

namespace platform::shell {
// The orientation now (DMDO_...); tests put it back with ChangeDisplaySettingsEx.
DWORD GetDisplayOrientation();
} // namespace platform::shell
