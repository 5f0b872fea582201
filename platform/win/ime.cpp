#include "platform/win/ime.h"

#include <algorithm>
#include <cstring>

#include "platform/shell/input_panel.h"
#include "platform/win/window.h"

struct InputContext {
    bool open = false;
    int mode = -1;
    std::u16string composition;
};

namespace {

InputContext context;

} // namespace

HIMC ImmGetContext(HWND hwnd) {
    return hwnd && IsWindow(hwnd) ? &context : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC c) {
    return c == &context;
}

BOOL ImmSetOpenStatus(HIMC c, BOOL open) {
    if (c != &context) return FALSE;
    const bool now = open != FALSE;
    if (context.open == now) return TRUE;
    context.open = now;
    // The device's input method is its soft keyboard.
    if (SipStatus() == SIP_STATUS_AVAILABLE) SipShowIM(now ? SIPF_ON : SIPF_OFF);
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC c) {
    return c == &context && context.open;
}

LONG ImmGetCompositionStringW(HIMC c, DWORD index, void* buffer, DWORD bytes) {
    if (c != &context || index != GCS_COMPSTR) return -1;
    const size_t whole = context.composition.size() * sizeof(char16_t);
    if (!buffer) return LONG(whole);
    // Whole characters only.
    const size_t n = std::min<size_t>(whole, bytes) & ~size_t(1);
    std::memcpy(buffer, context.composition.data(), n);
    return LONG(n);
}

LRESULT ImmEscapeW(HKL, HIMC c, UINT escape, void* data) {
    if (c != &context || escape != IME_ESC_SET_MODE) return 0;
    context.mode = int(reinterpret_cast<intptr_t>(data));
    return 1;
}

namespace platform::ime {

int GetMode() {
    return context.mode;
}

void Reset() {
    context = InputContext{};
}

} // namespace platform::ime

namespace platform::detail {

void SetCompositionString(const std::u16string& text) {
    context.composition = text;
}

} // namespace platform::detail
