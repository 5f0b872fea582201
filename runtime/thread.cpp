#include "runtime/thread.h"

#include "platform/win/sync.h"

namespace NUBO {

int TlsAllocSlot() {
    DWORD slot = TlsAlloc();
    return slot == TLS_OUT_OF_INDEXES ? -1 : int(slot);
}

void TlsFreeSlot(int slot) {
    TlsFree(DWORD(slot));
}

void* TlsGet(int slot) {
    return TlsGetValue(DWORD(slot));
}

bool TlsSet(int slot, void* value) {
    return TlsSetValue(DWORD(slot), value) != FALSE;
}

void SleepMs(DWORD milliseconds) {
    Sleep(milliseconds);
}

DWORD CurrentThreadId() {
    return GetCurrentThreadId();
}

} // namespace NUBO
