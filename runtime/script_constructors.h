#pragma once
// Constructor objects: host objects registered under a name (xArray, xDictionary, liveArray) that
// create a fresh native object when a script applies `new` to them, and do nothing otherwise.
#include <cstdint>

#include "runtime/script_object.h"

namespace NUBO {

using XCreateInstanceFn = int32_t (*)(XObject** out);

class XScriptObjectConstructor : public XObject {
public:
    explicit XScriptObjectConstructor(XCreateInstanceFn create) : createInstance(create) {}

    // Only DISPATCH_CONSTRUCT creates (a failure gives a null object); any other call answers
    // S_FALSE and leaves the result alone.
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepinfo, UINT* argErr) override;
    // The object itself can be called and constructed, so scripts may apply `new` to it.
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override;

protected:
    ~XScriptObjectConstructor() override = default;

private:
    XCreateInstanceFn createInstance;
};

// A constructor object with one reference; 10 for a null out pointer or create function, 18 when
// it cannot be made.
int32_t CreateScriptObjectConstructor(XCreateInstanceFn create, XObject** out);

// The constructors of the runtime's own collections.
int32_t CreateXArrayConstructor(XObject** out);
int32_t CreateXDictionaryConstructor(XObject** out);
int32_t CreateLiveArrayConstructor(XObject** out);

} // namespace NUBO
