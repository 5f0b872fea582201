#include "runtime/stream.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/script_object_internal.h"

namespace NUBO {

namespace {

const WCHAR kOctetStream[] = u"application/octet-stream";

int32_t CloseMethod(XObject* object, int, XArgList*, XVariant*) {
    if (!object) return XR_INVALID;
    return static_cast<XStream*>(object)->Close();
}

int32_t GetTypeMethod(XObject* object, int, XArgList*, XVariant* result) {
    if (!object) return XR_INVALID;
    TWString type;
    int32_t rc = static_cast<XStream*>(object)->GetContentType(&type);
    if (rc == XR_SUCCESS) *result = type;
    return rc;
}

const XMemberEntry kStreamMembers[] = {
    XProtocol("EEStream", 1),
    XProtocol("XStream", 1),
    XMethod("Close", CloseMethod),
    XMethod("GetType", GetTypeMethod),
    XMemberEnd(),
};

// The page-rounded cap_ strictly above `size_`.
int64_t CapacityFor(int64_t size_) {
    return (size_ / kStreamPage + 1) * kStreamPage;
}

} // namespace

XClassDescriptor XStream::Descriptor = {"XStream", 5, kStreamMembers, &XObject::Descriptor, 0, {}};

XStream::XStream() : contentType(kOctetStream) {}

XStream::~XStream() {
    std::free(buf_);
}

int32_t XStream::Create(XStream** out) {
    return CreateInitialized<XStream>(out);
}

int32_t XStream::Initialize() {
    return Open(nullptr, 0, false);
}

int32_t XStream::Open(const void* data, int64_t n, bool fixed) {
    if (n < 0) return XR_INVALID;
    if (!closed_) {
        fixed_ = false;
        int32_t rc = XR_SUCCESS;
        if (n == 0)
            rc = XR_SUCCESS;
        else if (data)
            rc = n > UINT32_MAX ? XR_INVALID : Write(data, uint32_t(n), nullptr);
        else
            rc = SetSize(n);
        fixed_ = fixed;
        return rc;
    }
    if (n > INT64_MAX - kStreamPage) return XR_FAIL;
    int64_t cap = CapacityFor(n);
    if (uint64_t(cap) > SIZE_MAX) return XR_FAIL;
    auto* block = static_cast<uint8_t*>(std::calloc(size_t(cap), 1));
    if (!block) return XR_FAIL;
    buf_ = block;
    pos_ = 0;
    size_ = 0;
    closed_ = false;
    cap_ = cap;
    fixed_ = fixed;
    if (data) {
        std::memcpy(buf_, data, size_t(n));
        size_ = n;
    }
    return XR_SUCCESS;
}

int32_t XStream::Close() {
    if (closed_) return XR_STREAM_CLOSED;
    std::free(buf_);
    buf_ = nullptr;
    closed_ = true;
    pos_ = size_ = cap_ = 0;
    return XR_SUCCESS;
}

int32_t XStream::Read(void* out, uint32_t n, uint32_t* count) {
    if (closed_) return XR_STREAM_CLOSED;
    if (count) *count = 0;
    if (!out) return XR_INVALID;
    if (pos_ >= size_) return XR_END_OF_STREAM;
    int64_t take = size_ - pos_ < int64_t(n) ? size_ - pos_ : int64_t(n);
    std::memcpy(out, buf_ + pos_, size_t(take));
    pos_ += take;
    if (count) *count = uint32_t(take);
    return XR_SUCCESS;
}

int32_t XStream::Write(const void* data, uint32_t n, uint32_t* count) {
    if (closed_) return XR_STREAM_CLOSED;
    if (count) *count = 0;
    if (!data) return XR_INVALID;
    if (fixed_) return XR_FIXED_SIZE;
    if (int64_t(n) > INT64_MAX - kStreamPage - pos_) return XR_OUT_OF_MEMORY; // after a far seek
    if (pos_ + int64_t(n) > size_) {
        int32_t rc = SetSize(pos_ + int64_t(n));
        if (rc != XR_SUCCESS) return rc;
    }
    if (n) std::memcpy(buf_ + pos_, data, n);
    pos_ += n;
    if (count) *count = n;
    return XR_SUCCESS;
}

int32_t XStream::Seek(int64_t offset, int origin) {
    if (closed_) return XR_STREAM_CLOSED;
    int64_t base = 0;
    if (origin == 0)
        base = 0;
    else if (origin == 1)
        base = pos_;
    else if (origin == 2)
        base = size_;
    else
        return XR_INVALID;
    if (offset < 0 ? base < INT64_MIN - offset : base > INT64_MAX - offset) return XR_INVALID;
    int64_t target = base + offset;
    if (target < 0) return XR_BEFORE_START;
    pos_ = target;
    return XR_SUCCESS;
}

int32_t XStream::GetPosition(int64_t* out) {
    if (closed_) return XR_STREAM_CLOSED;
    if (!out) return XR_INVALID;
    *out = pos_;
    return XR_SUCCESS;
}

int32_t XStream::GetSize(int64_t* out) {
    if (closed_) return XR_STREAM_CLOSED;
    if (!out) return XR_INVALID;
    *out = size_;
    return XR_SUCCESS;
}

int32_t XStream::SetSize(int64_t newSize) {
    if (closed_) return XR_STREAM_CLOSED;
    if (fixed_) return XR_FIXED_SIZE;
    if (newSize < 0) return XR_INVALID;
    if (newSize <= cap_) {
        if (newSize < size_) std::memset(buf_ + newSize, 0, size_t(size_ - newSize));
    } else {
        if (newSize > INT64_MAX - kStreamPage) return XR_OUT_OF_MEMORY;
        int64_t cap = CapacityFor(newSize);
        if (uint64_t(cap) > SIZE_MAX) return XR_OUT_OF_MEMORY;
        auto* block = static_cast<uint8_t*>(std::realloc(buf_, size_t(cap)));
        if (!block) return XR_OUT_OF_MEMORY;
        std::memset(block + cap_, 0, size_t(cap - cap_));
        buf_ = block;
        cap_ = cap;
    }
    size_ = newSize;
    return XR_SUCCESS;
}

int32_t XStream::GetContentType(TWString* out) {
    if (closed_) return XR_STREAM_CLOSED;
    if (!out) return XR_INVALID;
    *out = contentType;
    return XR_SUCCESS;
}

int32_t XStream::SetContentType(const WCHAR* type) {
    if (closed_) return XR_STREAM_CLOSED;
    contentType = type;
    return XR_SUCCESS;
}

} // namespace NUBO
