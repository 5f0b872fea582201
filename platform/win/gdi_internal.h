#pragma once
// What the window manager asks of the GDI. Module-internal.
#include "platform/win/gdi.h"
#include "platform/win/region_internal.h"

namespace platform::detail {

// A window DC that also keeps inside `clip` (screen coordinates); released with ReleaseDC.
HDC GetClippedWindowDC(HWND hwnd, const RectSet& clip);

} // namespace platform::detail
