#include "runtime/script_proxy.h"

#include <new>

#include "platform/com/dispatch.h"
#include "platform/crt/wide.h"
#include "platform/win/sync.h"
#include "runtime/hash_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"

namespace NUBO {

namespace {

constexpr LCID kLocale = 2048;

// The registry holds no references: a proxy leaves it in its destructor.
struct ProxyRegistry {
    ProxyRegistry() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    oxPtrHashMap<XProxy*> map;
};

ProxyRegistry& Registry() {
    static ProxyRegistry registry;
    return registry;
}

void RegisterProxy(IDispatch* foreign, XProxy* proxy) {
    ProxyRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    r.map.Insert(foreign, proxy);
    LeaveCriticalSection(&r.lock);
}

void UnregisterProxy(IDispatch* foreign) {
    ProxyRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    r.map.Erase(foreign);
    LeaveCriticalSection(&r.lock);
}

int32_t NoSuchMethod(XObject* object, int, XArgList*, XVariant*) {
    return object ? XR_NOT_IMPLEMENTED : XR_INVALID;
}

const XMemberEntry kProxyMembers[] = {
    XMethod("__noSuchMethod__", NoSuchMethod),
    XMemberEnd(),
};

bool IsMissing(HRESULT hr) {
    return hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_UNKNOWNNAME;
}

void FreeExcepInfo(EXCEPINFO& info) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

} // namespace

XClassDescriptor XProxy::Descriptor = {"XProxy", 2, kProxyMembers, &XObject::Descriptor, 0, {}};

XProxy::XProxy(IDispatch* f) : foreign(f) {
    foreign->AddRef();
}

XProxy::~XProxy() {
    if (dispatch) dispatch->Release();
    UnregisterProxy(foreign);
    foreign->Release();
}

HRESULT XProxy::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_XObject) return E_NOINTERFACE;
    return foreign->QueryInterface(riid, out);
}

IDispatch* XProxy::CallDispatch() {
    if (!dispatch) foreign->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    return dispatch;
}

HRESULT XProxy::GetDispIdOfName(const WCHAR* name, DISPID* id) {
    IDispatch* d = CallDispatch();
    if (!d || !name) return E_FAIL;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, kLocale, id);
    return hr == E_FAIL ? DISP_E_MEMBERNOTFOUND : hr;
}

int32_t XProxy::InvokeMethodByName(const WCHAR* name, XArgList* args, XVariant* result) {
    if (!result) return XR_INVALID;
    result->Clear();
    IDispatch* d = CallDispatch();
    if (!d || !name) return ResultFromHResult(E_FAIL);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id);
    if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) return XR_NO_METHOD;
    if (FAILED(hr)) return ResultFromHResult(hr);
    DISPPARAMS params{args ? args->FirstArgSlot() : nullptr, nullptr, args ? UINT(args->GetCount()) : 0, 0};
    EXCEPINFO info{};
    // The call may drop the last native reference to this proxy.
    RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
    hr = d->Invoke(id, IID_NULL, kLocale, DISPATCH_METHOD, &params, result, &info, nullptr);
    hr = ResultFromException(hr, &info);
    FreeExcepInfo(info);
    return ResultFromHResult(hr);
}

int32_t XProxy::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    if (!value) return XR_INVALID;
    XVariant copy(*value);
    return Access(kXAccessPut, name, &copy);
}

int32_t XProxy::HasDynamicProperty(const WCHAR* name, bool* out) {
    DISPID id = 0;
    *out = name && SUCCEEDED(GetDispIdOfName(name, &id));
    return XR_SUCCESS;
}

int32_t XProxy::implementsProtocol(const WCHAR* name, unsigned version, bool* out) {
    *out = false;
    XVariant protocol(name ? name : u"");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = version;
    XVariant result;
    int32_t rc = XObject::CallMethod2(this, u"implementsProtocol", protocol, v, &result);
    if (rc != XR_SUCCESS) return rc;
    *out = result.ToBool();
    return XR_SUCCESS;
}

int32_t XProxy::Access(int kind, const WCHAR* name, VARIANT* value) {
    if (!name) return XR_INVALID;
    // A path: the first step here, the rest by the object it leads to.
    if (const WCHAR* dot = name[0] ? wcschr(name + 1, u'.') : nullptr) {
        TWString first(name, int(dot - name));
        XVariant step;
        int32_t rc = Access(kXAccessGet, first.GetString(), &step);
        if (rc != XR_SUCCESS) return rc;
        RefPtr<XObject> next(step.GetKind() == XVK_OBJECT ? step.ToXObject() : nullptr);
        if (!next) return XR_NO_PROPERTY;
        return next->Access(kind, dot + 1, value);
    }
    if (kind == kXAccessDelete) {
        IDispatchEx* ex = nullptr;
        if (FAILED(foreign->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex))) || !ex)
            return ResultFromHResult(E_FAIL);
        BSTR text = SysAllocString(name);
        HRESULT hr = ex->DeleteMemberByName(text, fdexNameCaseSensitive);
        SysFreeString(text);
        ex->Release();
        return IsMissing(hr) ? XR_NO_PROPERTY : FAILED(hr) ? ResultFromHResult(hr) : XR_SUCCESS;
    }
    DISPID id = 0;
    HRESULT hr = GetDispIdOfName(name, &id);
    if (FAILED(hr) && kind == kXAccessPut) {
        IDispatchEx* ex = nullptr;
        if (SUCCEEDED(foreign->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex))) && ex) {
            BSTR text = SysAllocString(name);
            hr = ex->GetDispID(text, fdexNameEnsure, &id);
            SysFreeString(text);
            ex->Release();
        }
    }
    if (SUCCEEDED(hr)) {
        IDispatch* d = CallDispatch();
        if (!d) return ResultFromHResult(E_FAIL);
        EXCEPINFO info{};
        RefPtr<XObject> hold = RefPtr<XObject>::ref(this);
        if (kind == kXAccessGet) {
            VariantClear(value);
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            hr = d->Invoke(id, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &none, value, &info, nullptr);
        } else {
            DISPID named = DISPID_PROPERTYPUT;
            DISPPARAMS put{value, &named, 1, 1};
            hr = d->Invoke(id, IID_NULL, kLocale, DISPATCH_PROPERTYPUT, &put, nullptr, &info, nullptr);
        }
        hr = ResultFromException(hr, &info);
        FreeExcepInfo(info);
    }
    if (SUCCEEDED(hr)) return XR_SUCCESS;
    if (IsMissing(hr)) return XR_NO_PROPERTY;
    return ResultFromHResult(hr);
}

int32_t XProxy::FindInRegistry(IDispatch* foreign, XProxy** out) {
    ProxyRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    XProxy* proxy = r.map.Lookup(foreign);
    if (proxy) proxy->AddRefImpl();
    LeaveCriticalSection(&r.lock);
    *out = proxy;
    return proxy ? XR_SUCCESS : XR_NOT_FOUND;
}

int32_t XProxy::Wrap(IDispatch* foreign, XObject** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!foreign) return XR_INVALID;
    XProxy* proxy = nullptr;
    if (FindInRegistry(foreign, &proxy) == XR_SUCCESS) {
        *out = proxy;
        return XR_SUCCESS;
    }
    proxy = new (std::nothrow) XProxy(foreign);
    if (!proxy) return XR_OUT_OF_MEMORY;
    proxy->AddRefImpl();
    RegisterProxy(foreign, proxy);
    *out = proxy;
    return XR_SUCCESS;
}

void InstallProxyRegistry() {
    SetForeignObjectWrapper(&XProxy::Wrap);
}

void RemoveProxyRegistry() {
    SetForeignObjectWrapper(nullptr);
}

} // namespace NUBO
