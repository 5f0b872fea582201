#include "platform/win/virtual_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include <map>
#include <mutex>

namespace {

struct Reservations {
    std::mutex lock;
    std::map<uintptr_t, size_t> sizes; // base -> length in bytes
};

Reservations& Table() {
    static Reservations table;
    return table;
}

int Protection(DWORD protect) {
    switch (protect) {
    case PAGE_READONLY:
        return PROT_READ;
    case PAGE_READWRITE:
        return PROT_READ | PROT_WRITE;
    default:
        return PROT_NONE;
    }
}

// The reservation holding [p, p + size), or false.
bool FindReservation(uintptr_t p, size_t size, uintptr_t* base) {
    Reservations& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.sizes.upper_bound(p);
    if (it == t.sizes.begin()) return false;
    --it;
    if (p + size < p || p + size > it->first + it->second) return false;
    *base = it->first;
    return true;
}

} // namespace

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    if (size == 0) return nullptr;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (allocationType & MEM_RESERVE) {
        if (address || size > SIZE_MAX - page) return nullptr;
        const size_t length = (size + page - 1) / page * page;
        void* p = mmap(nullptr, length, Protection(protect), MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) return nullptr;
        Reservations& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        t.sizes[reinterpret_cast<uintptr_t>(p)] = length;
        return p;
    }
    if (allocationType & MEM_COMMIT) {
        // A range running past the end of the address space is no part of any reservation.
        if (size > UINTPTR_MAX - reinterpret_cast<uintptr_t>(address) - page) return nullptr;
        const uintptr_t start = reinterpret_cast<uintptr_t>(address) / page * page;
        const size_t length = (reinterpret_cast<uintptr_t>(address) + size - start + page - 1) / page * page;
        uintptr_t base;
        if (!address || !FindReservation(start, length, &base)) return nullptr;
        if (mprotect(reinterpret_cast<void*>(start), length, Protection(protect)) != 0) return nullptr;
        return address;
    }
    return nullptr;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    if (!address) return FALSE;
    Reservations& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.sizes.find(reinterpret_cast<uintptr_t>(address));
    if (it == t.sizes.end()) return FALSE;
    if (freeType == MEM_RELEASE) {
        if (size != 0) return FALSE;
        munmap(address, it->second);
        t.sizes.erase(it);
        return TRUE;
    }
    if (freeType == MEM_DECOMMIT) {
        const size_t length = size ? size : it->second;
        if (length > it->second) return FALSE;
        // Fresh anonymous pages read zero again when committed later.
        return mmap(address, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0) !=
               MAP_FAILED;
    }
    return FALSE;
}
