#include "platform/win/local_memory.h"

#include <cstdlib>
#include <cstring>

namespace {

// Each block carries its size ahead of the caller's bytes, kept aligned for any type.
struct alignas(std::max_align_t) Header {
    SIZE_T bytes;
};

Header* HeaderOf(HLOCAL block) {
    return static_cast<Header*>(block) - 1;
}

} // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    if (bytes > SIZE_T(-1) - sizeof(Header)) return nullptr;
    auto* h = static_cast<Header*>(std::malloc(sizeof(Header) + bytes));
    if (!h) return nullptr;
    h->bytes = bytes;
    if (flags & LMEM_ZEROINIT) std::memset(h + 1, 0, bytes);
    return h + 1;
}

HLOCAL LocalFree(HLOCAL block) {
    if (block) std::free(HeaderOf(block));
    return nullptr;
}

SIZE_T LocalSize(HLOCAL block) {
    return block ? HeaderOf(block)->bytes : 0;
}
