// Scene scripts working on boxes through the real runtime, beside a bare script-to-native call on
// the same bridge: a script that makes 1,000 boxes and sets three properties on each, one that
// reads 10,000 box properties, and one that makes 10,000 calls of a Box method that does nothing
// (the bare call). Each case runs one compiled function per iteration in the scene's context; run
// with --benchmark_repetitions and read the medians of CPU time per item.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "bench/bench_smoke.h"
#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"

namespace {

constexpr int kRepetitions = 5;

// Opens a scene of one box, defines `setup` in its context and times `call` per iteration.
void RunInScene(benchmark::State& state, const char16_t* setup, const char16_t* call, int items) {
    auto* app = new oxApplication();
    app->AddRef();
    app->Init();
    // The scene goes to a folder of its own, never into the checkout. It lies outside the resources
    // folder, where markup loads no script: the bench evaluates its own in the scene's context.
    const auto folder = std::filesystem::temp_directory_path() / ("tandu-box-script-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "box_script_bench.box")
        << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"root\"><box id=\"b\"/></vbox>";
    const std::u16string path = platform::DevicePathFromHost((folder / "box_script_bench.box").string());
    NUBO::XVariant object;
    app->GetShell()->OpenScene(NUBO::TWString(path.c_str()), nullptr, NUBO::TWString(u"main"), nullptr, nullptr, false,
                               &object);
    if (!object.ToXObject()) {
        state.SkipWithError("the scene did not open");
        std::filesystem::remove_all(folder);
        app->Shutdown();
        app->Release();
        return;
    }
    oxScene* scene = static_cast<Scene*>(object.ToXObject())->GetScene();
    oxScriptContext* raw = nullptr;
    app->GetShell()->GetRuntime()->GetScriptContext(kAtomJavascript, scene, false, &raw);
    NUBO::RefPtr<oxScriptContext> context(raw);
    if (!context) {
        state.SkipWithError("the scene has no script context");
        static_cast<NUBO::XObject*>(object.ToXObject())->Release();
        object.Clear();
        app->Shutdown();
        app->Release();
        std::filesystem::remove_all(folder);
        return;
    }
    NUBO::XVariant ignored;
    // The scene's object as scripts see it, under a short name.
    context->AddNamedItem(u"sc", static_cast<NUBO::XObject*>(object.ToXObject()));
    context->Evaluate(NUBO::TWString(setup), u"", &ignored);
    NUBO::TWString expression(call);
    for (auto _ : state) {
        NUBO::XVariant result;
        if (FAILED(context->Evaluate(expression, u"", &result))) state.SkipWithError("the script failed");
        benchmark::DoNotOptimize(result.lVal);
    }
    state.SetItemsProcessed(state.iterations() * items);
    context = nullptr;
    static_cast<NUBO::XObject*>(object.ToXObject())->Release();
    object.Clear();
    app->Shutdown();
    app->Release();
    std::filesystem::remove_all(folder);
}

// Items: boxes made, each with three properties set. The boxes go with the scene's object.
void BM_CreateBoxesAndSetThreeProperties(benchmark::State& state) {
    RunInScene(state,
               u"function make() { for (var i = 0; i < 1000; i++) {"
               u"  var b = sc.createBox('box'); b.hidden = true; b.width = i; b.styleId = 'row'; }"
               u"  return 0; }",
               u"make()", 1000);
}
BENCHMARK(BM_CreateBoxesAndSetThreeProperties)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

void BM_ReadBoxProperty(benchmark::State& state) {
    RunInScene(state,
               u"var b = sc.getBoxById('b');"
               u"function read() { var s = 0; for (var i = 0; i < 10000; i++) s += b.childCount; return s; }",
               u"read()", 10000);
}
BENCHMARK(BM_ReadBoxProperty)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

void BM_ReadBoxStateProperty(benchmark::State& state) {
    RunInScene(state,
               u"var b = sc.getBoxById('b');"
               u"function read() { var s = 0; for (var i = 0; i < 10000; i++) if (b.hidden) s++; return s; }",
               u"read()", 10000);
}
BENCHMARK(BM_ReadBoxStateProperty)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

// The bare call: a Box method with no arguments and no work.
void BM_CallEmptyBoxMethod(benchmark::State& state) {
    RunInScene(state,
               u"var b = sc.getBoxById('b');"
               u"function call() { for (var i = 0; i < 10000; i++) b.trashPaint(); return 0; }",
               u"call()", 10000);
}
BENCHMARK(BM_CallEmptyBoxMethod)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);

} // namespace
namespace {
void BM_CreateBoxesOnly(benchmark::State& state) {
    RunInScene(state, u"function make() { for (var i = 0; i < 1000; i++) sc.createBox('box'); return 0; }", u"make()",
               1000);
}
BENCHMARK(BM_CreateBoxesOnly)->Repetitions(bench_support::Repetitions(kRepetitions))->ReportAggregatesOnly(true);
} // namespace
