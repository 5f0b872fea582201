#include "platform/com/error_info.h"

#include <new>

const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

class ErrorObject final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IErrorInfo)) {
            *out = static_cast<IErrorInfo*>(this);
        } else if (IsEqualIID(riid, IID_ICreateErrorInfo)) {
            *out = static_cast<ICreateErrorInfo*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetGUID(GUID* out) override {
        if (!out) return E_INVALIDARG;
        *out = guid;
        return S_OK;
    }
    HRESULT GetSource(BSTR* out) override { return Copy(source, out); }
    HRESULT GetDescription(BSTR* out) override { return Copy(description, out); }
    HRESULT GetHelpFile(BSTR* out) override { return Copy(helpFile, out); }
    HRESULT GetHelpContext(DWORD* out) override {
        if (!out) return E_INVALIDARG;
        *out = helpContext;
        return S_OK;
    }

    HRESULT SetGUID(REFGUID value) override {
        guid = value;
        return S_OK;
    }
    HRESULT SetSource(LPCOLESTR value) override { return Store(source, value); }
    HRESULT SetDescription(LPCOLESTR value) override { return Store(description, value); }
    HRESULT SetHelpFile(LPCOLESTR value) override { return Store(helpFile, value); }
    HRESULT SetHelpContext(DWORD value) override {
        helpContext = value;
        return S_OK;
    }

private:
    ~ErrorObject() {
        SysFreeString(source);
        SysFreeString(description);
        SysFreeString(helpFile);
    }
    static HRESULT Copy(BSTR from, BSTR* out) {
        if (!out) return E_INVALIDARG;
        *out = from ? SysAllocStringLen(from, SysStringLen(from)) : nullptr;
        return from && !*out ? E_OUTOFMEMORY : S_OK;
    }
    static HRESULT Store(BSTR& slot, LPCOLESTR value) {
        BSTR copy = value ? SysAllocString(value) : nullptr;
        if (value && !copy) return E_OUTOFMEMORY;
        SysFreeString(slot);
        slot = copy;
        return S_OK;
    }

    ULONG refs = 1;
    GUID guid{};
    BSTR source = nullptr;
    BSTR description = nullptr;
    BSTR helpFile = nullptr;
    DWORD helpContext = 0;
};

thread_local IErrorInfo* t_current = nullptr;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    auto* object = new (std::nothrow) ErrorObject();
    *out = object ? static_cast<ICreateErrorInfo*>(object) : nullptr;
    return object ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(DWORD, IErrorInfo* info) {
    if (info) info->AddRef();
    IErrorInfo* old = t_current;
    t_current = info;
    if (old) old->Release();
    return S_OK;
}

HRESULT GetErrorInfo(DWORD, IErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = t_current;
    t_current = nullptr;
    return *out ? S_OK : S_FALSE;
}
