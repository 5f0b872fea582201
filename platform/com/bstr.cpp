#include "platform/com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kTerminator = sizeof(OLECHAR);

// The prefix must hold the byte count, and the block must be addressable.
constexpr size_t kMaxBytes = UINT32_MAX - kPrefix - kTerminator;

uint32_t* PrefixOf(BSTR text) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(text) - kPrefix);
}

// Allocates a block for byteCount bytes of text, records the count and terminates it; the text
// comes from source when given, else it is zeroed.
BSTR AllocBytes(const void* source, size_t byteCount) {
    if (byteCount > kMaxBytes) return nullptr;
    auto* block = static_cast<char*>(malloc(kPrefix + byteCount + kTerminator));
    if (!block) return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(byteCount);
    memcpy(block, &prefix, kPrefix);
    char* text = block + kPrefix;
    if (source)
        memcpy(text, source, byteCount);
    else
        memset(text, 0, byteCount);
    memset(text + byteCount, 0, kTerminator);
    return reinterpret_cast<BSTR>(text);
}

} // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return AllocBytes(text, wcslen(text) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT count) {
    return AllocBytes(text, size_t(count) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT byteCount) {
    return AllocBytes(bytes, byteCount);
}

BSTR AllocBstrWidened(const char* bytes, UINT count) {
    const size_t byteCount = size_t(count) * sizeof(OLECHAR);
    if (byteCount > kMaxBytes || (count && !bytes)) return nullptr;
    // Not zeroed first: a large body would be written twice.
    auto* block = static_cast<char*>(malloc(kPrefix + byteCount + kTerminator));
    if (!block) return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(byteCount);
    memcpy(block, &prefix, kPrefix);
    auto* text = reinterpret_cast<OLECHAR*>(block + kPrefix);
    for (UINT i = 0; i < count; ++i)
        text[i] = OLECHAR(static_cast<unsigned char>(bytes[i]));
    text[count] = 0;
    return text;
}

INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT count) {
    if (!target) return FALSE;
    // Allocate before freeing: the new text may be a part of the old one.
    BSTR fresh = SysAllocStringLen(text, count);
    if (!fresh) return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* target, const OLECHAR* text) {
    return SysReAllocStringLen(target, text, text ? static_cast<UINT>(wcslen(text)) : 0);
}

void SysFreeString(BSTR text) {
    if (text) free(PrefixOf(text));
}

UINT SysStringByteLen(BSTR text) {
    return text ? *PrefixOf(text) : 0;
}

UINT SysStringLen(BSTR text) {
    return SysStringByteLen(text) / sizeof(OLECHAR);
}
