// A call from script to a native method against a call to a script function doing the same work.
#include <benchmark/benchmark.h>

#include "platform/com/class_registry.h"
#include "platform/script/jscript_engine.h"
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

const XMemberEntry kAdderMembers[] = {XMethod("add", Add), XMemberEnd()};

class Adder : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};
XClassDescriptor Adder::Descriptor = {"Adder", 2, kAdderMembers, &XObject::Descriptor, 0, {}};

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

void BM_ScriptToNativeMethod(benchmark::State& state) {
    RunLoop(state, u"function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = adder.add(s, 1); return s; }",
            u"loop()");
}
BENCHMARK(BM_ScriptToNativeMethod);

void BM_ScriptToScriptFunction(benchmark::State& state) {
    RunLoop(state,
            u"var local = { add: function (a, b) { return a + b; } };\n"
            u"function loop() { var s = 0; for (var i = 0; i < 1000; i++) s = local.add(s, 1); return s; }",
            u"loop()");
}
BENCHMARK(BM_ScriptToScriptFunction);

} // namespace
