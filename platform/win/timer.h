#pragma once
// Window and thread timers on the injectable clock. A due timer produces one WM_TIMER when its
// thread's queue has nothing else to give, however many periods passed; the next period counts
// from that moment.
#include "platform/win/window.h"

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Shorter periods are raised to this, as the device does.
constexpr UINT USER_TIMER_MINIMUM = 10;

// Setting a timer again (same window and id) replaces it and restarts its period. With a null
// window the id names an existing thread timer to replace, or a new id is chosen and returned.
// 0 on failure (invalid window).
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
// FALSE when there is no such timer.
BOOL KillTimer(HWND hwnd, UINT_PTR id);
