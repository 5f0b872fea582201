#include "platform/win/sync.h"

#include "platform/win/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<DWORD> g_nextThreadId{1};

struct TlsSlot {
    LPVOID value = nullptr;
    uint32_t generation = 0;
};

// A slot's generation changes on every allocation, so values left from an earlier owner of the
// index read as null.
std::atomic<uint32_t> g_slotGeneration[TLS_MINIMUM_AVAILABLE];
std::atomic<bool> g_slotUsed[TLS_MINIMUM_AVAILABLE];
thread_local TlsSlot t_slots[TLS_MINIMUM_AVAILABLE];

bool ValidSlot(DWORD index) {
    return index < TLS_MINIMUM_AVAILABLE && g_slotUsed[index].load(std::memory_order_acquire);
}

std::atomic_ref<LONG> Atomic(LONG volatile* target) {
    // The counts are ordinary aligned LONGs; volatile only mirrors the device's signature.
    return std::atomic_ref<LONG>(*const_cast<LONG*>(target));
}

} // namespace

DWORD GetCurrentThreadId() {
    thread_local DWORD id = 0;
    while (id == 0)
        id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed); // skips 0 after wrap-around
    return id;
}

void Sleep(DWORD milliseconds) {
    // On a virtual clock a sleep is time passing, not time spent.
    auto& clock = platform::CurrentClock();
    if (milliseconds != 0 && clock.SkipTo(clock.NowMs() + milliseconds))
        return;
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD TlsAlloc() {
    for (DWORD i = 0; i < TLS_MINIMUM_AVAILABLE; ++i) {
        bool expected = false;
        if (g_slotUsed[i].compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
            g_slotGeneration[i].fetch_add(1, std::memory_order_release);
            return i;
        }
    }
    return TLS_OUT_OF_INDEXES;
}

BOOL TlsFree(DWORD index) {
    if (index >= TLS_MINIMUM_AVAILABLE) return FALSE;
    bool expected = true;
    return g_slotUsed[index].compare_exchange_strong(expected, false, std::memory_order_acq_rel) ? TRUE : FALSE;
}

LPVOID TlsGetValue(DWORD index) {
    if (!ValidSlot(index)) return nullptr;
    const TlsSlot& slot = t_slots[index];
    return slot.generation == g_slotGeneration[index].load(std::memory_order_acquire) ? slot.value : nullptr;
}

BOOL TlsSetValue(DWORD index, LPVOID value) {
    if (!ValidSlot(index)) return FALSE;
    t_slots[index].value = value;
    t_slots[index].generation = g_slotGeneration[index].load(std::memory_order_acquire);
    return TRUE;
}

void InitializeCriticalSection(CRITICAL_SECTION*) {}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    section->mutex.lock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    return section->mutex.try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    section->mutex.unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION*) {}

LONG InterlockedIncrement(LONG volatile* target) {
    return static_cast<LONG>(static_cast<ULONG>(Atomic(target).fetch_add(1)) + 1);
}

LONG InterlockedDecrement(LONG volatile* target) {
    return static_cast<LONG>(static_cast<ULONG>(Atomic(target).fetch_sub(1)) - 1);
}

LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return Atomic(target).exchange(value);
}

LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
    return Atomic(target).fetch_add(value);
}

LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
    Atomic(target).compare_exchange_strong(comparand, exchange);
    return comparand;
}
