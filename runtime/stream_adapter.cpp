#include "runtime/stream_adapter.h"

#include <cstring>
#include <new>

#include "platform/com/dispatch.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"

namespace NUBO {

namespace {

int32_t ForwardClose(XObject* object, int, XArgList*, XVariant*) {
    if (!object) return XR_INVALID;
    return static_cast<XtoIStreamAdapter*>(object)->GetStream()->Close();
}

int32_t ForwardGetType(XObject* object, int, XArgList*, XVariant* result) {
    if (!object) return XR_INVALID;
    TWString type;
    int32_t rc = static_cast<XtoIStreamAdapter*>(object)->GetStream()->GetContentType(&type);
    if (rc == XR_SUCCESS) *result = type;
    return rc;
}

const XMemberEntry kToIStreamMembers[] = {
    XMethod("Close", ForwardClose),
    XMethod("GetType", ForwardGetType),
    XMemberEnd(),
};

int32_t FromHResult(HRESULT hr) {
    return SUCCEEDED(hr) ? XR_SUCCESS : ResultFromHResult(hr);
}

} // namespace

XFromIStreamAdapter::XFromIStreamAdapter(IStream* s) : stream(s) {
    if (stream) stream->AddRef();
}

XFromIStreamAdapter::~XFromIStreamAdapter() {
    if (stream) stream->Release();
}

int32_t XFromIStreamAdapter::InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result) {
    if (!result) return XR_INVALID;
    result->Clear();
    if (!stream || !name) return ResultFromHResult(E_FAIL);
    IDispatch* dispatch = nullptr;
    if (FAILED(stream->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
        return ResultFromHResult(E_FAIL);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 2048, &id);
    if (SUCCEEDED(hr)) {
        DISPPARAMS params{args ? args->FirstArgSlot() : nullptr, nullptr, args ? UINT(args->GetCount()) : 0, 0};
        hr = dispatch->Invoke(id, IID_NULL, 2048, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    }
    dispatch->Release();
    return FromHResult(hr);
}

int32_t XFromIStreamAdapter::Read(void* buffer, uint32_t n, uint32_t* count) {
    if (!stream) return ResultFromHResult(E_FAIL);
    ULONG got = 0;
    HRESULT hr = stream->Read(buffer, n, &got);
    if (count) *count = got;
    return FromHResult(hr);
}

int32_t XFromIStreamAdapter::Write(const void* data, uint32_t n, uint32_t* count) {
    if (!stream) return ResultFromHResult(E_FAIL);
    ULONG put = 0;
    HRESULT hr = stream->Write(data, n, &put);
    if (count) *count = put;
    return FromHResult(hr);
}

int32_t XFromIStreamAdapter::Seek(int64_t offset, int origin) {
    if (!stream) return ResultFromHResult(E_FAIL);
    LARGE_INTEGER move;
    move.QuadPart = offset;
    return FromHResult(stream->Seek(move, DWORD(origin), nullptr));
}

int32_t XFromIStreamAdapter::GetPosition(int64_t* out) {
    if (!stream) return ResultFromHResult(E_FAIL);
    if (!out) return XR_INVALID;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER at;
    at.QuadPart = 0;
    HRESULT hr = stream->Seek(zero, STREAM_SEEK_CUR, &at);
    if (SUCCEEDED(hr)) *out = int64_t(at.QuadPart);
    return FromHResult(hr);
}

int32_t XFromIStreamAdapter::SetSize(int64_t size) {
    if (!stream) return ResultFromHResult(E_FAIL);
    ULARGE_INTEGER n;
    n.QuadPart = uint64_t(size);
    return FromHResult(stream->SetSize(n));
}

int32_t XFromIStreamAdapter::GetSize(int64_t* out) {
    if (!stream) return ResultFromHResult(E_FAIL);
    if (!out) return XR_INVALID;
    STATSTG stat;
    std::memset(&stat, 0, sizeof stat);
    HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) *out = int64_t(stat.cbSize.QuadPart);
    return FromHResult(hr);
}

int32_t XFromIStreamAdapter::GetContentType(TWString* out) {
    if (!out) return XR_INVALID;
    *out = u"application/octet-stream";
    return XR_SUCCESS;
}

XClassDescriptor XtoIStreamAdapter::Descriptor = {"XtoIStreamAdapter",  3, kToIStreamMembers,
                                                  &XObject::Descriptor, 0, {}};

XtoIStreamAdapter::XtoIStreamAdapter(XStream* s) : stream(s) {
    stream->AddRef();
}

XtoIStreamAdapter::~XtoIStreamAdapter() {
    stream->Release();
}

HRESULT XtoIStreamAdapter::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IStream || riid == IID_ISequentialStream) {
        *out = static_cast<IStream*>(this);
        AddRefImpl();
        return S_OK;
    }
    return XObject::QueryInterface(riid, out);
}

int32_t XtoIStreamAdapter::GetObject(XObject** out) {
    if (!out) return XR_INVALID;
    *out = stream;
    stream->AddRef();
    return XR_SUCCESS;
}

HRESULT XtoIStreamAdapter::Read(void* buffer, ULONG count, ULONG* read) {
    uint32_t got = 0;
    int32_t rc = stream->Read(buffer, count, &got);
    if (read) *read = got;
    if (rc == XR_END_OF_STREAM) return S_FALSE;
    return HResultFromResult(rc);
}

HRESULT XtoIStreamAdapter::Write(const void* data, ULONG count, ULONG* written) {
    uint32_t put = 0;
    int32_t rc = stream->Write(data, count, &put);
    if (written) *written = put;
    return HResultFromResult(rc);
}

HRESULT XtoIStreamAdapter::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    int32_t rc = stream->Seek(move.QuadPart, int(origin));
    if (rc == XR_SUCCESS && newPosition) {
        int64_t at = 0;
        rc = stream->GetPosition(&at);
        newPosition->QuadPart = uint64_t(at);
    }
    return HResultFromResult(rc);
}

HRESULT XtoIStreamAdapter::SetSize(ULARGE_INTEGER size) {
    if (size.QuadPart > uint64_t(INT64_MAX)) return HResultFromResult(XR_INVALID);
    return HResultFromResult(stream->SetSize(int64_t(size.QuadPart)));
}

HRESULT XtoIStreamAdapter::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    std::memset(stat, 0, sizeof *stat);
    int64_t size = 0;
    int32_t rc = stream->GetSize(&size);
    stat->cbSize.QuadPart = uint64_t(size);
    return HResultFromResult(rc);
}

int32_t XStreamFromUnknown(IUnknown* unknown, XStream** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!unknown) return XR_INVALID;
    void* face = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_XObject, &face)) && face) {
        XObject* outer = static_cast<XObject*>(static_cast<IDispatchEx*>(face));
        XObject* object = nullptr;
        int32_t rc = outer->GetObject(&object);
        outer->Release();
        if (rc != XR_SUCCESS) return rc;
        if (!object || !XObject::IsKindOf(object, &XStream::Descriptor)) {
            if (object) object->Release();
            return XR_NOT_STREAM;
        }
        *out = static_cast<XStream*>(object);
        return XR_SUCCESS;
    }
    IStream* com = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IStream, reinterpret_cast<void**>(&com))) || !com) return XR_NOT_STREAM;
    auto* adapter = new (std::nothrow) XFromIStreamAdapter(com);
    com->Release();
    if (!adapter) return XR_OUT_OF_MEMORY;
    adapter->AddRef();
    *out = adapter;
    return XR_SUCCESS;
}

int32_t XStreamFromVariant(const VARIANT* value, XStream** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!value || (value->vt != VT_UNKNOWN && value->vt != VT_DISPATCH)) return XR_NOT_OBJECT;
    if (!value->punkVal) return XR_SUCCESS;
    return XStreamFromUnknown(value->punkVal, out);
}

int32_t XStreamToVariant(VARIANT* variant, XStream* stream) {
    if (!variant || !stream) return XR_INVALID;
    VariantClear(variant);
    IUnknown* com = nullptr;
    if (SUCCEEDED(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&com))) && com) {
        variant->vt = VT_UNKNOWN;
        variant->punkVal = com;
        return XR_SUCCESS;
    }
    auto* adapter = new (std::nothrow) XtoIStreamAdapter(stream);
    if (!adapter) return XR_OUT_OF_MEMORY;
    variant->vt = VT_UNKNOWN;
    variant->punkVal = static_cast<IStream*>(adapter);
    adapter->AddRefImpl();
    return XR_SUCCESS;
}

int32_t VariantToXStream(XStream** out, const VARIANT* arg) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!arg || (arg->vt != VT_UNKNOWN && arg->vt != VT_DISPATCH) || !arg->punkVal) return XR_SUCCESS;
    int32_t rc = XStreamFromUnknown(arg->punkVal, out);
    if (rc != XR_SUCCESS) *out = nullptr;
    return rc;
}

} // namespace NUBO
