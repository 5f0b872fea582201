#include "runtime/script_constructors.h"

#include <new>

#include "runtime/live_array.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"

namespace NUBO {

HRESULT XScriptObjectConstructor::Invoke(DISPID, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                         UINT*) {
    if (flags != DISPATCH_CONSTRUCT) return S_FALSE;
    XObject* object = nullptr;
    if (createInstance(&object) != XR_SUCCESS) object = nullptr;
    if (result) {
        VariantClear(result);
        static_cast<XVariant*>(result)->SetObject(object);
    }
    if (object) object->Release();
    return S_OK;
}

HRESULT XScriptObjectConstructor::GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) {
    if (id != DISPID_VALUE) return XObject::GetMemberProperties(id, fetch, props);
    if (!props) return E_INVALIDARG;
    *props = (fdexPropCanCall | fdexPropCanConstruct) & fetch;
    return S_OK;
}

int32_t CreateScriptObjectConstructor(XCreateInstanceFn create, XObject** out) {
    if (!out) return XR_INVALID;
    *out = nullptr;
    if (!create) return XR_INVALID;
    auto* constructor = new (std::nothrow) XScriptObjectConstructor(create);
    if (!constructor) return XR_OUT_OF_MEMORY;
    constructor->AddRef();
    *out = constructor;
    return XR_SUCCESS;
}

int32_t CreateXArrayConstructor(XObject** out) {
    return CreateScriptObjectConstructor(CreateXArray, out);
}

int32_t CreateXDictionaryConstructor(XObject** out) {
    return CreateScriptObjectConstructor(CreateXDictionary, out);
}

int32_t CreateLiveArrayConstructor(XObject** out) {
    return CreateScriptObjectConstructor(CreateXLiveArray, out);
}

} // namespace NUBO
