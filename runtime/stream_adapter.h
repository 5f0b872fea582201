#pragma once
// Bridges between XStream and the platform's IStream: a COM stream read as an XStream, and an
// XStream handed to COM components as an IStream.
#include <cstdint>

#include "platform/com/stream.h"
#include "runtime/stream.h"

namespace NUBO {

class XVariant;

// An XStream over a COM stream, holding a counted reference to it.
class XFromIStreamAdapter : public XStream {
public:
    explicit XFromIStreamAdapter(IStream* stream);

    int32_t Initialize() override { return 0; }
    // Script methods by name go to the wrapped object's IDispatch.
    int32_t InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result) override;
    int32_t Close() override { return 0; }
    int32_t Read(void* buffer, uint32_t n, uint32_t* count) override;
    int32_t Write(const void* data, uint32_t n, uint32_t* count) override;
    int32_t Seek(int64_t offset, int origin) override;
    int32_t GetPosition(int64_t* out) override;
    int32_t SetSize(int64_t size) override;
    int32_t GetSize(int64_t* out) override;
    int32_t GetContentType(TWString* out) override;
    int32_t SetContentType(const WCHAR*) override { return 0; }
    int32_t Open(const void*, int64_t, bool) override { return 2; }

protected:
    ~XFromIStreamAdapter() override;

private:
    IStream* stream;
};

// An XStream as a COM IStream; GetObject gives the wrapped stream back to native callers.
class XtoIStreamAdapter : public XObject, public IStream {
public:
    static XClassDescriptor Descriptor; // "XtoIStreamAdapter"

    explicit XtoIStreamAdapter(XStream* stream);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    int32_t GetObject(XObject** out) override;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    XStream* GetStream() const { return stream; }

    HRESULT Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT Write(const void* data, ULONG count, ULONG* written) override;
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    HRESULT SetSize(ULARGE_INTEGER size) override;
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG* stat, DWORD flags) override;
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

protected:
    ~XtoIStreamAdapter() override;

private:
    XStream* stream;
};

// The XStream behind a COM object, with a reference: a native stream as it is, an IStream wrapped.
// 10 for a null out pointer or object, 89 when it is no stream, 18 when the wrapper cannot be made.
int32_t XStreamFromUnknown(IUnknown* unknown, XStream** out);
// 17 for a value that is no object; a null object gives null and 0.
int32_t XStreamFromVariant(const VARIANT* value, XStream** out);
// The variant receives the stream as an object that answers IStream (18 when no adapter can be made).
int32_t XStreamToVariant(VARIANT* variant, XStream* stream);
// The stream of an object argument, else null.
int32_t VariantToXStream(XStream** out, const VARIANT* arg);

} // namespace NUBO
