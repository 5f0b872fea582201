// Script reaching native objects, each against its floor in the same run: a native method call
// against a raw Duktape C function call and a script function call; a native property read against
// a raw Duktape Proxy get trap. Every case runs a loop of 1,000 accesses per iteration, started
// from a compiled expression on both sides. Run with --benchmark_repetitions and read the medians
// of CPU time: the ratios of the pairs are the bridge's cost.
#include <benchmark/benchmark.h>
#include <duktape.h>

#include "bench/bench_smoke.h"
#include "platform/com/class_registry.h"
#include "platform/script/jscript_engine.h"
#include "runtime/script_engine_hooks.h"
#include "runtime/script_object.h"

using namespace NUBO;

namespace {

int32_t Add(XObject*, int, XArgList* args, XVariant* result) {
    int32_t a = 0, b = 0;
    args->GetArg(0)->GetInt32(&a);
    args->GetArg(1)->GetInt32(&b);
    *result = a + b;
    return 0;
}

int32_t Count(XObject*, XVariant* result) {
    *result = 1;
    return 0;
}

const XMemberEntry kAdderMembers[] = {XMethod("add", Add), XProperty("count", Count, nullptr), XMemberEnd()};

class Adder : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};
XClassDescriptor Adder::Descriptor = {"Adder", 3, kAdderMembers, &XObject::Descriptor, 0, {}};

class Site final : public IActiveScriptSite {
public:
    explicit Site(IUnknown* adder) : item(adder) {}
    HRESULT QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetLCID(LCID*) override { return S_OK; }
    HRESULT GetItemInfo(LPCOLESTR, DWORD, IUnknown** out, ITypeInfo**) override {
        *out = item;
        item->AddRef();
        return S_OK;
    }
    HRESULT GetDocVersionString(BSTR*) override { return S_OK; }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError*) override { return S_OK; }
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }

private:
    IUnknown* item;
};

// Runs a loop of `calls` calls in the engine per iteration.
void RunLoop(benchmark::State& state, const char16_t* setup, const char16_t* loop) {
    InstallScriptEngineHooks(); // as the runtime's start does: declared methods are known as methods
    auto* adder = new Adder();
    adder->AddRef();
    Site site(static_cast<IDispatchEx*>(adder));
    IActiveScript* engine = nullptr;
    IActiveScriptParse* parse = nullptr;
    CoCreateInstance(CLSID_JScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                     reinterpret_cast<void**>(&engine));
    engine->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse));
    engine->SetScriptSite(&site);
    parse->InitNew();
    engine->SetScriptState(SCRIPTSTATE_STARTED);
    engine->AddNamedItem(u"adder", SCRIPTITEM_ISVISIBLE);
    parse->ParseScriptText(setup, u"", nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
    constexpr int kCalls = 1000;
    for (auto _ : state) {
        VARIANT r;
        parse->ParseScriptText(loop, u"", nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION, &r, nullptr);
        benchmark::DoNotOptimize(r.lVal);
        VariantClear(&r);
    }
    state.SetItemsProcessed(state.iterations() * kCalls);
    engine->Close();
    parse->Release();
    engine->Release();
    adder->Release();
}

constexpr int kRepetitions = 5;

void BM_ScriptToNativeMethod(benchmark::State& state) {
    RunLoop(state, u"function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = adder.add(s, 1); return s; }",
            u"loop()");
}
BENCHMARK(BM_ScriptToNativeMethod)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

void BM_ScriptToScriptFunction(benchmark::State& state) {
    RunLoop(state,
            u"var local = { add: function (a, b) { return a + b; } };\n"
            u"function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = local.add(s, 1); return s; }",
            u"loop()");
}
BENCHMARK(BM_ScriptToScriptFunction)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

void BM_ScriptReadsNativeProperty(benchmark::State& state) {
    RunLoop(state, u"function loop() { var s = 0; for (var i = 0; i < 1000; i++) s += adder.count; return s; }",
            u"loop()");
}
BENCHMARK(BM_ScriptReadsNativeProperty)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

// The floors: a bare Duktape heap, no COM, no VARIANTs.
duk_ret_t RawAdd(duk_context* ctx) {
    duk_push_int(ctx, duk_get_int(ctx, 0) + duk_get_int(ctx, 1));
    return 1;
}

duk_ret_t RawGetTrap(duk_context* ctx) {
    duk_push_int(ctx, 1);
    return 1;
}

// Runs `loop` (source defining loop()) after `prepare` has put its globals in place.
void RunRawLoop(benchmark::State& state, void (*prepare)(duk_context*), const char* loop) {
    duk_context* ctx = duk_create_heap_default();
    prepare(ctx);
    duk_eval_string_noresult(ctx, loop);
    for (auto _ : state) {
        if (duk_peval_string(ctx, "loop()") != 0) state.SkipWithError("loop failed");
        benchmark::DoNotOptimize(duk_get_int(ctx, -1));
        duk_pop(ctx);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    duk_destroy_heap(ctx);
}

void BM_DuktapeCFunctionCall(benchmark::State& state) {
    RunRawLoop(
        state,
        [](duk_context* ctx) {
            duk_push_global_object(ctx);
            duk_push_object(ctx);
            duk_push_c_function(ctx, RawAdd, 2);
            duk_put_prop_string(ctx, -2, "add");
            duk_put_prop_string(ctx, -2, "raw");
            duk_pop(ctx);
        },
        "function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = raw.add(s, 1); return s; }");
}
BENCHMARK(BM_DuktapeCFunctionCall)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

// The global `raw`: a Proxy of an empty object whose get trap is `get`.
void PutRawProxy(duk_context* ctx, duk_c_function get) {
    duk_push_global_object(ctx);
    duk_push_object(ctx); // target
    duk_push_object(ctx); // handler
    duk_push_c_function(ctx, get, 3);
    duk_put_prop_string(ctx, -2, "get");
    duk_push_proxy(ctx, 0);
    duk_put_prop_string(ctx, -2, "raw");
    duk_pop(ctx);
}

void BM_DuktapeProxyGetTrap(benchmark::State& state) {
    RunRawLoop(
        state, [](duk_context* ctx) { PutRawProxy(ctx, RawGetTrap); },
        "function loop() { var s = 0; for (var i = 0; i < 1000; i++) s += raw.count; return s; }");
}
BENCHMARK(BM_DuktapeProxyGetTrap)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

// The floor of any bridge that keeps one Proxy per native object: the get trap hands out a C
// function made once (as the bridge's stub cache does), which is then called. Not a peer: it shows
// what the method call costs before the bridge does any work of its own.
duk_ret_t RawGetFunctionTrap(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, "add");
    return 1;
}

void BM_DuktapeProxyTrapThenCFunction(benchmark::State& state) {
    RunRawLoop(
        state,
        [](duk_context* ctx) {
            duk_push_global_stash(ctx);
            duk_push_c_function(ctx, RawAdd, 2);
            duk_put_prop_string(ctx, -2, "add");
            duk_pop(ctx);
            PutRawProxy(ctx, RawGetFunctionTrap);
        },
        "function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = raw.add(s, 1); return s; }");
}
BENCHMARK(BM_DuktapeProxyTrapThenCFunction)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

} // namespace
