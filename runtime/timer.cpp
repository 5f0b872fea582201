#include "runtime/timer.h"

#include <new>

#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/timer.h"
#include "runtime/map.h"
#include "runtime/message_window.h"
#include "runtime/startup_internal.h"

namespace NUBO {
namespace {

using TimerMap = TTypedPtrMap<TPtrFromIntMap<unsigned>, unsigned, TTimer*>;

struct TimerRegistry {
    TimerRegistry() : timers(10) { InitializeCriticalSection(&lock); }
    ~TimerRegistry() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    TimerMap timers;
    UINT nextId = TTimer::kFirstId;
};

TimerRegistry* registry = nullptr;

TTimer* FindTimer(UINT id) {
    TTimer* timer = nullptr;
    if (!registry) return nullptr;
    EnterCriticalSection(&registry->lock);
    registry->timers.Lookup(id, timer);
    LeaveCriticalSection(&registry->lock);
    return timer;
}

// The runtime's WM_TIMER handler: the listener runs after a one-shot timer is stopped, so it may
// start the timer again.
void DispatchTimer(UINT, WPARAM wParam, LPARAM) {
    TTimer* timer = FindTimer(UINT(wParam));
    if (!timer) return;
    if (!timer->IsRepeating()) timer->Stop();
    timer->Notify();
}

} // namespace

namespace detail {

bool CreateTimerRegistry() {
    if (registry) return true;
    registry = new (std::nothrow) TimerRegistry;
    if (!registry) return false;
    if (!RegisterMessageHandler(WM_TIMER, DispatchTimer)) {
        DeleteTimerRegistry();
        return false;
    }
    return true;
}

void DeleteTimerRegistry() {
    if (!registry) return;
    UnregisterMessageHandler(WM_TIMER);
    delete registry;
    registry = nullptr;
}

} // namespace detail

int TTimer::Start(UINT intervalMs, bool repeating) {
    Stop();
    HWND window = GetCurrentMessageWindow();
    if (!registry || !window) return 0;
    EnterCriticalSection(&registry->lock);
    // Ids wrap within the runtime's own range and skip those still running.
    UINT id;
    TTimer* running = nullptr;
    do {
        id = registry->nextId++;
        if (registry->nextId < kFirstId) registry->nextId = kFirstId;
    } while (registry->timers.Lookup(id, running));
    bool stored = registry->timers.SetAt(id, this) != nullptr;
    LeaveCriticalSection(&registry->lock);
    if (!stored) return 0;
    if (!SetTimer(window, id, intervalMs, nullptr)) {
        EnterCriticalSection(&registry->lock);
        registry->timers.RemoveKey(id);
        LeaveCriticalSection(&registry->lock);
        return 0;
    }
    id_ = id;
    repeating_ = repeating ? 1 : 0;
    return 1;
}

void TTimer::Stop() {
    if (!id_) return;
    repeating_ = 0;
    if (HWND window = GetCurrentMessageWindow()) KillTimer(window, id_);
    if (registry) {
        EnterCriticalSection(&registry->lock);
        registry->timers.RemoveKey(id_);
        LeaveCriticalSection(&registry->lock);
    }
    id_ = 0;
}

void TTimer::Notify() {
    if (listener_) listener_->OnTimer(this);
}

} // namespace NUBO
