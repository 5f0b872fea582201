#pragma once
// Threads, thread-local slots, critical sections and interlocked counts as the device offers them.
// The program runs on one thread, but the runtime still locks and counts atomically.
#include <mutex>

#include "platform/types.h"

// Never 0 (callers use 0 as "no owner"); unique among live threads.
DWORD GetCurrentThreadId();
// Sleep(0) yields the rest of the time slice.
void Sleep(DWORD milliseconds);

constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFF;
constexpr DWORD TLS_MINIMUM_AVAILABLE = 64;

// A new slot reads null on every thread, even where a freed slot of the same index held a value.
DWORD TlsAlloc();
BOOL TlsFree(DWORD index);
LPVOID TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, LPVOID value);

// Recursive for the owning thread. Not copyable, as on the device.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

LONG InterlockedIncrement(LONG volatile* target);               // the new value
LONG InterlockedDecrement(LONG volatile* target);               // the new value
LONG InterlockedExchange(LONG volatile* target, LONG value);    // the old value
LONG InterlockedExchangeAdd(LONG volatile* target, LONG value); // the old value
// Stores `exchange` when the target equals `comparand`; returns the old value either way.
LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand);
