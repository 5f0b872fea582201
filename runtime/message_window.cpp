#include "runtime/message_window.h"

#include <new>

#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "runtime/map.h"
#include "runtime/startup_internal.h"

namespace NUBO {
namespace {

using HandlerMap = TTypedPtrMap<TPtrFromIntMap<unsigned>, unsigned, MessageHandler>;

struct HandlerRegistry {
    HandlerRegistry() { InitializeCriticalSection(&lock); }
    ~HandlerRegistry() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    HandlerMap handlers;
    MessageHandler extraTimerHandler = nullptr; // window timers below the runtime's own ids
};

HandlerRegistry* registry = nullptr;
DWORD windowSlot = TLS_OUT_OF_INDEXES;
bool classRegistered = false;

MessageHandler FindHandler(UINT message, WPARAM wParam) {
    if (!registry) return nullptr;
    MessageHandler handler = nullptr;
    EnterCriticalSection(&registry->lock);
    if (message == WM_TIMER && LONG(wParam) < LONG(0x10000000))
        handler = registry->extraTimerHandler;
    else
        registry->handlers.Lookup(message, handler);
    LeaveCriticalSection(&registry->lock);
    return handler;
}

LRESULT MessageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The handler runs outside the lock: it may register or unregister handlers itself.
    if (MessageHandler handler = FindHandler(message, wParam)) {
        handler(message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

namespace detail {

bool CreateHandlerRegistry() {
    if (!registry) registry = new (std::nothrow) HandlerRegistry;
    return registry != nullptr;
}

void DeleteHandlerRegistry() {
    delete registry;
    registry = nullptr;
}

bool RegisterMessageWindowClass() {
    if (classRegistered) return true;
    WNDCLASSW wc{};
    wc.lpfnWndProc = MessageWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kMessageWindowClass;
    classRegistered = RegisterClassW(&wc) != 0;
    return classRegistered;
}

void UnregisterMessageWindowClass() {
    if (classRegistered && UnregisterClassW(kMessageWindowClass, GetModuleHandleW(nullptr))) classRegistered = false;
}

bool AllocMessageWindowSlot() {
    if (windowSlot == TLS_OUT_OF_INDEXES) windowSlot = TlsAlloc();
    return windowSlot != TLS_OUT_OF_INDEXES;
}

void FreeMessageWindowSlot() {
    if (windowSlot != TLS_OUT_OF_INDEXES) TlsFree(windowSlot);
    windowSlot = TLS_OUT_OF_INDEXES;
}

} // namespace detail

int CreateThreadMessageWindow() {
    if (windowSlot == TLS_OUT_OF_INDEXES) return 0;
    if (GetCurrentMessageWindow()) return 1;
    HWND hwnd = CreateWindowExW(0, kMessageWindowClass, kMessageWindowClass, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    TlsSetValue(windowSlot, hwnd);
    return hwnd ? 1 : 0;
}

HWND GetCurrentMessageWindow() {
    return windowSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<HWND>(TlsGetValue(windowSlot));
}

void DestroyThreadMessageWindow() {
    if (HWND hwnd = GetCurrentMessageWindow()) {
        DestroyWindow(hwnd);
        TlsSetValue(windowSlot, nullptr);
    }
}

int RegisterMessageHandler(UINT message, MessageHandler handler) {
    if (!registry) return 0;
    int result = 1;
    EnterCriticalSection(&registry->lock);
    MessageHandler existing = nullptr;
    if (registry->handlers.Lookup(message, existing)) {
        if (message == WM_TIMER)
            registry->extraTimerHandler = handler;
        else
            result = 0;
    } else if (!registry->handlers.SetAt(message, handler)) {
        result = 0;
    }
    LeaveCriticalSection(&registry->lock);
    return result;
}

int UnregisterMessageHandler(UINT message) {
    if (!registry) return 0;
    int result;
    EnterCriticalSection(&registry->lock);
    if (message == WM_TIMER && registry->extraTimerHandler) {
        registry->extraTimerHandler = nullptr;
        result = 1;
    } else {
        result = registry->handlers.RemoveKey(message);
    }
    LeaveCriticalSection(&registry->lock);
    return result;
}

} // namespace NUBO
