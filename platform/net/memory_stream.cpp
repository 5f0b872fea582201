#include "platform/net/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::net {

MemoryStream* MemoryStream::Create() {
    return new (std::nothrow) MemoryStream();
}

bool MemoryStream::Append(const void* data, size_t size) {
    try {
        const auto* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

HRESULT MemoryStream::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG MemoryStream::AddRef() {
    return ++refs_;
}

ULONG MemoryStream::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT MemoryStream::Read(void* buffer, ULONG count, ULONG* read) {
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    uint64_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    ULONG n = ULONG(std::min<uint64_t>(count, available));
    if (n) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return n < count ? S_FALSE : S_OK;
}

HRESULT MemoryStream::Write(const void* data, ULONG count, ULONG* written) {
    if (!data && count) return STG_E_INVALIDPOINTER;
    try {
        if (position_ + count > bytes_.size()) bytes_.resize(size_t(position_ + count));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (count) std::memcpy(bytes_.data() + position_, data, count);
    position_ += count;
    if (written) *written = count;
    return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    int64_t base;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = int64_t(position_);
        break;
    case STREAM_SEEK_END:
        base = int64_t(bytes_.size());
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    position_ = uint64_t(target);
    if (newPosition) newPosition->QuadPart = position_;
    return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER size) {
    try {
        bytes_.resize(size_t(size.QuadPart));
    } catch (const std::exception&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MemoryStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) {
    if (!target) return STG_E_INVALIDPOINTER;
    uint64_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    uint64_t n = std::min<uint64_t>(count.QuadPart, available);
    ULONG done = 0;
    HRESULT hr = n ? target->Write(bytes_.data() + position_, ULONG(n), &done) : S_OK;
    position_ += n;
    if (read) read->QuadPart = n;
    if (written) written->QuadPart = done;
    return hr;
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = bytes_.size();
    return S_OK;
}

HRESULT MemoryStream::Clone(IStream** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    MemoryStream* copy = Create();
    if (!copy || !copy->Append(bytes_.data(), bytes_.size())) {
        if (copy) copy->Release();
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    copy->position_ = position_;
    *out = copy;
    return S_OK;
}

} // namespace platform::net
