#pragma once
// Kernel handles are our own objects. A HANDLE is the address of a registered object, and every
// call looks it up first, so a stale or made-up handle fails instead of touching freed memory.
#include "platform/types.h"

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Find handles are closed with FindClose only, as on the device.
    virtual bool ClosedByCloseHandle() const { return true; }
};

// Takes ownership; null when `object` is null.
HANDLE RegisterHandle(KernelObject* object);
KernelObject* LookupHandle(HANDLE handle);
// Unregisters and deletes the object; false for an unknown handle.
bool DestroyHandle(HANDLE handle);

template <class T> T* HandleAs(HANDLE handle) {
    return dynamic_cast<T*>(LookupHandle(handle));
}

} // namespace platform

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// Sets ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE handle);
