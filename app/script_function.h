#pragma once
// setTimeoutObject: a host object scripts call as a function, setTimeoutObject(target, method,
// delay), which schedules the call on a new Timer and answers the Timer.
#include <cstdint>

#include "runtime/script_object.h"
#include "runtime/wide_string.h"

// The class of callable host objects; no members of its own.
class SetTimeoutFunction : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "SetTimeoutFunction"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};

class XScriptFunction : public SetTimeoutFunction {
public:
    static NUBO::XClassDescriptor Descriptor; // "XScriptFunction"

    explicit XScriptFunction(const WCHAR* name) : name_(name) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // A call of the object itself (DISPID_VALUE) as a method or a get: the arguments after `this`
    // go to the body; its result code is the call's status, so scripts never see an error.
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepinfo, UINT* argErr) override;
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override;

    // setTimeoutObject(target, method, delay): 12 with fewer than 3 arguments, 18 when no Timer
    // could be made; the Timer in `result` otherwise.
    static int32_t SetTimeoutBody(NUBO::XArgList* args, NUBO::XVariant* result);

private:
    NUBO::TWString name_;
};
