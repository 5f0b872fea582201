#pragma once
// The runtime's memory allocator table: every block of the runtime's containers and conversion
// buffers comes through it, so an embedding program can supply its own heap.
#include <cstddef>

namespace NUBO {

struct TAllocator {
    void* (*alloc)(size_t size);
    void* (*realloc)(void* block, size_t size);
    void (*free)(void* block);
    void* reserved[2]; // 0
};

// Installs the three functions only when the table and all three are given; always 1.
int SetAllocator(const TAllocator* table);
// Back to malloc, realloc and free.
void ResetAllocator();

void* MemAlloc(size_t size);
void* MemRealloc(void* block, size_t size);
void MemFree(void* block);

} // namespace NUBO
