#pragma once
// The input method: one input context serves every window, as the device has one input method.
// Opening it brings up the soft input panel where the device has one, closing it puts the panel
// away. Its composition string is what the display backend's text editing last gave, as of the
// composition message being handled. Input modes (the device's letters, numbers and T9 modes) are
// kept and answered; nothing here changes what the keyboard types.
#include <string>

#include "platform/types.h"
#include "platform/win/window.h"

struct InputContext;
using HIMC = InputContext*;
using HKL = void*;

constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_RESULTSTR = 0x0800;
constexpr UINT IME_ESC_SET_MODE = 0x0800;

// Null for a window that does not exist.
HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
// GCS_COMPSTR: copies up to `bytes` bytes of the composition string (no NUL) and answers how many
// bytes it copied, or with no buffer how many it would; a negative value for other indexes.
LONG ImmGetCompositionStringW(HIMC context, DWORD index, void* buffer, DWORD bytes);
// IME_ESC_SET_MODE: `data` holds the mode itself. Answers 0 for escapes it does not know.
LRESULT ImmEscapeW(HKL layout, HIMC context, UINT escape, void* data);

namespace platform::ime {
// The mode last set by IME_ESC_SET_MODE, -1 when none (tests).
int GetMode();
void Reset();
} // namespace platform::ime

namespace platform::detail {
// The input queue sets it as it hands out a composition message.
void SetCompositionString(const std::u16string& text);
} // namespace platform::detail
