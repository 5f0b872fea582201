#include "graphics/pixels/image_memory.h"

#include <cstdlib>
#include <cstring>

#include "platform/win/virtual_memory.h"

namespace {

// The size word sits right before the block, as callers expect, but the header is 16 bytes so
// that pixels and 8-byte work elements stay aligned on a 64-bit host.
constexpr size_t kHeader = 16;

uint8_t* Base(void* block) {
    return static_cast<uint8_t*>(block) - kHeader;
}

void SetSize(void* block, uint32_t size) {
    std::memcpy(static_cast<uint8_t*>(block) - 4, &size, 4);
}

void* AllocVirtual(size_t total) {
    void* base = VirtualAlloc(nullptr, total, MEM_RESERVE, PAGE_NOACCESS);
    if (!base) return nullptr;
    if (!VirtualAlloc(base, total, MEM_COMMIT, PAGE_READWRITE)) {
        VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    return base;
}

// The last large block freed, kept committed for the next large request it can hold: decoding
// one picture after another would otherwise map and fault in fresh pages for every one, and unmap
// them again. One block at most, and only taken for a request of at least half its size, so what
// is kept stays within the largest picture of the moment.
struct Spare {
    uint8_t* base = nullptr;
    size_t capacity = 0; // bytes from base, header included
};
Spare g_spare;

constexpr size_t kPage = 4096;

size_t Capacity(size_t total) {
    return (total + kPage - 1) / kPage * kPage;
}

uint8_t* TakeSpare(size_t total) {
    if (!g_spare.base || g_spare.capacity < total || g_spare.capacity / 2 > total) return nullptr;
    uint8_t* base = g_spare.base;
    g_spare = Spare{};
    return base;
}

// A virtual block's header starts with the bytes its pages hold, which a later request may use.
void SetCapacity(uint8_t* base, size_t capacity) {
    std::memcpy(base, &capacity, sizeof capacity);
}

// Differs from freeing the block's pages at once: the last one is kept for the next picture.
void ReleaseVirtual(uint8_t* base) {
    if (g_spare.base) VirtualFree(g_spare.base, 0, MEM_RELEASE);
    g_spare.base = base;
    std::memcpy(&g_spare.capacity, base, sizeof g_spare.capacity);
}

// A fresh block of the kind its size calls for; committed pages already read zero, a kept block
// is cleared when asked.
void* AllocBlock(size_t size, bool zero) {
    if (size > UINT32_MAX - kHeader) return nullptr;
    uint8_t* base;
    if (size > kImageHeapLimit) {
        base = TakeSpare(size + kHeader);
        if (base && zero) std::memset(base + kHeader, 0, size);
        if (!base) {
            base = static_cast<uint8_t*>(AllocVirtual(size + kHeader));
            if (base) SetCapacity(base, Capacity(size + kHeader));
        }
    } else {
        base = static_cast<uint8_t*>(std::malloc(size + kHeader));
        if (base && zero) std::memset(base + kHeader, 0, size);
    }
    if (!base) return nullptr;
    void* block = base + kHeader;
    SetSize(block, static_cast<uint32_t>(size));
    return block;
}

} // namespace

uint32_t ImageSize(const void* block) {
    uint32_t size;
    std::memcpy(&size, static_cast<const uint8_t*>(block) - 4, 4);
    return size;
}

void* ImageAlloc(size_t size, int zero) {
    return AllocBlock(size, zero != 0);
}

void ImageFree(void* block) {
    if (!block) return;
    if (ImageSize(block) > kImageHeapLimit)
        ReleaseVirtual(Base(block));
    else
        std::free(Base(block));
}

void* ImageRealloc(void* block, size_t size, int zero) {
    if (!block || size > UINT32_MAX - kHeader) return nullptr;
    const size_t old = ImageSize(block);
    void* result;
    if (old <= kImageHeapLimit && size <= kImageHeapLimit) {
        auto* base = static_cast<uint8_t*>(std::realloc(Base(block), size + kHeader));
        if (!base) return nullptr;
        result = base + kHeader;
    } else {
        result = AllocBlock(size, false);
        if (!result) return nullptr;
        std::memcpy(result, block, old < size ? old : size);
        ImageFree(block);
    }
    SetSize(result, static_cast<uint32_t>(size));
    if (zero && size > old) std::memset(static_cast<uint8_t*>(result) + old, 0, size - old);
    return result;
}

void ImageMove(void* destination, const void* source, size_t n) {
    if (destination && source) std::memmove(destination, source, n);
}

void ImageSet(void* block, int value, size_t n) {
    if (block) std::memset(block, value, n);
}
