#pragma once
// XStream: the byte stream that files, resources and memory blocks are read through. The base
// class is itself a memory stream kept in 4096-byte pages, zeroed between its size and capacity.
#include <cstdint>

#include "runtime/script_object.h"
#include "runtime/wide_string.h"

namespace NUBO {

constexpr int kStreamPage = 4096;

class XStream : public XObject {
public:
    static XClassDescriptor Descriptor; // "XStream"

    XStream();

    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    // Opens an empty stream of one page.
    int32_t Initialize() override;

    virtual int32_t Close();
    // Up to n bytes at the position; 45 and a count of 0 at or past the end.
    virtual int32_t Read(void* buffer, uint32_t n, uint32_t* count);
    virtual int32_t Write(const void* data, uint32_t n, uint32_t* count);
    // origin: 0 start, 1 position, 2 end. Positions past the end are allowed.
    virtual int32_t Seek(int64_t offset, int origin);
    virtual int32_t GetPosition(int64_t* out);
    virtual int32_t SetSize(int64_t size);
    virtual int32_t GetSize(int64_t* out);
    virtual int32_t GetContentType(TWString* out);
    virtual int32_t SetContentType(const WCHAR* type);
    // Open: a closed stream gets a zeroed buffer holding `size` bytes of `data` (or none); an
    // open one writes `data` at the position, or takes `size` as its size when there is none.
    // `fixed` then refuses writes and size changes.
    virtual int32_t Open(const void* data, int64_t size, bool fixed);

    int64_t GetCapacity() const { return cap_; }
    // A new open, empty memory stream with one reference.
    static int32_t Create(XStream** out);

protected:
    ~XStream() override;

    TWString contentType;

private:
    uint8_t* buf_ = nullptr;
    bool closed_ = true;
    int64_t pos_ = 0;
    int64_t cap_ = 0;
    int64_t size_ = 0;
    bool fixed_ = false;
};

} // namespace NUBO
