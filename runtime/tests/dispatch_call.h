#pragma once
// Calls into script objects the way the script engine does: GetDispID, then InvokeEx with the
// arguments last first.
#include <initializer_list>
#include <vector>

#include "platform/com/bstr.h"
#include "runtime/script_object.h"
#include "runtime/script_variant.h"

namespace NUBO::test {

inline HRESULT DispCall(IDispatchEx* object, const char16_t* name, WORD flags, std::initializer_list<XVariant> args,
                        XVariant* result) {
    BSTR text = SysAllocString(name);
    DISPID id = 0;
    HRESULT hr = object->GetDispID(text, flags == DISPATCH_PROPERTYPUT ? fdexNameEnsure : 0, &id);
    SysFreeString(text);
    if (FAILED(hr)) return hr;
    std::vector<XVariant> reversed(args.begin(), args.end());
    std::vector<VARIANT> slots;
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it)
        slots.push_back(*it);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{slots.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr, UINT(slots.size()),
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    XVariant scratch;
    return object->InvokeEx(id, 0, flags, &params, result ? result : &scratch, nullptr, nullptr);
}

inline HRESULT Method(IDispatchEx* object, const char16_t* name, std::initializer_list<XVariant> args = {},
                      XVariant* result = nullptr) {
    return DispCall(object, name, DISPATCH_METHOD, args, result);
}

inline HRESULT Get(IDispatchEx* object, const char16_t* name, XVariant* result) {
    return DispCall(object, name, DISPATCH_PROPERTYGET, {}, result);
}

inline HRESULT Put(IDispatchEx* object, const char16_t* name, const XVariant& value) {
    return DispCall(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

} // namespace NUBO::test
