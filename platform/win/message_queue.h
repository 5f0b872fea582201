#pragma once
// The per-thread message queue. Retrieval order: posted messages (first in, first out), then
// WM_QUIT, then WM_PAINT for a window with a pending update, then WM_TIMER for the timer due
// first; WM_PAINT and WM_TIMER are made at retrieval, so they never overtake a posted message.
// Sent messages are plain calls of the window procedure.
#include "platform/win/window.h"

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Queues the message on the window's thread and wakes that thread. A null window posts a
// thread message to the calling thread.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// FALSE when the thread has no message queue.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the window procedure at once. Windows of another thread are not reachable (returns 0).
// HWND_BROADCAST sends to every top-level window of this thread in turn (message-only windows
// aside), and posts to those of other threads; it returns 0.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
inline const HWND HWND_BROADCAST = reinterpret_cast<HWND>(0xFFFF);
// Sleeps until a message is ready. 0 for WM_QUIT, -1 for an invalid window filter, else 1.
// A filter range of 0..0 takes every message; WM_QUIT is taken whatever the filter.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Sleeps until the queue has a message (or a timer is due).
BOOL WaitMessage();
// Key-downs post their character message (WM_CHAR, or WM_SYSCHAR for system keys) to the queue,
// so it is waiting by the time the key-down is dispatched.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);

namespace platform {
// Gives the character a key-down produces, or false for none. The input layer installs the one
// that knows the key state; the default maps letters, digits and the control keys.
using KeyTranslator = bool (*)(UINT virtualKey, LPARAM keyData, bool systemKey, WCHAR* character);
KeyTranslator SetKeyTranslator(KeyTranslator translator);
} // namespace platform
