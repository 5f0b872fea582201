#pragma once
// One-line wrappers of the platform's interlocked counts and critical sections, as the runtime
// library names them.
#include "platform/win/sync.h"

namespace NUBO {

inline LONG AtomicIncrement(LONG volatile* target) {
    return InterlockedIncrement(target);
}
inline LONG AtomicDecrement(LONG volatile* target) {
    return InterlockedDecrement(target);
}
inline void LockDelete(CRITICAL_SECTION* section) {
    DeleteCriticalSection(section);
}
inline void LockEnter(CRITICAL_SECTION* section) {
    EnterCriticalSection(section);
}
inline void LockLeave(CRITICAL_SECTION* section) {
    LeaveCriticalSection(section);
}

} // namespace NUBO
