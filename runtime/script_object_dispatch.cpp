// XObject's IDispatchEx face and the native CallMethod helpers: the road by which scripts and
// native callers reach a member by name or id.
#include "runtime/script_object.h"

#include "runtime/result_codes.h"

namespace NUBO {

namespace {

int32_t CallWith(XObject* object, const WCHAR* name, const VARIANT* const* argv, int argc, XVariant* result) {
    if (!object || !result) return XR_INVALID;
    XArgList list;
    list.Reset(argc);
    for (int i = 0; i < argc; ++i)
        if (XVariant* slot = list.GetArg(i)) *slot = *argv[i];
    return object->InvokeMethodByName(name, &list, result);
}

int32_t CallDropResult(XObject* object, const WCHAR* name, const VARIANT* const* argv, int argc) {
    XVariant scratch;
    return CallWith(object, name, argv, argc, &scratch);
}

} // namespace

int32_t XObject::CallById(int id, XArgList* args, XVariant* result) {
    if (id & kXExpandoIdBit) return CallExpandoFunction(id, result);
    if (EnsureMembers() != XR_SUCCESS) return XR_OUT_OF_MEMORY;
    if ((id & kXDynamicIdBit) && (GetClassDescriptor()->dispatchFlags & kXDispatchDynamicByName)) {
        TWString name;
        int32_t rc = GetMemberName(id, &name);
        if (rc != XR_SUCCESS) return rc;
        return InvokeMethodByName(name.GetString(), args, result);
    }
    return InvokeMethodAt(id - 1, args, result);
}

// An expando property that holds a script function is called with this object as `this` and no
// other arguments.
int32_t XObject::CallExpandoFunction(int id, XVariant* result) {
    TWString name;
    XVariant value;
    if (GetMemberName(id, &name) != XR_SUCCESS || GetPropertyByName(name.GetString(), &value) != XR_SUCCESS ||
        value.GetKind() != XVK_OBJECT || !value.punkVal)
        return XR_FAIL;
    IDispatchEx* function = nullptr;
    if (FAILED(value.punkVal->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&function))) || !function)
        return XR_FAIL;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_DISPATCH;
    self.pdispVal = static_cast<IDispatchEx*>(this);
    DISPID named = DISPID_THIS;
    DISPPARAMS params{&self, &named, 1, 1};
    EXCEPINFO info{};
    HRESULT hr =
        function->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &info, nullptr);
    function->Release();
    hr = ResultFromException(hr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return ResultFromHResult(hr);
}

int32_t XObject::PropertyById(int id, int kind, VARIANT* value) {
    if (EnsureMembers() != XR_SUCCESS) return XR_OUT_OF_MEMORY;
    if (id > 0xFFFFFF || (GetClassDescriptor()->dispatchFlags & kXDispatchPropertiesByName)) {
        TWString name;
        int32_t rc = GetMemberName(id, &name);
        if (rc != XR_SUCCESS) return rc;
        if (kind == kXAccessGet) return GetPropertyByName(name.GetString(), static_cast<XVariant*>(value));
        return SetPropertyByName(name.GetString(), value);
    }
    return AccessPropertyAt(id - 1, kind, value);
}

HRESULT XObject::GetTypeInfoCount(UINT*) {
    return E_NOTIMPL;
}

HRESULT XObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT XObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count == 0 || !names || !ids) return E_INVALIDARG;
    int id = 0;
    if (GetIdOfName(names[0], &id) != XR_SUCCESS) return DISP_E_MEMBERNOTFOUND;
    ids[0] = id;
    return S_OK;
}

namespace {

int gNativeCallDepth = 0;

// Counts a member of an object running for a caller that came through IDispatch (a script).
struct NativeCall {
    NativeCall() { ++gNativeCallDepth; }
    ~NativeCall() { --gNativeCallDepth; }
};

} // namespace

int GetNativeCallDepth() {
    return gNativeCallDepth;
}

HRESULT XObject::GetDispID(BSTR name, DWORD grfdex, DISPID* id) {
    NativeCall call;
    if (!id) return E_INVALIDARG;
    *id = 0;
    if (!name) return E_INVALIDARG;
    HRESULT hr = GetIDsOfNames(IID_NULL, &name, 1, 0, id);
    if (FAILED(hr) && (grfdex & fdexNameEnsure)) {
        XVariant empty;
        int32_t rc = SetPropertyByName(name, &empty);
        if (rc == XR_SUCCESS || rc == 9) hr = GetIDsOfNames(IID_NULL, &name, 1, 0, id);
    }
    return hr;
}

HRESULT XObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    NativeCall call;
    // Keeps the object alive while a member runs that may drop the caller's last reference.
    AddRef();
    int32_t rc = XR_SUCCESS;
    if (id == DISPID_VALUE) {
        const WCHAR* name = nullptr;
        if (flags & DISPATCH_PROPERTYGET)
            name = u"getValue";
        else if (flags & DISPATCH_PROPERTYPUT)
            name = u"setValue";
        if (!name) {
            Release();
            return E_FAIL;
        }
        rc = GetIdOfName(name, &id);
        if (rc != XR_SUCCESS) {
            Release();
            return HResultFromResult(rc);
        }
        flags |= DISPATCH_METHOD;
    }
    if (id <= 0) {
        Release();
        return E_FAIL;
    }
    VARIANT* args = params ? params->rgvarg : nullptr;
    int argc = params && params->rgvarg ? static_cast<int>(params->cArgs) : 0;
    XVariant scratch;
    XVariant* out = result ? static_cast<XVariant*>(result) : &scratch;
    if (flags & DISPATCH_METHOD) {
        XArgList list;
        list.Attach(args, argc);
        rc = CallById(id, &list, out);
        list.Detach();
    } else if (flags & DISPATCH_PROPERTYGET) {
        rc = PropertyById(id, kXAccessGet, out);
    } else if (flags & DISPATCH_PROPERTYPUT) {
        rc = argc < 1 ? XR_TOO_FEW_ARGS : PropertyById(id, kXAccessPut, &args[0]);
    }
    Release();
    return HResultFromResult(rc);
}

HRESULT XObject::InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepinfo,
                          IServiceProvider*) {
    return Invoke(id, IID_NULL, lcid, flags, params, result, excepinfo, nullptr);
}

HRESULT XObject::DeleteMemberByName(BSTR name, DWORD) {
    bool dynamic = false;
    if (name) HasDynamicProperty(name, &dynamic);
    if (dynamic) DeleteMember(name);
    return S_OK;
}

HRESULT XObject::DeleteMemberByDispID(DISPID id) {
    TWString name;
    int32_t rc = GetMemberName(id, &name);
    if (rc != XR_SUCCESS) return HResultFromResult(rc);
    return HResultFromResult(DeleteMember(name.GetString()));
}

HRESULT XObject::GetMemberProperties(DISPID, DWORD, DWORD*) {
    return E_NOTIMPL;
}

HRESULT XObject::GetMemberName(DISPID, BSTR*) {
    return E_NOTIMPL;
}

HRESULT XObject::GetNextDispID(DWORD, DISPID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT XObject::GetNameSpaceParent(IUnknown**) {
    return E_NOTIMPL;
}

int32_t XObject::CallMethod0(XObject* object, const WCHAR* name, XVariant* result) {
    return CallWith(object, name, nullptr, 0, result);
}

int32_t XObject::CallMethod1(XObject* object, const WCHAR* name, const VARIANT& a, XVariant* result) {
    const VARIANT* argv[] = {&a};
    return CallWith(object, name, argv, 1, result);
}

int32_t XObject::CallMethod2(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b, XVariant* result) {
    const VARIANT* argv[] = {&a, &b};
    return CallWith(object, name, argv, 2, result);
}

int32_t XObject::CallMethod4(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b, const VARIANT& c,
                             const VARIANT& d, XVariant* result) {
    const VARIANT* argv[] = {&a, &b, &c, &d};
    return CallWith(object, name, argv, 4, result);
}

int32_t XObject::CallMethod0NoResult(XObject* object, const WCHAR* name) {
    return CallDropResult(object, name, nullptr, 0);
}

int32_t XObject::CallMethod1NoResult(XObject* object, const WCHAR* name, const VARIANT& a) {
    const VARIANT* argv[] = {&a};
    return CallDropResult(object, name, argv, 1);
}

int32_t XObject::CallMethod2NoResult(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b) {
    const VARIANT* argv[] = {&a, &b};
    return CallDropResult(object, name, argv, 2);
}

int32_t XObject::CallMethod4NoResult(XObject* object, const WCHAR* name, const VARIANT& a, const VARIANT& b,
                                     const VARIANT& c, const VARIANT& d) {
    const VARIANT* argv[] = {&a, &b, &c, &d};
    return CallDropResult(object, name, argv, 4);
}

} // namespace NUBO
