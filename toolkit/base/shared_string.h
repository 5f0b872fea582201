#pragma once
// A handle to a counted, zero-terminated wide text on the heap. Copies share the block; the last
// handle to let go frees it. Attribute values and qualified names keep their text this way.
#include <cstddef>

#include "platform/types.h"

class oxSharedString {
public:
    oxSharedString() = default;
    // A new block holding `length` units of `text`; a null handle for empty text or when memory ran out.
    oxSharedString(const WCHAR* text, size_t length);
    explicit oxSharedString(const WCHAR* text);
    oxSharedString(const oxSharedString& other);
    oxSharedString(oxSharedString&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    oxSharedString& operator=(const oxSharedString& other);
    oxSharedString& operator=(oxSharedString&& other) noexcept;
    ~oxSharedString() { Release(); }

    void Release();
    bool IsNull() const { return block_ == nullptr; }
    // The text; "" for a null handle.
    const WCHAR* GetString() const;

private:
    struct Block;
    Block* block_ = nullptr;
};
