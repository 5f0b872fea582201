#pragma once
// The runtime's thread-local slots, sleeping and thread identity.
#include "platform/types.h"

namespace NUBO {

int TlsAllocSlot(); // -1 when no slot is free
void TlsFreeSlot(int slot);
void* TlsGet(int slot);
bool TlsSet(int slot, void* value);
void SleepMs(DWORD milliseconds);
// Never 0.
DWORD CurrentThreadId();

} // namespace NUBO
