#include "platform/script/host_object_proxy.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/error_info.h"
#include "platform/script/script_heap.h"
#include "platform/script/value_convert.h"

// Every trap follows one shape: read the arguments with calls that never raise, make the COM call
// with plain VARIANT locals, clear them, push the result, and only then raise an error. Nothing in
// these frames has a destructor that an error's longjmp could skip.

const IID IID_IFixedMemberNames = {0x5C1F0E72, 0x3B9D, 0x4E61, {0x9A, 0x2F, 0x41, 0xD8, 0x07, 0xB3, 0x6C, 0x15}};

namespace {
HostMemberKindQuery g_kindQuery = nullptr;
} // namespace

void SetHostMemberKindQuery(HostMemberKindQuery query) {
    g_kindQuery = query;
}

namespace script {
namespace {

constexpr char kTargetKey[] = SCRIPT_HIDDEN("t");
constexpr char kIdKey[] = SCRIPT_HIDDEN("id");
constexpr int kInlineArgs = 8;
constexpr int kInlineNameUnits = 127;

// A member name as a BSTR: short names are laid out in place, with their length before them.
struct NameArg {
    uint32_t raw[1 + (kInlineNameUnits + 1) / 2];
    BSTR heap;
    BSTR text;
};

bool MakeName(duk_context* ctx, duk_idx_t idx, NameArg* name) {
    name->heap = nullptr;
    auto* inlineText = reinterpret_cast<OLECHAR*>(name->raw + 1);
    int units = ReadWide(ctx, idx, inlineText, kInlineNameUnits);
    if (units >= 0) {
        inlineText[units] = 0;
        name->raw[0] = static_cast<uint32_t>(units * sizeof(OLECHAR));
        name->text = inlineText;
        return true;
    }
    name->heap = ToBstr(ctx, idx);
    name->text = name->heap;
    return name->heap != nullptr;
}

// Call arguments, last first, after `front` slots kept for named arguments.
struct ArgBlock {
    VARIANT inlineArgs[kInlineArgs];
    VARIANT* v;
    UINT count;
};

bool MakeArgs(duk_context* ctx, duk_idx_t first, UINT n, UINT front, ArgBlock* args) {
    args->count = n + front;
    args->v = args->count <= kInlineArgs ? args->inlineArgs
                                         : static_cast<VARIANT*>(std::malloc(sizeof(VARIANT) * args->count));
    if (!args->v) return false;
    for (UINT i = 0; i < args->count; i++)
        VariantInit(&args->v[i]);
    for (UINT i = 0; i < n; i++)
        ToVariant(ctx, first + static_cast<duk_idx_t>(i), &args->v[args->count - 1 - i]);
    return true;
}

void ClearArgs(ArgBlock* args) {
    if (!args->v) return;
    for (UINT i = 0; i < args->count; i++) {
        VARTYPE vt = args->v[i].vt;
        if (vt != VT_EMPTY && vt != VT_NULL && vt != VT_I4 && vt != VT_R8 && vt != VT_BOOL) // they own nothing
            VariantClear(&args->v[i]);
    }
    if (args->v != args->inlineArgs) std::free(args->v);
    args->v = nullptr;
}

// Native code that throws gets a failure instead: a C++ exception must not unwind Duktape's frames.
HRESULT ExceptionResult() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HostRecord* RecordOfTarget(duk_context* ctx, duk_idx_t target) {
    duk_get_prop_literal(ctx, target, kHostKey);
    auto* record = static_cast<HostRecord*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return record;
}

HRESULT LookUp(HostRecord* host, BSTR name, DWORD grfdex, DISPID* id) {
    *id = DISPID_UNKNOWN;
    try {
        if (host->dispatchEx) return host->dispatchEx->GetDispID(name, grfdex, id);
        return host->dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, id);
    } catch (...) {
        return ExceptionResult();
    }
}

HRESULT Delete(HostRecord* host, BSTR name) {
    try {
        return host->dispatchEx->DeleteMemberByName(name, fdexNameCaseSensitive);
    } catch (...) {
        return ExceptionResult();
    }
}

// The description that a failing object left as the thread's error object, or null.
BSTR TakeErrorDescription() {
    IErrorInfo* error = nullptr;
    BSTR text = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        if (FAILED(error->GetDescription(&text))) text = nullptr;
        error->Release();
    }
    return text;
}

// The call; an exception's own code replaces DISP_E_EXCEPTION and its description is handed back.
// A failure without an exception describes itself through the thread's error object, if at all.
HRESULT CallHost(HostRecord* host, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, BSTR* description) {
    EXCEPINFO info{};
    HRESULT hr;
    SetErrorInfo(0, nullptr); // what an earlier call left must not describe this one
    try {
        hr = host->dispatchEx
                 ? host->dispatchEx->InvokeEx(id, LOCALE_USER_DEFAULT, flags, params, result, &info, nullptr)
                 : host->dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, &info, nullptr);
    } catch (...) {
        hr = ExceptionResult();
    }
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        if (info.scode)
            hr = info.scode;
        else if (info.wCode)
            hr = static_cast<HRESULT>(0x80040000u + info.wCode);
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    if (FAILED(hr) && !(info.bstrDescription && SysStringLen(info.bstrDescription) > 0)) {
        SysFreeString(info.bstrDescription);
        info.bstrDescription = TakeErrorDescription();
    }
    *description = info.bstrDescription;
    return hr;
}

// A property read that fails this way means the member is a method.
bool MeansMethod(HRESULT hr) {
    return hr == DISP_E_MEMBERNOTFOUND || hr == static_cast<HRESULT>(0x81000002) || hr == E_NOTIMPL ||
           hr == DISP_E_BADPARAMCOUNT;
}

// Pushes the result of a finished call, or raises its failure.
duk_ret_t Finish(duk_context* ctx, HRESULT hr, VARIANT* result, BSTR description) {
    if (FAILED(hr)) {
        VariantClear(result);
        return RaiseHResult(ctx, hr, description);
    }
    SysFreeString(description);
    PushVariant(ctx, result);
    VariantClear(result);
    return 1;
}

// Members with small ids keep them in the stub's magic; others in a property.
constexpr DISPID kNoMagicId = -0x8000;

// The member id a stub calls.
DISPID StubId(duk_context* ctx, duk_idx_t stub) {
    DISPID id = duk_get_magic(ctx, stub);
    if (id != kNoMagicId) return id;
    duk_get_prop_literal(ctx, stub, kIdKey);
    id = duk_get_int(ctx, -1);
    duk_pop(ctx);
    return id;
}

// Pushes a C function whose magic (or hidden property) carries the member id.
void PushWithId(duk_context* ctx, duk_c_function function, duk_idx_t nargs, DISPID id) {
    duk_push_c_function(ctx, function, nargs);
    if (id > kNoMagicId && id <= 0x7FFF) {
        duk_set_magic(ctx, -1, id);
    } else {
        duk_set_magic(ctx, -1, kNoMagicId);
        duk_push_int(ctx, id);
        duk_put_prop_literal(ctx, -2, kIdKey);
    }
}

duk_ret_t MethodStub(duk_context* ctx) {
    duk_idx_t argc = duk_get_top(ctx);
    duk_push_current_function(ctx);
    ScriptHeap* heap = ScriptHeap::From(ctx);
    const ScriptHeap::StubEntry& last = heap->stubCache[heap->lastStub];
    HostRecord* host;
    DISPID id;
    if (last.stub && last.stub == duk_get_heapptr(ctx, -1)) {
        host = last.host;
        id = last.id;
    } else {
        duk_get_prop_literal(ctx, -1, kHostKey); // the target holds the record alive
        host = static_cast<HostRecord*>(duk_get_pointer(ctx, -1));
        id = StubId(ctx, -2);
    }
    duk_set_top(ctx, argc);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);

    ArgBlock args;
    if (!MakeArgs(ctx, 0, static_cast<UINT>(argc), 0, &args)) return RaiseHResult(ctx, E_OUTOFMEMORY, nullptr);
    DISPPARAMS params{args.v, nullptr, args.count, 0};
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    HRESULT hr = CallHost(host, id, DISPATCH_METHOD, &params, &result, &description);
    ClearArgs(&args);
    return Finish(ctx, hr, &result, description);
}

// Notes the stub at idx, the cached stub of the member named at key, as the one last handed out.
void RememberStub(duk_context* ctx, duk_idx_t target, duk_idx_t key, duk_idx_t stub) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    void* targetPtr = duk_get_heapptr(ctx, target);
    void* keyPtr = duk_get_heapptr(ctx, key);
    int slot = ScriptHeap::StubSlot(targetPtr, keyPtr);
    duk_get_prop_literal(ctx, stub, kHostKey);
    auto* host = static_cast<HostRecord*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    heap->stubCache[slot] = {targetPtr, keyPtr, duk_get_heapptr(ctx, stub), host, StubId(ctx, stub)};
    heap->lastStub = slot;
    if (host) host->cached = true;
}

// Notes a declared property of the target: the key stays alive in the target's table.
void RememberProperty(duk_context* ctx, duk_idx_t target, duk_idx_t key, HostRecord* host, DISPID id) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    void* targetPtr = duk_get_heapptr(ctx, target);
    void* keyPtr = duk_get_heapptr(ctx, key);
    heap->stubCache[ScriptHeap::StubSlot(targetPtr, keyPtr)] = {targetPtr, keyPtr, nullptr, host, id};
    host->cached = true;
}

// Pushes the target's table of members met before (stubs of methods, ids of declared properties),
// made on first use. It holds their names alive while the cache refers to them.
void TableOf(duk_context* ctx, duk_idx_t target) {
    target = duk_normalize_index(ctx, target);
    if (!duk_get_prop_literal(ctx, target, kStubsKey)) {
        duk_pop(ctx);
        duk_push_bare_object(ctx);
        duk_dup(ctx, -1);
        duk_put_prop_literal(ctx, target, kStubsKey);
    }
}

// Leaves the method stub of the member named at key on the stack, cached on the target so that a
// call costs one COM call.
void PushStub(duk_context* ctx, duk_idx_t target, duk_idx_t key, DISPID id) {
    PushWithId(ctx, MethodStub, DUK_VARARGS, id);
    duk_dup(ctx, target);
    duk_put_prop_literal(ctx, -2, kTargetKey);
    duk_push_pointer(ctx, RecordOfTarget(ctx, target));
    duk_put_prop_literal(ctx, -2, kHostKey);
    TableOf(ctx, target);
    duk_dup(ctx, key);
    duk_dup(ctx, -3);
    duk_put_prop(ctx, -3);
    duk_pop(ctx);
    RememberStub(ctx, target, key, -1);
}

void DropStub(duk_context* ctx, duk_idx_t target, duk_idx_t key) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    void* targetPtr = duk_get_heapptr(ctx, target);
    void* keyPtr = duk_get_heapptr(ctx, key);
    ScriptHeap::StubEntry& entry = heap->stubCache[ScriptHeap::StubSlot(targetPtr, keyPtr)];
    if (entry.target == targetPtr && entry.key == keyPtr) entry = ScriptHeap::StubEntry{};
    if (duk_get_prop_literal(ctx, target, kStubsKey)) {
        duk_dup(ctx, key);
        duk_del_prop(ctx, -2);
    }
    duk_pop(ctx);
}

// What a host object without toString or valueOf answers when scripts need its primitive value:
// its value property, as JScript reads it.
duk_ret_t HostToPrimitive(duk_context* ctx) {
    duk_push_this(ctx);
    HostRecord* host = HostRecordOf(ctx, -1);
    duk_pop(ctx);
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = host ? CallHost(host, DISPID_VALUE, DISPATCH_PROPERTYGET, &none, &result, &description) : E_FAIL;
    SysFreeString(description);
    if (FAILED(hr) || result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) {
        VariantClear(&result);
        duk_push_string(ctx, "[object]");
        return 1;
    }
    PushVariant(ctx, &result);
    VariantClear(&result);
    return 1;
}

// Symbols never name host members; numbers do, as text.
bool KeyIsName(duk_context* ctx, duk_idx_t key) {
    if (duk_is_symbol(ctx, key)) return false;
    if (!duk_is_string(ctx, key)) duk_to_string(ctx, key);
    return true;
}

// Reads a declared property whose id is known.
duk_ret_t ReadProperty(duk_context* ctx, HostRecord* host, DISPID id) {
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = CallHost(host, id, DISPATCH_PROPERTYGET, &none, &result, &description);
    return Finish(ctx, hr, &result, description);
}

// Writes the value at idx to a property whose id is known.
HRESULT WriteProperty(duk_context* ctx, HostRecord* host, DISPID id, duk_idx_t idx, BSTR* description) {
    VARIANT value;
    ToVariant(ctx, idx, &value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = CallHost(host, id, DISPATCH_PROPERTYPUT, &params, &result, description);
    VariantClear(&value);
    VariantClear(&result);
    return hr;
}

duk_ret_t TrapGet(duk_context* ctx) {
    if (!KeyIsName(ctx, 1)) return 0;
    {
        ScriptHeap* heap = ScriptHeap::From(ctx);
        void* targetPtr = duk_get_heapptr(ctx, 0);
        void* keyPtr = duk_get_heapptr(ctx, 1);
        int slot = ScriptHeap::StubSlot(targetPtr, keyPtr);
        const ScriptHeap::StubEntry& entry = heap->stubCache[slot];
        if (entry.target == targetPtr && entry.key == keyPtr) {
            if (entry.stub) {
                heap->lastStub = slot;
                duk_push_heapptr(ctx, entry.stub);
                return 1;
            }
            return ReadProperty(ctx, entry.host, entry.id);
        }
    }
    HostRecord* host = RecordOfTarget(ctx, 0);
    if (duk_get_prop_literal(ctx, 0, kStubsKey)) {
        duk_dup(ctx, 1);
        duk_get_prop(ctx, -2);
        if (duk_is_function(ctx, -1)) {
            RememberStub(ctx, 0, 1, -1);
            return 1;
        }
        if (duk_is_number(ctx, -1)) { // a declared property read before
            if (!host) return 0;
            DISPID id = duk_get_int(ctx, -1);
            RememberProperty(ctx, 0, 1, host, id);
            return ReadProperty(ctx, host, id);
        }
    }
    duk_set_top(ctx, 3);
    if (!host) return 0;

    NameArg name;
    if (!MakeName(ctx, 1, &name)) return 0;
    DISPID id;
    HRESULT hr = LookUp(host, name.text, fdexNameCaseSensitive, &id);
    SysFreeString(name.heap);
    if (FAILED(hr)) {
        const char* key = duk_get_string(ctx, 1);
        if (std::strcmp(key, "toString") == 0 || std::strcmp(key, "valueOf") == 0) {
            duk_push_c_function(ctx, HostToPrimitive, 0);
            return 1;
        }
        return 0; // unknown names read undefined
    }
    int kind = g_kindQuery ? g_kindQuery(host->identity, id) : kHostMemberUnknown;
    if (kind == kHostMemberMethod) {
        PushStub(ctx, 0, 1, id);
        return 1;
    }
    if (kind == kHostMemberDeclaredProperty) {
        // Its id holds for the object's life: later reads go straight to the call.
        TableOf(ctx, 0);
        duk_dup(ctx, 1);
        duk_push_int(ctx, id);
        duk_put_prop(ctx, -3);
        duk_set_top(ctx, 3);
        RememberProperty(ctx, 0, 1, host, id);
        return ReadProperty(ctx, host, id);
    }
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = CallHost(host, id, DISPATCH_PROPERTYGET, &none, &result, &description);
    if (FAILED(hr) && kind == kHostMemberUnknown && MeansMethod(hr)) {
        SysFreeString(description);
        VariantClear(&result);
        PushStub(ctx, 0, 1, id);
        return 1;
    }
    return Finish(ctx, hr, &result, description);
}

duk_ret_t TrapSet(duk_context* ctx) {
    HostRecord* host = RecordOfTarget(ctx, 0);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    if (!KeyIsName(ctx, 1)) {
        duk_push_false(ctx);
        return 1;
    }
    DropStub(ctx, 0, 1);
    NameArg name;
    if (!MakeName(ctx, 1, &name)) return RaiseHResult(ctx, E_OUTOFMEMORY, nullptr);
    DISPID id;
    HRESULT hr = LookUp(host, name.text, fdexNameEnsure | fdexNameCaseSensitive, &id);
    SysFreeString(name.heap);
    if (FAILED(hr)) return RaiseHResult(ctx, hr, nullptr);

    BSTR description = nullptr;
    hr = WriteProperty(ctx, host, id, 2, &description);
    if (FAILED(hr)) return RaiseHResult(ctx, hr, description);
    SysFreeString(description);
    duk_push_true(ctx);
    return 1;
}

duk_ret_t TrapHas(duk_context* ctx) {
    HostRecord* host = RecordOfTarget(ctx, 0);
    NameArg name;
    if (!host || !KeyIsName(ctx, 1) || !MakeName(ctx, 1, &name)) {
        duk_push_false(ctx);
        return 1;
    }
    DISPID id;
    HRESULT hr = LookUp(host, name.text, fdexNameCaseSensitive, &id);
    SysFreeString(name.heap);
    duk_push_boolean(ctx, SUCCEEDED(hr));
    return 1;
}

duk_ret_t TrapDelete(duk_context* ctx) {
    HostRecord* host = RecordOfTarget(ctx, 0);
    NameArg name;
    if (!host || !host->dispatchEx || !KeyIsName(ctx, 1) || !MakeName(ctx, 1, &name)) {
        duk_push_false(ctx);
        return 1;
    }
    DropStub(ctx, 0, 1);
    HRESULT hr = Delete(host, name.text);
    SysFreeString(name.heap);
    if (FAILED(hr)) return RaiseHResult(ctx, hr, nullptr);
    duk_push_true(ctx);
    return 1;
}

// Pushes the elements of the array at idx; their count.
UINT SpreadArray(duk_context* ctx, duk_idx_t idx) {
    auto n = static_cast<UINT>(duk_get_length(ctx, idx));
    for (UINT i = 0; i < n; i++)
        duk_get_prop_index(ctx, idx, i);
    return n;
}

// Calling the object itself: its value member, with `this` as the named first argument.
duk_ret_t TrapApply(duk_context* ctx) {
    HostRecord* host = RecordOfTarget(ctx, 0);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    if (duk_is_null_or_undefined(ctx, 1)) {
        duk_push_global_object(ctx);
        duk_replace(ctx, 1);
    }
    duk_set_top(ctx, 3);
    UINT n = SpreadArray(ctx, 2);
    ArgBlock args;
    if (!MakeArgs(ctx, 3, n, 1, &args)) return RaiseHResult(ctx, E_OUTOFMEMORY, nullptr);
    ToVariant(ctx, 1, &args.v[0]);
    DISPID named = DISPID_THIS;
    DISPPARAMS params{args.v, &named, args.count, 1};
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    HRESULT hr = CallHost(host, DISPID_VALUE, DISPATCH_METHOD, &params, &result, &description);
    ClearArgs(&args);
    return Finish(ctx, hr, &result, description);
}

duk_ret_t TrapConstruct(duk_context* ctx) {
    HostRecord* host = RecordOfTarget(ctx, 0);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    duk_set_top(ctx, 3);
    UINT n = SpreadArray(ctx, 1);
    ArgBlock args;
    if (!MakeArgs(ctx, 3, n, 0, &args)) return RaiseHResult(ctx, E_OUTOFMEMORY, nullptr);
    DISPPARAMS params{args.v, nullptr, args.count, 0};
    VARIANT result;
    VariantInit(&result);
    BSTR description = nullptr;
    HRESULT hr = CallHost(host, DISPID_VALUE, DISPATCH_CONSTRUCT, &params, &result, &description);
    ClearArgs(&args);
    if (SUCCEEDED(hr) && !((result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) && result.punkVal)) {
        VariantClear(&result);
        hr = E_FAIL; // `new` must give an object
    }
    Finish(ctx, hr, &result, description);
    return 1;
}

// The target itself is never called: the apply and construct traps answer first.
duk_ret_t TargetCall(duk_context*) {
    return 0;
}

// Whether the object says it can be called or constructed. A proxy's `typeof` and callability are
// its target's, so only such objects get a function target; the others are plain objects, as
// scripts testing `typeof x == "object"` expect. Calling or constructing one of those fails with the
// engine's TypeError before any COM call, where an Error carrying the object's HRESULT would come.
bool HostIsCallable(HostRecord* host) {
    if (!host->dispatchEx) return false;
    constexpr DWORD kCallable = fdexPropCanCall | fdexPropCanConstruct;
    DWORD props = 0;
    HRESULT hr;
    try {
        hr = host->dispatchEx->GetMemberProperties(DISPID_VALUE, kCallable, &props);
    } catch (...) {
        hr = ExceptionResult();
    }
    return SUCCEEDED(hr) && (props & kCallable) != 0;
}

duk_ret_t FinalizeTarget(duk_context* ctx) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    // Close has freed the records and emptied the caches before the heap's last finalizers run.
    if (!heap->IsOpen()) return 0;
    void* target = duk_get_heapptr(ctx, 0);
    // A fixed-member object is its own target; an object made on top of one inherits this
    // finalizer but no record.
    HostRecord* host = heap->hostsByObject.Find(target);
    if (host && host->target != target) return 0;
    if (!host) {
        host = RecordOfTarget(ctx, 0);
        if (!host || host->cached) heap->ForgetStubsOf(target);
        if (!host) return 0;
        duk_del_prop_literal(ctx, 0, kHostKey);
    }
    heap->FreeHost(host);
    return 0;
}

// -- objects of classes with fixed members -------------------------------------------------------

// The member id of the running accessor or stub.
DISPID CurrentId(duk_context* ctx) {
    DISPID id = duk_get_current_magic(ctx);
    if (id != kNoMagicId) return id;
    duk_push_current_function(ctx);
    id = StubId(ctx, -1);
    duk_pop(ctx);
    return id;
}

// The record of the object at idx, a fixed-member object or one made on top of it; null for any
// other (a proxy's members are not a fixed class's).
HostRecord* FixedRecordOf(duk_context* ctx, duk_idx_t idx) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    if (!duk_is_object(ctx, idx)) return nullptr;
    HostRecord* host = heap->hostsByObject.Find(duk_get_heapptr(ctx, idx));
    if (!host) {
        duk_get_prototype(ctx, idx);
        while (!host && duk_is_object(ctx, -1)) {
            host = heap->hostsByObject.Find(duk_get_heapptr(ctx, -1));
            duk_get_prototype(ctx, -1);
            duk_remove(ctx, -2);
        }
        duk_pop(ctx);
    }
    return host && host->proxy == host->target ? host : nullptr;
}

HostRecord* ThisRecord(duk_context* ctx) {
    duk_push_this(ctx);
    HostRecord* host = FixedRecordOf(ctx, -1);
    duk_pop(ctx);
    return host;
}

duk_ret_t FixedGet(duk_context* ctx) {
    HostRecord* host = ThisRecord(ctx);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    return ReadProperty(ctx, host, CurrentId(ctx));
}

duk_ret_t FixedSet(duk_context* ctx) {
    HostRecord* host = ThisRecord(ctx);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    BSTR description = nullptr;
    HRESULT hr = WriteProperty(ctx, host, CurrentId(ctx), 0, &description);
    if (FAILED(hr)) return RaiseHResult(ctx, hr, description);
    SysFreeString(description);
    return 0;
}

// A method read gives the object's own stub of it, made on first read, as a proxy's does.
duk_ret_t FixedMethodGet(duk_context* ctx) {
    duk_push_this(ctx);
    HostRecord* host = FixedRecordOf(ctx, 0);
    if (!host) return RaiseHResult(ctx, E_UNEXPECTED, nullptr);
    DISPID id = CurrentId(ctx);
    TableOf(ctx, 0);
    duk_push_int(ctx, id);
    if (duk_get_prop(ctx, 1)) return 1;
    duk_pop(ctx);
    PushWithId(ctx, MethodStub, DUK_VARARGS, id);
    duk_dup(ctx, 0);
    duk_put_prop_literal(ctx, -2, kTargetKey);
    duk_push_pointer(ctx, host);
    duk_put_prop_literal(ctx, -2, kHostKey);
    duk_push_int(ctx, id);
    duk_dup(ctx, -2);
    duk_put_prop(ctx, 1);
    return 1;
}

// Pushes the prototype of a class with fixed members, made on first use: an accessor per member,
// the finalizer its objects inherit, and no Object.prototype, as unknown names read undefined.
void PushFixedPrototype(duk_context* ctx, const FixedMember* members, UINT count) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    if (members == heap->lastFixedClass) {
        duk_push_heapptr(ctx, heap->lastFixedPrototype);
        return;
    }
    auto found = heap->fixedClasses.find(members);
    if (found != heap->fixedClasses.end()) {
        heap->lastFixedClass = members;
        heap->lastFixedPrototype = found->second;
        duk_push_heapptr(ctx, found->second);
        return;
    }
    duk_push_bare_object(ctx);
    duk_idx_t proto = duk_get_top_index(ctx);
    bool hasToString = false, hasValueOf = false;
    for (UINT i = 0; i < count; i++) {
        const FixedMember& member = members[i];
        size_t length = 0;
        while (member.name[length])
            length++;
        PushWide(ctx, member.name, length);
        hasToString = hasToString || std::strcmp(duk_get_string(ctx, -1), "toString") == 0;
        hasValueOf = hasValueOf || std::strcmp(duk_get_string(ctx, -1), "valueOf") == 0;
        PushWithId(ctx, member.method ? FixedMethodGet : FixedGet, 0, member.id);
        PushWithId(ctx, FixedSet, 1, member.id);
        duk_def_prop(ctx, proto,
                     DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_CLEAR_ENUMERABLE |
                         DUK_DEFPROP_CLEAR_CONFIGURABLE);
    }
    for (const char* name : {"toString", "valueOf"}) {
        if (name[0] == 't' ? hasToString : hasValueOf) continue;
        duk_push_string(ctx, name);
        duk_push_c_function(ctx, HostToPrimitive, 0);
        duk_def_prop(ctx, proto, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_WEC);
    }
    duk_push_heapptr(ctx, heap->finalizer);
    duk_set_finalizer(ctx, proto);
    duk_freeze(ctx, proto); // one class for all its objects: no script reshapes it for the others
    duk_push_heap_stash(ctx);
    if (!duk_get_prop_literal(ctx, -1, "fixedClasses")) {
        duk_pop(ctx);
        duk_push_array(ctx);
        duk_dup(ctx, -1);
        duk_put_prop_literal(ctx, -3, "fixedClasses");
    }
    duk_dup(ctx, proto);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(duk_get_length(ctx, -2)));
    duk_pop_2(ctx);
    heap->lastFixedClass = members;
    heap->lastFixedPrototype = duk_get_heapptr(ctx, proto);
    try {
        heap->fixedClasses.emplace(members, heap->lastFixedPrototype);
    } catch (const std::bad_alloc&) {
        // Pinned all the same; another class in between makes it again.
    }
}

} // namespace

void InitHostObjects(duk_context* ctx) {
    static const duk_function_list_entry traps[] = {{"get", TrapGet, 3},     {"set", TrapSet, 4},
                                                    {"has", TrapHas, 2},     {"deleteProperty", TrapDelete, 2},
                                                    {"apply", TrapApply, 3}, {"construct", TrapConstruct, 3},
                                                    {nullptr, nullptr, 0}};
    ScriptHeap* heap = ScriptHeap::From(ctx);
    duk_push_heap_stash(ctx);
    duk_push_bare_object(ctx);
    duk_put_function_list(ctx, -1, traps);
    heap->handler = duk_get_heapptr(ctx, -1);
    duk_put_prop_literal(ctx, -2, "hostTraps");
    duk_push_c_function(ctx, FinalizeTarget, 1);
    heap->finalizer = duk_get_heapptr(ctx, -1);
    duk_put_prop_literal(ctx, -2, "hostFinalizer");
    duk_pop(ctx);
}

void PushHostObject(duk_context* ctx, IDispatch* dispatch) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    heap->CollectHostsWhenGrown();
    // A pointer that is the identity of a live wrapped object is that object: no QueryInterface.
    HostRecord* known = heap->hosts.Find(dispatch);
    IUnknown* identity = nullptr;
    if (!known || !known->target) {
        if (FAILED(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || !identity) {
            identity = dispatch;
            identity->AddRef();
        }
        known = heap->hosts.Find(identity);
        if (known && known->target) identity->Release();
    }
    if (known && known->target) {
        duk_push_heapptr(ctx, known->target); // rescues a target waiting for its finalizer
        if (known->proxy != known->target) {
            duk_get_prop_literal(ctx, -1, kProxyKey);
            duk_remove(ctx, -2);
        }
        return;
    }
    HostRecord* host = heap->NewHost();
    if (!host) {
        identity->Release();
        duk_push_null(ctx);
        return;
    }
    *host = HostRecord{identity, dispatch, nullptr, nullptr, nullptr, false};
    dispatch->AddRef();
    const FixedMember* members = nullptr;
    UINT memberCount = 0;
    IFixedMemberNames* fixed = nullptr;
    if (SUCCEEDED(dispatch->QueryInterface(IID_IFixedMemberNames, reinterpret_cast<void**>(&fixed))) && fixed) {
        if (FAILED(fixed->GetFixedMembers(&members, &memberCount))) members = nullptr;
        fixed->Release();
    }
    if (!members && FAILED(dispatch->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&host->dispatchEx))))
        host->dispatchEx = nullptr;
    if (!heap->hosts.Insert(identity, host)) {
        heap->FreeHost(host);
        duk_push_null(ctx);
        return;
    }
    if (members) {
        // Differs: a name the class lacks is kept as the script object's own value instead of
        // failing; failing would need a proxy per object, which doubled a document walk's time.
        // No proxy: the prototype answers every member, and the object dies as soon as scripts
        // drop it, with no cycle for a collection to find.
        duk_push_bare_object(ctx);
        PushFixedPrototype(ctx, members, memberCount);
        duk_set_prototype(ctx, -2);
        host->target = duk_get_heapptr(ctx, -1);
        host->proxy = host->target;
        if (!heap->hostsByObject.Insert(host->proxy, host)) {
            heap->FreeHost(host); // the object stays a bare one: its members answer E_UNEXPECTED
        }
        return;
    }
    if (HostIsCallable(host))
        duk_push_c_function(ctx, TargetCall, 0);
    else
        duk_push_object(ctx);
    host->target = duk_get_heapptr(ctx, -1);
    duk_push_pointer(ctx, host);
    duk_put_prop_literal(ctx, -2, kHostKey);
    duk_push_heapptr(ctx, heap->finalizer);
    duk_set_finalizer(ctx, -2);
    duk_dup(ctx, -1);
    duk_push_heapptr(ctx, heap->handler);
    duk_push_proxy(ctx, 0);
    // The target keeps its proxy, so both live and die together and a look-up by identity always
    // finds the proxy scripts already hold.
    duk_dup(ctx, -1);
    host->proxy = duk_get_heapptr(ctx, -1);
    duk_put_prop_literal(ctx, -3, kProxyKey);
    duk_remove(ctx, -2);
    // Without this entry the proxy still works; only native code would not know it for the object.
    if (!heap->hostsByObject.Insert(host->proxy, host)) host->proxy = nullptr;
}

HostRecord* HostRecordOf(duk_context* ctx, duk_idx_t idx) {
    if (!duk_is_object(ctx, idx)) return nullptr;
    return ScriptHeap::From(ctx)->hostsByObject.Find(duk_get_heapptr(ctx, idx));
}

duk_ret_t RaiseHResult(duk_context* ctx, HRESULT hr, BSTR description) {
    if (description && SysStringLen(description) > 0) {
        PushWide(ctx, description, SysStringLen(description));
    } else {
        duk_push_sprintf(ctx, "Automation error 0x%08X", static_cast<unsigned>(hr));
    }
    SysFreeString(description);
    // No C file and line: the error then takes its place from the script that made the call.
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", duk_get_string(ctx, -1));
    duk_push_int(ctx, hr);
    duk_put_prop_literal(ctx, -2, "number");
    duk_dup(ctx, -2);
    duk_put_prop_literal(ctx, -2, "description");
    return duk_throw(ctx);
}

} // namespace script
