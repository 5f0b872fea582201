#include "app/script_function.h"

#include "app/timer.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "toolkit/script/script_class.h"

namespace {

const NUBO::XMemberEntry kNoMembers[] = {NUBO::XMemberEnd()};

} // namespace

NUBO::XClassDescriptor SetTimeoutFunction::Descriptor = {"SetTimeoutFunction",       1, kNoMembers,
                                                         &NUBO::XObject::Descriptor, 0, {}};
NUBO::XClassDescriptor XScriptFunction::Descriptor = {
    "XScriptFunction", 1, kNoMembers, &SetTimeoutFunction::Descriptor, 0, {}};

HRESULT XScriptFunction::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                UINT*) {
    if (id != DISPID_VALUE) return S_FALSE;
    if (flags != DISPATCH_METHOD && !(flags & DISPATCH_PROPERTYGET)) return S_FALSE;
    NUBO::XArgList args;
    // rgvarg holds the arguments last first, with `this` in place 0: it is never taken.
    if (params)
        for (int i = int(params->cArgs) - 1; i >= 1; --i)
            args.PushArg(params->rgvarg[i]);
    NUBO::XVariant out; // also the result when the caller gave no slot
    int32_t rc = SetTimeoutBody(&args, &out);
    if (rc == 0 && result) {
        VariantClear(result);
        VariantCopy(result, &out);
    }
    return HRESULT(rc);
}

HRESULT XScriptFunction::GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) {
    if (id != DISPID_VALUE) return XObject::GetMemberProperties(id, fetch, props);
    if (!props) return E_INVALIDARG;
    *props = fdexPropCanCall & fetch;
    return S_OK;
}

int32_t XScriptFunction::SetTimeoutBody(NUBO::XArgList* args, NUBO::XVariant* result) {
    if (args->GetCount() < 3) return NUBO::XR_TOO_FEW_ARGS;
    NUBO::XObject* target = script_class::ArgObject(args, 0);
    NUBO::XArgString method(args->GetArg(1));
    int32_t delay = script_class::ArgInt(args, 2);
    Timer* timer = nullptr;
    int32_t rc = CreateTimer(&timer);
    if (rc == 0) {
        rc = timer->Schedule(target, method.Get(), delay);
        if (rc == 0) *result = static_cast<NUBO::XObject*>(timer);
        timer->Release();
    } else {
        rc = NUBO::XR_OUT_OF_MEMORY;
    }
    if (target) target->Release();
    return rc;
}
