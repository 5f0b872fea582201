#include "runtime/startup.h"

#include <atomic>
#include <cstdlib>
#include <ctime>

#include "platform/win/sync.h"
#include "runtime/message_window.h"
#include "runtime/script_engine_hooks.h"
#include "runtime/script_proxy.h"
#include "runtime/startup_internal.h"

namespace NUBO {
namespace {

// A recursive spin lock: starts may come from several threads and nest on one.
struct StartLock {
    LONG word = 0; // 1 while taken
    LONG nesting = 0;
    std::atomic<DWORD> owner{0};

    void Lock() {
        DWORD self = GetCurrentThreadId();
        if (owner.load() != self) {
            while (InterlockedExchange(&word, 1) != 0)
                Sleep(0);
            owner.store(self);
        }
        ++nesting;
    }
    void Unlock() {
        if (owner.load() != GetCurrentThreadId()) return;
        if (--nesting == 0) {
            owner.store(0);
            InterlockedExchange(&word, 0);
        }
    }
};

StartLock startLock;
unsigned totalCount = 0;
DWORD countSlot = TLS_OUT_OF_INDEXES;

unsigned ThreadCount() {
    return countSlot == TLS_OUT_OF_INDEXES ? 0 : unsigned(reinterpret_cast<uintptr_t>(TlsGetValue(countSlot)));
}

void SetThreadCount(unsigned count) {
    TlsSetValue(countSlot, reinterpret_cast<LPVOID>(uintptr_t(count)));
}

// The process-wide services of the first start. Each step is skipped when an earlier, failed
// start already did it, so trying again neither leaks nor duplicates.
bool StartServices(const TAllocator* allocator) {
    SetAllocator(allocator);
    InstallScriptEngineHooks();
    InstallProxyRegistry(); // foreign objects handed to native code become proxies
    if (!detail::AllocMessageWindowSlot() || !detail::CreateHandlerRegistry() || !detail::RegisterMessageWindowClass())
        return false;
    std::srand(unsigned(std::time(nullptr)));
    if (!detail::CreateTimerRegistry()) return false;
    if (countSlot == TLS_OUT_OF_INDEXES) countSlot = TlsAlloc();
    return countSlot != TLS_OUT_OF_INDEXES;
}

void StopServices() {
    TlsFree(countSlot);
    countSlot = TLS_OUT_OF_INDEXES;
    detail::DeleteTimerRegistry();
    detail::UnregisterMessageWindowClass();
    detail::DeleteHandlerRegistry();
    detail::FreeMessageWindowSlot();
    RemoveProxyRegistry();
    ResetAllocator();
}

} // namespace

int Initialize(const TAllocator* allocator) {
    startLock.Lock();
    if (totalCount == 0 && !StartServices(allocator)) {
        startLock.Unlock();
        return 0;
    }
    unsigned mine = ThreadCount();
    if (mine == 0) CreateThreadMessageWindow(); // a thread without its window still counts as started
    SetThreadCount(mine + 1);
    ++totalCount;
    startLock.Unlock();
    return 1;
}

void Shutdown() {
    startLock.Lock();
    // A thread that never started has nothing to stop. Counting its stop would let the total
    // reach 0 while other threads still hold their windows, and wrap its own count so that it
    // never got a window again.
    unsigned mine = ThreadCount();
    if (totalCount > 0 && mine > 0) {
        SetThreadCount(mine - 1);
        if (mine == 1) DestroyThreadMessageWindow();
        if (--totalCount == 0) StopServices();
    }
    startLock.Unlock();
}

unsigned GetStartCount() {
    startLock.Lock();
    unsigned count = totalCount;
    startLock.Unlock();
    return count;
}

unsigned GetThreadStartCount() {
    startLock.Lock();
    unsigned count = ThreadCount();
    startLock.Unlock();
    return count;
}

} // namespace NUBO
