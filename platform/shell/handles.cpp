#include "platform/shell/handles.h"

#include <mutex>
#include <unordered_set>

#include "platform/win/last_error.h"

namespace platform {
namespace {

std::mutex& Lock() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<KernelObject*>& Live() {
    static std::unordered_set<KernelObject*> live;
    return live;
}

} // namespace

HANDLE RegisterHandle(KernelObject* object) {
    if (!object) return nullptr;
    std::lock_guard<std::mutex> guard(Lock());
    Live().insert(object);
    return object;
}

KernelObject* LookupHandle(HANDLE handle) {
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Live().find(static_cast<KernelObject*>(handle));
    return it == Live().end() ? nullptr : *it;
}

bool DestroyHandle(HANDLE handle) {
    KernelObject* object = nullptr;
    {
        std::lock_guard<std::mutex> guard(Lock());
        auto it = Live().find(static_cast<KernelObject*>(handle));
        if (it == Live().end()) return false;
        object = *it;
        Live().erase(it);
    }
    delete object;
    return true;
}

} // namespace platform

BOOL CloseHandle(HANDLE handle) {
    platform::KernelObject* object = platform::LookupHandle(handle);
    if (!object || !object->ClosedByCloseHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    platform::DestroyHandle(handle);
    return TRUE;
}
