#pragma once
// The per-thread hidden "Nubo Message Window" and the registry of handlers for the messages it
// receives. Other parts of the program register a handler for a message id and post that message
// to the calling thread's window.
#include "platform/win/window.h"

namespace NUBO {

using MessageHandler = void (*)(UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr const WCHAR* kMessageWindowClass = u"Nubo Message Window";

// 1 when the calling thread has its window afterwards.
int CreateThreadMessageWindow();
// The calling thread's window, null when it has none.
HWND GetCurrentMessageWindow();
void DestroyThreadMessageWindow();

// 0 when the runtime is not started or the message already has a handler; WM_TIMER alone takes a
// second handler, which gets the window timers below the runtime's own ids.
int RegisterMessageHandler(UINT message, MessageHandler handler);
// Unregistering WM_TIMER drops the second handler first. 0 when there was none.
int UnregisterMessageHandler(UINT message);

} // namespace NUBO
