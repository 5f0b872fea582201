#pragma once
// Installs a runtime allocator that refuses every request while `failing` is set, so tests can walk
// the containers' out-of-memory roads.
#include <cstdlib>

#include "runtime/allocator.h"

class FailingAllocator {
public:
    FailingAllocator() {
        static const NUBO::TAllocator table = {Alloc, Realloc, Free, {nullptr, nullptr}};
        NUBO::SetAllocator(&table);
    }
    ~FailingAllocator() {
        failing = false;
        NUBO::ResetAllocator();
    }
    static inline bool failing = false;

private:
    static void* Alloc(size_t n) { return failing ? nullptr : std::malloc(n); }
    static void* Realloc(void* p, size_t n) { return failing ? nullptr : std::realloc(p, n); }
    static void Free(void* p) { std::free(p); }
};
