#pragma once
// The allocator all image memory comes from. Blocks over 1 MiB take their own reserved-then-
// committed virtual memory so that large images do not fragment the heap; smaller ones come
// from malloc. The 32-bit size the caller asked for sits in the 4 bytes before each block and
// tells later calls which kind the block is. The last large block freed is kept committed for the
// next large request of about its size, so that decoding picture after picture maps no fresh pages.
#include <cstddef>
#include <cstdint>

constexpr size_t kImageHeapLimit = 0x100000;

// A block of `size` bytes (zero-filled when `zero`), or null. Sizes above 32 bits are refused.
void* ImageAlloc(size_t size, int zero);
// Null is ignored.
void ImageFree(void* block);
// Null gives null; on failure the old block stays as it was and null is returned.
void* ImageRealloc(void* block, size_t size, int zero);
// The size recorded for a block from ImageAlloc.
uint32_t ImageSize(const void* block);

// Do nothing when a pointer is null.
void ImageMove(void* destination, const void* source, size_t n);
void ImageSet(void* block, int value, size_t n);
