#pragma once
// Script objects seen from native code: one IDispatchEx per script object, the same pointer every
// time the object crosses, which pins the object while native code holds it. Names get ids that
// stay the same for the wrapper's life; a function called with DISPID_VALUE runs with `this` from
// the named DISPID_THIS argument; a script error comes back as DISP_E_EXCEPTION with EXCEPINFO.
#include <duktape.h>

#include <string>
#include <vector>

#include "platform/com/dispatch.h"

namespace script {

class ScriptHeap;

class ScriptDispatch final : public IDispatchEx {
public:
    // The object at idx's wrapper (made when it has none) with a reference.
    static HRESULT Wrap(duk_context* ctx, duk_idx_t idx, IDispatchEx** out);
    // The wrapper behind a COM pointer when it wraps an object of this heap; borrowed.
    static ScriptDispatch* FromUnknown(IUnknown* unknown, ScriptHeap* heap);
    // Pushes the wrapped object.
    void PushObject(duk_context* ctx) const;

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepinfo, UINT* argErr) override;
    HRESULT GetDispID(BSTR name, DWORD grfdex, DISPID* id) override;
    HRESULT InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepinfo,
                     IServiceProvider* caller) override;
    HRESULT DeleteMemberByName(BSTR name, DWORD grfdex) override;
    HRESULT DeleteMemberByDispID(DISPID id) override;
    HRESULT GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) override;
    HRESULT GetMemberName(DISPID id, BSTR* name) override;
    HRESULT GetNextDispID(DWORD grfdex, DISPID id, DISPID* next) override;
    HRESULT GetNameSpaceParent(IUnknown** parent) override;

private:
    struct Call;

    ScriptDispatch(ScriptHeap* heap, int slot, void* object);
    ~ScriptDispatch();

    static duk_ret_t RunCall(duk_context* ctx, void* data);
    HRESULT Run(Call* call, EXCEPINFO* excepinfo);
    HRESULT FindName(const OLECHAR* name, UINT length, bool ensure, DISPID* id);
    const std::u16string* NameOf(DISPID id) const;

    ULONG refs = 1;
    ScriptHeap* heap;
    int slot;
    void* object;                      // pinned in the heap's stash while this wrapper lives
    std::vector<std::u16string> names; // a name's id is its index + 1
};

// Fills an EXCEPINFO (scode: the error's `number` when that is a failure code, else E_FAIL) from
// the script error at idx, with its line and the cookie of the text it came from (0 when not
// known); answers that number, or S_OK when it carries none. Never raises.
HRESULT DescribeScriptError(duk_context* ctx, duk_idx_t idx, EXCEPINFO* info, ULONG* line, DWORD_PTR* cookie = nullptr);

} // namespace script
