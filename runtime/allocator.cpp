#include "runtime/allocator.h"

#include <atomic>
#include <cstdlib>

namespace NUBO {
namespace {

void* DefaultAlloc(size_t size) {
    return std::malloc(size);
}
void* DefaultRealloc(void* block, size_t size) {
    return std::realloc(block, size);
}
void DefaultFree(void* block) {
    std::free(block);
}

std::atomic<void* (*)(size_t)> allocFn{DefaultAlloc};
std::atomic<void* (*)(void*, size_t)> reallocFn{DefaultRealloc};
std::atomic<void (*)(void*)> freeFn{DefaultFree};

} // namespace

int SetAllocator(const TAllocator* table) {
    if (table && table->alloc && table->realloc && table->free) {
        allocFn = table->alloc;
        reallocFn = table->realloc;
        freeFn = table->free;
    }
    return 1;
}

void ResetAllocator() {
    allocFn = DefaultAlloc;
    reallocFn = DefaultRealloc;
    freeFn = DefaultFree;
}

void* MemAlloc(size_t size) {
    return allocFn.load()(size);
}
void* MemRealloc(void* block, size_t size) {
    return reallocFn.load()(block, size);
}
void MemFree(void* block) {
    freeFn.load()(block);
}

} // namespace NUBO
