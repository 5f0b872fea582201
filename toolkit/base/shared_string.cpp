#include "toolkit/base/shared_string.h"

#include <cstdlib>
#include <new>

#include "platform/crt/wide.h"

// The count, followed by the text.
struct oxSharedString::Block {
    int refs;
    WCHAR* Text() { return reinterpret_cast<WCHAR*>(this + 1); }
};

oxSharedString::oxSharedString(const WCHAR* text, size_t length) {
    if (!text || length == 0) return;
    if (length > (static_cast<size_t>(-1) - sizeof(Block)) / sizeof(WCHAR) - 1) return;
    void* memory = std::malloc(sizeof(Block) + (length + 1) * sizeof(WCHAR));
    if (!memory) return;
    block_ = new (memory) Block;
    block_->refs = 1;
    for (size_t i = 0; i < length; ++i)
        block_->Text()[i] = text[i];
    block_->Text()[length] = 0;
}

oxSharedString::oxSharedString(const WCHAR* text) : oxSharedString(text, text ? wcslen(text) : 0) {}

oxSharedString::oxSharedString(const oxSharedString& other) : block_(other.block_) {
    if (block_) ++block_->refs;
}

oxSharedString& oxSharedString::operator=(const oxSharedString& other) {
    if (other.block_ != block_) {
        if (other.block_) ++other.block_->refs;
        Release();
        block_ = other.block_;
    }
    return *this;
}

oxSharedString& oxSharedString::operator=(oxSharedString&& other) noexcept {
    if (this != &other) {
        Release();
        block_ = other.block_;
        other.block_ = nullptr;
    }
    return *this;
}

void oxSharedString::Release() {
    Block* block = block_;
    block_ = nullptr;
    if (block && --block->refs == 0) std::free(block);
}

const WCHAR* oxSharedString::GetString() const {
    return block_ ? block_->Text() : u"";
}
