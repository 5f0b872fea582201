#include "platform/script/script_dispatch.h"

#include <cmath>
#include <new>

#include "platform/script/script_error.h"
#include "platform/script/script_heap.h"
#include "platform/script/value_convert.h"

namespace script {
namespace {

// Answered only by this engine's wrappers, so that an object crossing back is recognised.
const IID IID_ScriptObject = {0x6B1D3A40, 0x2E81, 0x4C59, {0x9A, 0x31, 0x57, 0x0E, 0x21, 0xC4, 0x8D, 0x12}};

struct PinArgs {
    ScriptDispatch* wrapper;
    void* pins;
    int slot;
};

// A safe call runs in its caller's frame, not a new one: its arguments sit at the top, and index 0
// is the caller's first value (a native method's first argument, when a script called it).
duk_idx_t SafeCallArg(duk_context* ctx, duk_idx_t nargs) {
    return duk_get_top(ctx) - nargs;
}

// [object] -> [object]: pins the object and marks it with its wrapper.
duk_ret_t PinBody(duk_context* ctx, void* data) {
    auto* pin = static_cast<PinArgs*>(data);
    duk_idx_t object = SafeCallArg(ctx, 1);
    duk_push_heapptr(ctx, pin->pins);
    duk_dup(ctx, object);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(pin->slot));
    duk_pop(ctx);
    duk_push_pointer(ctx, pin->wrapper);
    duk_put_prop_literal(ctx, object, kDispatchKey);
    return 0;
}

duk_ret_t UnpinBody(duk_context* ctx, void* data) {
    auto* pin = static_cast<PinArgs*>(data);
    duk_push_heapptr(ctx, pin->pins);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(pin->slot));
    if (duk_is_object(ctx, -1)) duk_del_prop_literal(ctx, -1, kDispatchKey);
    duk_pop(ctx);
    duk_push_undefined(ctx);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(pin->slot));
    return 0;
}

struct ErrorFacts {
    HRESULT hr;
    BSTR description;
    ULONG line;
    DWORD_PTR cookie;
};

// The cookie of a text's file name (see PushSourceName); 0 for any other name.
DWORD_PTR CookieOf(const char* fileName) {
    if (!fileName || !*fileName) return 0;
    DWORD_PTR cookie = 0;
    for (const char* c = fileName; *c; c++) {
        if (*c < '0' || *c > '9' || cookie > (~DWORD_PTR{0} - 9) / 10) return 0;
        cookie = cookie * 10 + DWORD_PTR(*c - '0');
    }
    return cookie;
}

// [error] -> []: what a thrown value says about itself.
duk_ret_t DescribeBody(duk_context* ctx, void* data) {
    auto* facts = static_cast<ErrorFacts*>(data);
    duk_idx_t error = SafeCallArg(ctx, 1);
    if (duk_is_object(ctx, error)) {
        duk_get_prop_literal(ctx, error, "number");
        if (duk_is_number(ctx, -1)) {
            double number = duk_get_number(ctx, -1);
            if (number < 0 && number >= INT32_MIN && std::floor(number) == number)
                facts->hr = static_cast<HRESULT>(number);
            else if (number >= 0x80000000u && number <= 0xFFFFFFFFu)
                facts->hr = static_cast<HRESULT>(static_cast<uint32_t>(number));
        }
        duk_pop(ctx);
        duk_get_prop_literal(ctx, error, "lineNumber");
        if (duk_is_number(ctx, -1)) facts->line = static_cast<ULONG>(duk_get_number(ctx, -1));
        duk_pop(ctx);
        duk_get_prop_literal(ctx, error, "fileName");
        if (duk_is_string(ctx, -1)) facts->cookie = CookieOf(duk_get_string(ctx, -1));
        duk_pop(ctx);
        duk_get_prop_literal(ctx, error, "message");
        if (!duk_is_string(ctx, -1)) {
            duk_pop(ctx);
            duk_dup(ctx, error);
            duk_to_string(ctx, -1);
        }
    } else {
        duk_dup(ctx, error);
        duk_to_string(ctx, -1);
    }
    facts->description = ToBstr(ctx, -1);
    return 0;
}

} // namespace

HRESULT DescribeScriptError(duk_context* ctx, duk_idx_t idx, EXCEPINFO* info, ULONG* line, DWORD_PTR* cookie) {
    ErrorFacts facts{S_OK, nullptr, 0, 0};
    duk_dup(ctx, idx);
    duk_safe_call(ctx, DescribeBody, &facts, 1, 1);
    duk_pop(ctx);
    if (line) *line = facts.line;
    if (cookie) *cookie = facts.cookie;
    if (info) {
        *info = EXCEPINFO{};
        info->bstrSource = SysAllocString(u"JScript");
        info->bstrDescription = facts.description;
        info->scode = facts.hr != S_OK ? facts.hr : E_FAIL;
    } else {
        SysFreeString(facts.description);
    }
    return facts.hr;
}

struct ScriptDispatch::Call {
    enum Kind { kInvoke, kHas, kEnsure, kDelete } kind;
    ScriptDispatch* self;
    DISPID id;
    WORD flags;
    DISPPARAMS* params;
    VARIANT* result;
    const std::u16string* name;
    HRESULT hr;
};

ScriptDispatch::ScriptDispatch(ScriptHeap* owner, int pinSlot, void* pinned)
    : heap(owner), slot(pinSlot), object(pinned) {
    heap->AddRef();
}

ScriptDispatch::~ScriptDispatch() {
    heap->Release();
}

HRESULT ScriptDispatch::Wrap(duk_context* ctx, duk_idx_t idx, IDispatchEx** out) {
    *out = nullptr;
    idx = duk_normalize_index(ctx, idx);
    void* object = duk_get_heapptr(ctx, idx);
    if (!object) return E_INVALIDARG;
    duk_get_prop_literal(ctx, idx, kDispatchKey);
    auto* known = static_cast<ScriptDispatch*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    // The mark may come from a prototype: only the object's own wrapper counts.
    if (known && known->object == object) {
        known->AddRef();
        *out = known;
        return S_OK;
    }
    ScriptHeap* heap = ScriptHeap::From(ctx);
    int slot = heap->TakePinSlot();
    auto* wrapper = new (std::nothrow) ScriptDispatch(heap, slot, object);
    if (!wrapper) {
        heap->FreePinSlot(slot);
        return E_OUTOFMEMORY;
    }
    PinArgs pin{wrapper, heap->pins, slot};
    duk_dup(ctx, idx);
    int rc = duk_safe_call(ctx, PinBody, &pin, 1, 1);
    duk_pop(ctx);
    if (rc != DUK_EXEC_SUCCESS) {
        // A frozen object cannot carry the mark: unpin it and hand out nothing.
        duk_safe_call(ctx, UnpinBody, &pin, 0, 1);
        duk_pop(ctx);
        heap->FreePinSlot(slot);
        delete wrapper;
        return E_FAIL;
    }
    *out = wrapper;
    return S_OK;
}

ScriptDispatch* ScriptDispatch::FromUnknown(IUnknown* unknown, ScriptHeap* heap) {
    ScriptDispatch* wrapper = nullptr;
    if (FAILED(unknown->QueryInterface(IID_ScriptObject, reinterpret_cast<void**>(&wrapper))) || !wrapper)
        return nullptr;
    wrapper->Release(); // the caller's pointer keeps it alive
    return wrapper->heap == heap ? wrapper : nullptr;
}

void ScriptDispatch::PushObject(duk_context* ctx) const {
    duk_push_heapptr(ctx, object);
}

HRESULT ScriptDispatch::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IDispatchEx) ||
        IsEqualIID(riid, IID_ScriptObject)) {
        *out = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptDispatch::Release() {
    ULONG left = --refs;
    if (left != 0) return left;
    if (heap->IsOpen()) {
        PinArgs pin{this, heap->pins, slot};
        duk_safe_call(heap->current, UnpinBody, &pin, 0, 1);
        duk_pop(heap->current);
        try {
            heap->FreePinSlot(slot);
        } catch (const std::bad_alloc&) {
            // The slot is lost; the array only grows a little.
        }
    }
    delete this;
    return 0;
}

duk_ret_t ScriptDispatch::RunCall(duk_context* ctx, void* data) {
    auto* call = static_cast<Call*>(data);
    ScriptDispatch* self = call->self;
    duk_push_heapptr(ctx, self->object);
    duk_idx_t obj = duk_get_top_index(ctx);
    if (call->kind != Call::kInvoke || call->id != DISPID_VALUE) {
        PushWide(ctx, call->name->data(), call->name->size());
    }
    switch (call->kind) {
    case Call::kHas:
        call->hr = duk_has_prop(ctx, obj) ? S_OK : DISP_E_UNKNOWNNAME;
        return 0;
    case Call::kEnsure:
        duk_dup(ctx, -1);
        if (!duk_has_prop(ctx, obj)) {
            duk_push_undefined(ctx);
            duk_put_prop(ctx, obj);
        }
        call->hr = S_OK;
        return 0;
    case Call::kDelete:
        call->hr = duk_del_prop(ctx, obj) ? S_OK : S_FALSE;
        return 0;
    case Call::kInvoke:
        break;
    }

    DISPPARAMS* params = call->params;
    UINT argc = params ? params->cArgs : 0;
    UINT named = params ? params->cNamedArgs : 0;
    if (named > argc || (argc && !params->rgvarg) || (named && !params->rgdispidNamedArgs)) {
        call->hr = E_INVALIDARG;
        return 0;
    }
    const VARIANT* self_ = nullptr;
    const VARIANT* putValue = nullptr;
    for (UINT i = 0; i < named; i++) {
        if (params->rgdispidNamedArgs[i] == DISPID_THIS) self_ = &params->rgvarg[i];
        if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) putValue = &params->rgvarg[i];
    }
    WORD flags = call->flags;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (call->id == DISPID_VALUE || (!putValue && argc == 0)) {
            call->hr = call->id == DISPID_VALUE ? DISP_E_MEMBERNOTFOUND : DISP_E_PARAMNOTFOUND;
            return 0;
        }
        PushVariant(ctx, putValue ? putValue : &params->rgvarg[0]);
        duk_put_prop(ctx, obj);
        call->hr = S_OK;
        return 0;
    }

    // The callee and its `this`.
    if (call->id == DISPID_VALUE) {
        if (!(flags & (DISPATCH_METHOD | DISPATCH_CONSTRUCT)) || !duk_is_callable(ctx, obj)) {
            if (flags & DISPATCH_PROPERTYGET) {
                duk_dup(ctx, obj);
                duk_to_primitive(ctx, -1, DUK_HINT_NONE);
                if (call->result) ToVariant(ctx, -1, call->result);
                call->hr = S_OK;
            } else {
                call->hr = DISP_E_MEMBERNOTFOUND; // a plain object is not a function
            }
            return 0;
        }
        duk_dup(ctx, obj);
        if (self_)
            PushVariant(ctx, self_);
        else
            duk_push_undefined(ctx);
    } else {
        duk_get_prop(ctx, obj);
        if (!(flags & (DISPATCH_METHOD | DISPATCH_CONSTRUCT)) || !duk_is_callable(ctx, -1)) {
            if (flags & DISPATCH_PROPERTYGET) {
                if (call->result) ToVariant(ctx, -1, call->result);
                call->hr = S_OK;
            } else {
                call->hr = DISP_E_MEMBERNOTFOUND;
            }
            return 0;
        }
        duk_dup(ctx, obj);
    }
    UINT positional = argc - named;
    for (UINT i = 0; i < positional; i++)
        PushVariant(ctx, &params->rgvarg[argc - 1 - i]);
    if (flags & DISPATCH_CONSTRUCT) {
        duk_remove(ctx, -static_cast<duk_idx_t>(positional) - 1); // constructors take no `this`
        duk_new(ctx, static_cast<duk_idx_t>(positional));
    } else {
        duk_call_method(ctx, static_cast<duk_idx_t>(positional));
    }
    if (call->result) ToVariant(ctx, -1, call->result);
    call->hr = S_OK;
    return 0;
}

HRESULT ScriptDispatch::Run(Call* call, EXCEPINFO* excepinfo) {
    if (!heap->IsOpen()) return E_UNEXPECTED;
    duk_context* ctx = heap->current;
    call->self = this;
    call->hr = E_FAIL;
    AddRef(); // the script may drop the last native reference while it runs
    ScriptHeap* running = heap;
    running->Enter();
    int rc = duk_safe_call(ctx, RunCall, call, 0, 1);
    HRESULT hr = call->hr;
    if (rc != DUK_EXEC_SUCCESS) {
        if (call->kind == Call::kInvoke) {
            // Native code that calls a script (a timer, an event handler, a listener) has no script
            // of its own to catch what it throws, and mostly goes on regardless: the site hears of
            // the error here, as of one that escapes a text.
            ReportScriptError(heap->site, ctx, -1, nullptr, excepinfo);
            hr = DISP_E_EXCEPTION;
        } else {
            hr = call->kind == Call::kDelete ? S_FALSE : E_FAIL;
        }
    }
    duk_pop(ctx);
    running->Leave();
    Release();
    return hr;
}

const std::u16string* ScriptDispatch::NameOf(DISPID id) const {
    if (id < 1 || static_cast<size_t>(id) > names.size()) return nullptr;
    return &names[static_cast<size_t>(id) - 1];
}

HRESULT ScriptDispatch::FindName(const OLECHAR* name, UINT length, bool ensure, DISPID* id) {
    *id = DISPID_UNKNOWN;
    if (!name) return E_INVALIDARG;
    try {
        std::u16string key(name, length);
        DISPID known = 0;
        for (size_t i = 0; i < names.size(); i++) {
            if (names[i] == key) {
                known = static_cast<DISPID>(i + 1);
                break;
            }
        }
        const std::u16string* keyRef = known ? NameOf(known) : &key;
        Call call{ensure ? Call::kEnsure : Call::kHas, this, 0, 0, nullptr, nullptr, keyRef, S_OK};
        HRESULT hr = Run(&call, nullptr);
        if (FAILED(hr)) return hr;
        if (!known) {
            names.push_back(std::move(key));
            known = static_cast<DISPID>(names.size());
        }
        *id = known;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScriptDispatch::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT ScriptDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT ScriptDispatch::GetIDsOfNames(REFIID, LPOLESTR* names_, UINT count, LCID, DISPID* ids) {
    if (!names_ || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 1; i < count; i++)
        ids[i] = DISPID_UNKNOWN; // scripts take no named arguments
    const OLECHAR* name = names_[0];
    UINT length = 0;
    while (name && name[length])
        length++;
    HRESULT hr = FindName(name, length, false, &ids[0]);
    if (FAILED(hr)) return hr;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ScriptDispatch::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excepinfo, UINT*) {
    return InvokeEx(id, lcid, flags, params, result, excepinfo, nullptr);
}

HRESULT ScriptDispatch::GetDispID(BSTR name, DWORD grfdex, DISPID* id) {
    if (!id) return E_INVALIDARG;
    return FindName(name, SysStringLen(name), (grfdex & fdexNameEnsure) != 0, id);
}

HRESULT ScriptDispatch::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepinfo,
                                 IServiceProvider*) {
    const std::u16string* name = nullptr;
    if (id != DISPID_VALUE) {
        name = NameOf(id);
        if (!name) return DISP_E_MEMBERNOTFOUND;
    }
    if (result) VariantInit(result);
    Call call{Call::kInvoke, this, id, flags, params, result, name, S_OK};
    return Run(&call, excepinfo);
}

HRESULT ScriptDispatch::DeleteMemberByName(BSTR name, DWORD) {
    if (!name) return E_INVALIDARG;
    try {
        std::u16string key(name, SysStringLen(name));
        Call call{Call::kDelete, this, 0, 0, nullptr, nullptr, &key, S_OK};
        return Run(&call, nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ScriptDispatch::DeleteMemberByDispID(DISPID id) {
    const std::u16string* name = NameOf(id);
    if (!name) return DISP_E_MEMBERNOTFOUND;
    Call call{Call::kDelete, this, 0, 0, nullptr, nullptr, name, S_OK};
    return Run(&call, nullptr);
}

// Only the object's own callability is told: a function from another engine stays callable there.
HRESULT ScriptDispatch::GetMemberProperties(DISPID id, DWORD fetch, DWORD* props) {
    if (!props) return E_INVALIDARG;
    *props = 0;
    if (id != DISPID_VALUE) return E_NOTIMPL;
    if (!heap->IsOpen() || !duk_check_stack(heap->current, 1)) return E_UNEXPECTED;
    duk_push_heapptr(heap->current, object);
    bool callable = duk_is_callable(heap->current, -1);
    duk_pop(heap->current);
    *props = (callable ? fdexPropCanCall | fdexPropCanConstruct : fdexPropCannotCall | fdexPropCannotConstruct) & fetch;
    return S_OK;
}

HRESULT ScriptDispatch::GetMemberName(DISPID id, BSTR* name) {
    if (!name) return E_INVALIDARG;
    *name = nullptr;
    const std::u16string* known = NameOf(id);
    if (!known) return DISP_E_MEMBERNOTFOUND;
    *name = SysAllocStringLen(known->data(), static_cast<UINT>(known->size()));
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT ScriptDispatch::GetNextDispID(DWORD, DISPID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT ScriptDispatch::GetNameSpaceParent(IUnknown** parent) {
    if (parent) *parent = nullptr;
    return E_NOTIMPL;
}

} // namespace script
