#include "platform/script/jscript_engine.h"

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "platform/script/host_object_proxy.h"
#include "platform/script/script_dispatch.h"
#include "platform/script/script_error.h"
#include "platform/script/script_heap.h"
#include "platform/script/value_convert.h"

namespace {

using script::ScriptHeap;

constexpr char kItemNameKey[] = SCRIPT_HIDDEN("item");
constexpr char kMemberKey[] = SCRIPT_HIDDEN("member");
constexpr char kNamespacesKey[] = "namespaces";
constexpr char kBridgeKey[] = SCRIPT_HIDDEN("bridge");
constexpr char kSpaceKey[] = SCRIPT_HIDDEN("space");
constexpr char kGlobalKey[] = SCRIPT_HIDDEN("global");
// What every text run in a namespace calls first, once its own declarations are made.
constexpr char kEnterName[] = "__enterNamespace";

// The identifiers a text names outside strings, comments and member accesses: the names a code
// item's own object may answer.
std::vector<std::u16string> FreeIdentifiers(const OLECHAR* code) {
    std::vector<std::u16string> found;
    auto isStart = [](OLECHAR c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
    };
    auto isPart = [&](OLECHAR c) { return isStart(c) || (c >= u'0' && c <= u'9'); };
    bool afterDot = false;
    for (const OLECHAR* p = code; *p;) {
        OLECHAR c = *p;
        if (c == u'/' && p[1] == u'/') {
            while (*p && *p != u'\n')
                p++;
        } else if (c == u'/' && p[1] == u'*') {
            p += 2;
            while (*p && !(p[0] == u'*' && p[1] == u'/'))
                p++;
            if (*p) p += 2;
        } else if (c == u'"' || c == u'\'') {
            for (p++; *p && *p != c; p++)
                if (*p == u'\\' && p[1]) p++;
            if (*p) p++;
            afterDot = false;
        } else if (isStart(c)) {
            const OLECHAR* begin = p;
            while (*p && isPart(*p))
                p++;
            if (!afterDot) {
                std::u16string name(begin, p);
                bool seen = false;
                for (const auto& n : found)
                    seen = seen || n == name;
                if (!seen) found.push_back(std::move(name));
            }
            afterDot = false;
        } else if (c >= u'0' && c <= u'9') {
            while (*p && isPart(*p))
                p++;
            afterDot = false;
        } else {
            if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') afterDot = c == u'.';
            p++;
        }
    }
    return found;
}

// A visible item's global: its object comes from the site on first use, then stays.
duk_ret_t ItemGetter(duk_context* ctx) {
    ScriptHeap* heap = ScriptHeap::From(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_literal(ctx, -1, kItemNameKey);
    BSTR name = script::ToBstr(ctx, -1);
    if (!name || !heap->site) {
        SysFreeString(name);
        return script::RaiseHResult(ctx, name ? E_UNEXPECTED : E_OUTOFMEMORY, nullptr);
    }
    IUnknown* item = nullptr;
    HRESULT hr = E_UNEXPECTED;
    try { // a C++ exception must not unwind Duktape's frames
        hr = heap->site->GetItemInfo(name, SCRIPTINFO_IUNKNOWN, &item, nullptr);
    } catch (...) {
        item = nullptr;
    }
    SysFreeString(name);
    if (FAILED(hr) || !item) {
        if (item) item->Release();
        return script::RaiseHResult(ctx, FAILED(hr) ? hr : E_FAIL, nullptr);
    }
    duk_push_global_object(ctx);
    duk_dup(ctx, -2);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UNKNOWN;
    value.punkVal = item;
    script::PushVariant(ctx, &value);
    item->Release();
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
    duk_dup(ctx, -2);
    duk_get_prop(ctx, -2); // the name's value, now a plain property
    return 1;
}

duk_ret_t ItemSetter(duk_context* ctx) {
    duk_push_current_function(ctx);
    duk_get_prop_literal(ctx, -1, kItemNameKey);
    duk_push_global_object(ctx);
    duk_dup(ctx, -2);
    duk_dup(ctx, 0);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
    return 0;
}

// A name of a namespace forwarded to another object: to the member of that name of a visible
// item's object (when the accessor carries the item's name), else to the main global's own, so that
// assigning it from the namespace changes the global instead of hiding it there. The item's object
// is looked up at every access, since the item's global may be replaced.
void PushForwardTarget(duk_context* ctx, duk_idx_t accessor) {
    duk_get_prop_literal(ctx, accessor, kGlobalKey);
    if (duk_get_prop_literal(ctx, accessor, kItemNameKey)) {
        duk_get_prop(ctx, -2);
        duk_remove(ctx, -2);
    } else {
        duk_pop(ctx);
    }
}

duk_ret_t ForwardGetter(duk_context* ctx) {
    duk_push_current_function(ctx);
    PushForwardTarget(ctx, 0);
    duk_get_prop_literal(ctx, 0, kMemberKey);
    duk_get_prop(ctx, -2);
    return 1;
}

duk_ret_t ForwardSetter(duk_context* ctx) {
    duk_push_current_function(ctx);
    PushForwardTarget(ctx, 1);
    duk_get_prop_literal(ctx, 1, kMemberKey);
    duk_dup(ctx, 0);
    duk_put_prop(ctx, -3);
    return 0;
}

// Defines on the object at `on` the forwarding accessors of the name at `key`; `itemName` is the
// index of the item's name, or DUK_INVALID_INDEX for a name of the main global at `main`.
void DefineForward(duk_context* ctx, duk_idx_t on, duk_idx_t key, duk_idx_t main, duk_idx_t itemName) {
    duk_dup(ctx, key);
    for (duk_c_function accessor : {ForwardGetter, ForwardSetter}) {
        duk_push_c_function(ctx, accessor, accessor == ForwardGetter ? 0 : 1);
        duk_dup(ctx, main);
        duk_put_prop_literal(ctx, -2, kGlobalKey);
        duk_dup(ctx, key);
        duk_put_prop_literal(ctx, -2, kMemberKey);
        if (itemName != DUK_INVALID_INDEX) {
            duk_dup(ctx, itemName);
            duk_put_prop_literal(ctx, -2, kItemNameKey);
        }
    }
    duk_def_prop(ctx, on, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_SET_CONFIGURABLE);
}

// A namespace's own global object sees the main global's names only once the text's own `var` and
// `function` declarations are made: until then a declaration of a name the main global has would
// find it there and declare nothing of its own.
duk_ret_t EnterNamespace(duk_context* ctx) {
    duk_push_current_function(ctx);
    duk_get_prop_literal(ctx, -1, kSpaceKey);
    duk_get_prop_literal(ctx, -1, kBridgeKey);
    duk_set_prototype(ctx, -2);
    return 0;
}

duk_ret_t CollectGarbage(duk_context* ctx) {
    duk_gc(ctx, 0);
    return 0;
}

struct Item {
    std::u16string name;
    DWORD flags;
};

struct NamespaceArgs {
    const Item* item;
    const std::vector<std::u16string>* names; // the free names of the text to run, or null
};

// [] -> [namespace thread]: made on first use. Its global object inherits from a bridge object,
// which inherits from the main global: the bridge carries an accessor for every name of the main
// global that a text run in the namespace names.
void PushNamespace(duk_context* ctx, const NamespaceArgs* args) {
    duk_push_heap_stash(ctx);
    if (!duk_get_prop_literal(ctx, -1, kNamespacesKey)) {
        duk_pop(ctx);
        duk_push_bare_object(ctx);
        duk_dup(ctx, -1);
        duk_put_prop_literal(ctx, -3, kNamespacesKey);
    }
    duk_remove(ctx, -2);
    script::PushWide(ctx, args->item->name.data(), args->item->name.size());
    if (!duk_get_prop(ctx, -2) || !duk_is_thread(ctx, -1)) {
        duk_pop(ctx);
        duk_push_thread_new_globalenv(ctx);
        duk_context* thread = duk_get_context(ctx, -1);
        duk_push_global_object(thread);
        duk_xmove_top(ctx, thread, 1);
        duk_idx_t space = duk_get_top_index(ctx);
        duk_push_bare_object(ctx);
        duk_push_global_object(ctx);
        duk_set_prototype(ctx, -2);
        duk_dup(ctx, -1);
        duk_put_prop_literal(ctx, space, kBridgeKey);
        duk_set_prototype(ctx, space);
        duk_push_string(ctx, kEnterName);
        duk_push_c_function(ctx, EnterNamespace, 0);
        duk_dup(ctx, space);
        duk_put_prop_literal(ctx, -2, kSpaceKey);
        duk_def_prop(ctx, space,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_CLEAR_ENUMERABLE |
                         DUK_DEFPROP_CLEAR_CONFIGURABLE);
        duk_pop(ctx);
        script::PushWide(ctx, args->item->name.data(), args->item->name.size());
        duk_dup(ctx, -2);
        duk_put_prop(ctx, -4);
    }
    duk_remove(ctx, -2);
    if (!args->names) return;

    duk_context* thread = duk_get_context(ctx, -1);
    duk_push_global_object(thread);
    duk_xmove_top(ctx, thread, 1);
    duk_idx_t global = duk_get_top_index(ctx);
    duk_get_prop_literal(ctx, global, kBridgeKey);
    duk_idx_t bridge = duk_get_top_index(ctx);
    duk_push_global_object(ctx);
    duk_idx_t main = duk_get_top_index(ctx);
    script::PushWide(ctx, args->item->name.data(), args->item->name.size());
    duk_idx_t itemName = duk_get_top_index(ctx);
    duk_dup(ctx, itemName);
    duk_get_prop(ctx, main);
    duk_idx_t object = duk_get_top_index(ctx);
    // A visible item's object answers names the namespace does not hold itself.
    bool visible = (args->item->flags & SCRIPTITEM_ISVISIBLE) && script::HostRecordOf(ctx, object);
    for (const std::u16string& name : *args->names) {
        script::PushWide(ctx, name.data(), name.size());
        duk_idx_t key = duk_get_top_index(ctx);
        duk_dup(ctx, key);
        duk_get_prop_desc(ctx, global, 0);
        bool own = !duk_is_undefined(ctx, -1), answered = false;
        duk_pop(ctx);
        if (!own && visible) {
            duk_dup(ctx, key);
            answered = duk_has_prop(ctx, object);
        }
        if (answered) {
            DefineForward(ctx, global, key, main, itemName);
        } else if (!own) {
            // A plain value of the main global (its items' names are accessors there already).
            duk_dup(ctx, key);
            duk_get_prop_desc(ctx, bridge, 0);
            bool bridged = !duk_is_undefined(ctx, -1);
            duk_pop(ctx);
            duk_dup(ctx, key);
            duk_get_prop_desc(ctx, main, 0);
            bool plain = !bridged && duk_is_object(ctx, -1) && duk_has_prop_literal(ctx, -1, "value");
            duk_pop(ctx);
            if (plain) DefineForward(ctx, bridge, key, main, DUK_INVALID_INDEX);
        }
        duk_set_top(ctx, key);
    }
    duk_set_top(ctx, global);
}

struct ParseArgs {
    ScriptHeap* heap;
    const OLECHAR* code;
    size_t length;
    NamespaceArgs space; // item null: the global namespace
    VARIANT* result;
    DWORD_PTR cookie; // the caller's name for the text; its functions carry it as their file name
};

duk_ret_t ParseBody(duk_context* ctx, void* data) {
    auto* args = static_cast<ParseArgs*>(data);
    if (args->space.item) {
        PushNamespace(ctx, &args->space);
        duk_context* thread = duk_get_context(ctx, -1);
        duk_push_global_object(thread);
        duk_xmove_top(ctx, thread, 1); // `this` of the text
        duk_idx_t space = duk_get_top_index(ctx);
        // The text first lets its namespace see the main global again (see EnterNamespace); on the
        // same line, so that lines keep their numbers.
        duk_push_string(thread, kEnterName);
        duk_push_string(thread, "();");
        duk_concat(thread, 2);
        script::PushWide(thread, args->code, args->length);
        duk_concat(thread, 2);
        script::PushSourceName(thread, args->cookie);
        // Compiled on the namespace's thread, the text binds that thread's globals; it runs on the
        // main thread like everything else, so nested calls never meet a thread already running.
        args->heap->current = thread;
        int rc = duk_pcompile(thread, DUK_COMPILE_EVAL);
        args->heap->current = ctx;
        duk_xmove_top(ctx, thread, 1);
        if (rc != 0) return duk_throw(ctx);
        duk_dup(ctx, space);
        duk_push_undefined(ctx); // no prototype
        duk_set_prototype(ctx, space);
        rc = duk_pcall_method(ctx, 0);
        duk_get_prop_literal(ctx, space, kBridgeKey);
        duk_set_prototype(ctx, space);
        if (rc != 0) return duk_throw(ctx);
    } else {
        script::PushWide(ctx, args->code, args->length);
        script::PushSourceName(ctx, args->cookie);
        duk_compile(ctx, DUK_COMPILE_EVAL);
        duk_push_global_object(ctx);
        duk_call_method(ctx, 0);
    }
    if (args->result) script::ToVariant(ctx, -1, args->result);
    return 1;
}

struct DispatchArgs {
    NamespaceArgs space;
    IDispatchEx* out;
    HRESULT hr;
};

duk_ret_t DispatchBody(duk_context* ctx, void* data) {
    auto* args = static_cast<DispatchArgs*>(data);
    if (args->space.item) {
        PushNamespace(ctx, &args->space);
        duk_context* thread = duk_get_context(ctx, -1);
        duk_push_global_object(thread);
        duk_xmove_top(ctx, thread, 1);
    } else {
        duk_push_global_object(ctx);
    }
    args->hr = script::ScriptDispatch::Wrap(ctx, -1, &args->out);
    return 0;
}

struct DefineArgs {
    const Item* item;
};

duk_ret_t DefineItemBody(duk_context* ctx, void* data) {
    auto* args = static_cast<DefineArgs*>(data);
    duk_push_global_object(ctx);
    script::PushWide(ctx, args->item->name.data(), args->item->name.size());
    for (duk_c_function accessor : {ItemGetter, ItemSetter}) {
        duk_push_c_function(ctx, accessor, accessor == ItemGetter ? 0 : 1);
        script::PushWide(ctx, args->item->name.data(), args->item->name.size());
        duk_put_prop_literal(ctx, -2, kItemNameKey);
    }
    duk_def_prop(ctx, -4, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_SET_CONFIGURABLE);
    return 0;
}

duk_ret_t InitBody(duk_context* ctx, void*) {
    script::InitHostObjects(ctx);
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, CollectGarbage, 0);
    duk_put_prop_literal(ctx, -2, "CollectGarbage");
    return 0;
}

class JScriptEngine final : public IActiveScript, public IActiveScriptParse {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScript)) {
            *out = static_cast<IActiveScript*>(this);
        } else if (IsEqualIID(riid, IID_IActiveScriptParse)) {
            *out = static_cast<IActiveScriptParse*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetScriptSite(IActiveScriptSite* newSite) override {
        if (!newSite) return E_POINTER;
        if (site || state == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
        site = newSite;
        site->AddRef();
        if (heap) heap->site = site;
        return S_OK;
    }
    HRESULT GetScriptSite(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return site ? site->QueryInterface(riid, out) : S_FALSE;
    }
    HRESULT SetScriptState(SCRIPTSTATE newState) override {
        if (newState == SCRIPTSTATE_CLOSED) return Close();
        if (!heap) return E_UNEXPECTED;
        switch (newState) {
        case SCRIPTSTATE_STARTED:
        case SCRIPTSTATE_CONNECTED:
        case SCRIPTSTATE_INITIALIZED:
            break;
        default:
            return E_NOTIMPL;
        }
        if (newState != SCRIPTSTATE_INITIALIZED && !site) return E_UNEXPECTED;
        state = newState;
        if (site) site->OnStateChange(state);
        return S_OK;
    }
    HRESULT GetScriptState(SCRIPTSTATE* out) override {
        if (!out) return E_POINTER;
        *out = state;
        return S_OK;
    }
    HRESULT Close() override {
        if (state == SCRIPTSTATE_CLOSED) return S_OK;
        state = SCRIPTSTATE_CLOSED;
        if (heap) {
            heap->site = nullptr;
            heap->Close();
            heap->Release();
            heap = nullptr;
        }
        items.clear();
        if (site) {
            IActiveScriptSite* old = site;
            site = nullptr;
            old->Release();
        }
        return S_OK;
    }
    HRESULT AddNamedItem(LPCOLESTR name, DWORD flags) override {
        if (!name || !*name) return E_INVALIDARG;
        if (!heap) return E_UNEXPECTED;
        try {
            items.push_back(Item{std::u16string(name), flags});
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        if (!(flags & SCRIPTITEM_ISVISIBLE)) return S_OK;
        DefineArgs args{&items.back()};
        return RunProtected(DefineItemBody, &args) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT AddTypeLib(REFGUID, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT GetScriptDispatch(LPCOLESTR itemName, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!heap || !heap->IsOpen()) return E_UNEXPECTED;
        DispatchArgs args{{nullptr, nullptr}, nullptr, E_FAIL};
        if (itemName && *itemName) {
            args.space.item = FindItem(itemName);
            if (!args.space.item) return E_INVALIDARG;
        }
        if (!RunProtected(DispatchBody, &args)) return E_FAIL;
        *out = args.out;
        return args.hr;
    }
    HRESULT GetCurrentScriptThreadID(SCRIPTTHREADID* id) override {
        if (!id) return E_POINTER;
        *id = 0;
        return S_OK;
    }
    HRESULT GetScriptThreadID(DWORD, SCRIPTTHREADID* id) override { return GetCurrentScriptThreadID(id); }
    HRESULT GetScriptThreadState(SCRIPTTHREADID, SCRIPTTHREADSTATE* out) override {
        if (!out) return E_POINTER;
        *out = depth > 0 ? SCRIPTTHREADSTATE_RUNNING : SCRIPTTHREADSTATE_NOTINSCRIPT;
        return S_OK;
    }
    // Scripts run only inside calls on this thread, so none is running when this can be called
    // from outside one.
    HRESULT InterruptScriptThread(SCRIPTTHREADID, const EXCEPINFO*, DWORD) override { return S_OK; }
    HRESULT Clone(IActiveScript** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    HRESULT InitNew() override {
        if (heap) return state == SCRIPTSTATE_CLOSED ? E_UNEXPECTED : S_OK;
        if (state == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
        heap = ScriptHeap::Create();
        if (!heap) return E_OUTOFMEMORY;
        heap->site = site;
        if (!RunProtected(InitBody, nullptr)) return E_OUTOFMEMORY;
        state = SCRIPTSTATE_INITIALIZED;
        return S_OK;
    }
    HRESULT AddScriptlet(LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, LPCOLESTR, DWORD_PTR, ULONG, DWORD,
                         BSTR* name, EXCEPINFO*) override {
        if (name) *name = nullptr;
        return E_NOTIMPL;
    }
    HRESULT ParseScriptText(LPCOLESTR code, LPCOLESTR itemName, IUnknown*, LPCOLESTR, DWORD_PTR cookie, ULONG,
                            DWORD flags, VARIANT* result, EXCEPINFO* excepinfo) override {
        if (result) VariantInit(result);
        if (!heap || !heap->IsOpen()) return E_UNEXPECTED;
        if (!code) code = u"";
        size_t length = 0;
        while (code[length])
            length++;

        ParseArgs args{heap,  code, length, {nullptr, nullptr}, (flags & SCRIPTTEXT_ISEXPRESSION) ? result : nullptr,
                       cookie};
        // A name that names no item runs in the global namespace.
        const Item* item = itemName && *itemName ? FindItem(itemName) : nullptr;
        std::vector<std::u16string> names;
        if (item) {
            args.space.item = item;
            try {
                names = FreeIdentifiers(code);
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            args.space.names = &names;
        }

        AddRef(); // the script may close and release the engine while it runs
        IActiveScriptSite* caller = site;
        if (caller) {
            caller->AddRef();
            caller->OnEnterScript();
        }
        depth++;
        ScriptHeap* running = heap; // Close may drop the engine's reference while the text runs
        running->AddRef();
        running->Enter();
        duk_context* ctx = running->ctx;
        HRESULT hr = S_OK;
        if (duk_safe_call(ctx, ParseBody, &args, 0, 1) != DUK_EXEC_SUCCESS) {
            if (result) VariantClear(result);
            hr = ReportError(ctx, code, excepinfo);
        }
        duk_pop(ctx);
        running->Leave();
        running->Release();
        depth--;
        if (caller) {
            caller->OnLeaveScript();
            caller->Release();
        }
        Release();
        return hr;
    }

private:
    ~JScriptEngine() { Close(); }

    bool RunProtected(duk_safe_call_function body, void* args) {
        int rc = duk_safe_call(heap->ctx, body, args, 0, 1);
        duk_pop(heap->ctx);
        return rc == DUK_EXEC_SUCCESS;
    }

    const Item* FindItem(LPCOLESTR name) const {
        for (const Item& item : items)
            if (item.name == name && !(item.flags & SCRIPTITEM_NOCODE)) return &item;
        return nullptr;
    }

    // Tells the site about the error on top of the stack; the HRESULT the call answers.
    HRESULT ReportError(duk_context* ctx, const OLECHAR* code, EXCEPINFO* excepinfo) {
        return script::ReportScriptError(site, ctx, -1, code, excepinfo);
    }

    ULONG refs = 1;
    SCRIPTSTATE state = SCRIPTSTATE_UNINITIALIZED;
    IActiveScriptSite* site = nullptr;
    ScriptHeap* heap = nullptr;
    std::deque<Item> items; // stable addresses: a running text keeps its item
    int depth = 0;
};

} // namespace

HRESULT CreateJScriptEngine(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* engine = new (std::nothrow) JScriptEngine();
    if (!engine) return E_OUTOFMEMORY;
    HRESULT hr = engine->QueryInterface(riid, out);
    engine->Release();
    return hr;
}
