#pragma once
// A growing in-memory IStream: the downloader appends at the end without moving the reader's
// position, so a reader that has not read yet finds the whole content from position 0.
#include <cstdint>
#include <vector>

#include "platform/com/stream.h"

namespace platform::net {

class MemoryStream final : public IStream {
public:
    // One reference.
    static MemoryStream* Create();

    // False when memory ran out (the stream keeps what it had).
    bool Append(const void* data, size_t size);
    size_t Size() const { return bytes_.size(); }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT Write(const void* data, ULONG count, ULONG* written) override;
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    HRESULT SetSize(ULARGE_INTEGER size) override;
    HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override;
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Stat(STATSTG* stat, DWORD flags) override;
    HRESULT Clone(IStream** out) override;

private:
    MemoryStream() = default;
    ~MemoryStream() = default;

    ULONG refs_ = 1;
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
};

} // namespace platform::net
