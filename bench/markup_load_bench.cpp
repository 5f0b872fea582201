// Loads generated scenes of 1,000 and 10,000 boxes (nested rows of ten boxes with an id and two
// attributes each) from memory into a box tree. Loading and freeing are timed apart (the other half
// of each iteration runs with the timer paused); every case also reports the heap bytes a loaded
// tree holds per box. Run with --benchmark_repetitions and read the medians of CPU time.
//
// Run each case in its own process (--benchmark_filter): the atom table is process-wide, and the
// warm-heap cases change the allocator's settings for the rest of the process.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <new>
#include <string>

#include "bench/bench_smoke.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/tests/plain_box_scene.h"

namespace {

using markup_test::PlainBoxScene;
using markup_test::RootHolder;

// One root, then rows (hbox) of nine boxes each: `boxes` boxes in all. With `idKinds` above 0 the
// ids repeat over that many names, which keeps the atom table small.
std::string MakeScene(int boxes, int idKinds) {
    auto id = [idKinds](int n) { return std::to_string(idKinds > 0 ? n % idKinds : n); };
    std::string text = "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"root\">\n";
    int made = 1;
    while (made < boxes) {
        text += " <hbox id=\"row" + id(made) + "\" title=\"row\">\n";
        ++made;
        for (int i = 0; i < 9 && made < boxes; ++i, ++made)
            text += "  <box id=\"b" + id(made) + "\" value=\"v\" flex=\"1\"/>\n";
        text += " </hbox>\n";
    }
    return text + "</vbox>\n";
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Heap bytes in use, from the arenas and from mapped blocks.
size_t HeapInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Loaded {
    PlainBoxScene scene;
    RootHolder holder{&scene};
};

// A tree of ~600 bytes a box outgrows glibc's trim threshold somewhere between 1,000 and 10,000
// boxes; from then on every free of the tree hands the pages back and the next load faults them in
// again, which costs far more per box than the loading itself on some virtual machines. The
// faults_per_box counter shows when that happens.
void RunScene(benchmark::State& state, bool timeLoading) {
    oxAtoms::RegisterPredefined();
    int boxes = int(state.range(0));
    std::string text = MakeScene(boxes, int(state.range(1)));
    NUBO::XStream* raw = nullptr;
    if (NUBO::XStream::Create(&raw) != 0) {
        state.SkipWithError("no stream");
        return;
    }
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    stream->Write(text.data(), uint32_t(text.size()), &written);
    oxMarkupLoader loader;
    auto load = [&](Loaded* into) {
        stream->Seek(0, 0);
        loader.Reset();
        benchmark::DoNotOptimize(loader.Load(u"bench.box", stream.get(), &into->holder));
        return into->holder.root != nullptr;
    };

    // Memory of one tree, measured on a second load so that the atoms of its ids are already made.
    double bytesPerBox = 0;
    {
        Loaded first;
        load(&first);
    }
    {
        size_t before = HeapInUse();
        Loaded measured;
        load(&measured);
        bytesPerBox = double(HeapInUse() - before) / boxes;
    }

    long faults = MinorFaults();
    for (auto _ : state) {
        Loaded scene;
        if (!timeLoading) state.PauseTiming();
        if (!load(&scene)) state.SkipWithError("scene did not load");
        if (timeLoading) state.PauseTiming();
        if (!timeLoading) state.ResumeTiming();
        scene.holder.root->Release();
        scene.holder.root = nullptr;
        if (timeLoading) state.ResumeTiming();
    }
    faults = MinorFaults() - faults;
    state.SetItemsProcessed(state.iterations() * boxes);
    state.counters["bytes_per_box"] = bytesPerBox;
    state.counters["faults_per_box"] = double(faults) / (double(state.iterations()) * boxes);
    state.counters["ns_per_box"] =
        benchmark::Counter(double(boxes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
void BM_LoadScene(benchmark::State& state) {
    RunScene(state, true);
}
void BM_FreeScene(benchmark::State& state) {
    RunScene(state, false);
}

// The loader's own cost: the heap keeps what a load freed, as it does for small scenes anyway.
void BM_LoadSceneWarmHeap(benchmark::State& state) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    RunScene(state, true);
}

constexpr int kRepetitions = 5;

// Every box with its own id (each id a new atom), and ids repeating over 100 names.
void SceneSizes(benchmark::internal::Benchmark* b) {
    b->Args({1000, 0})
        ->Args({10000, 0})
        ->Args({1000, 100})
        ->Args({10000, 100})
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(bench_support::Repetitions(kRepetitions))
        ->ReportAggregatesOnly(true);
}
BENCHMARK(BM_LoadScene)->Apply(SceneSizes);
BENCHMARK(BM_FreeScene)->Apply(SceneSizes);
BENCHMARK(BM_LoadSceneWarmHeap)->Apply(SceneSizes);

// 100,000 plain boxes under one root, in columns each nested as deep as boxes may (range 1) or all
// siblings: loading and freeing deep trees should cost what the same boxes cost side by side.
void BM_LoadAndFreeDeepOrWide(benchmark::State& state) {
    oxAtoms::RegisterPredefined();
    const int boxes = int(state.range(0));
    const bool deep = state.range(1) != 0;
    const int column = deep ? oxBox::kMaxDepth - 1 : 1;
    std::string text = "<box xmlns=\"http://www.kestrum.com/weftly/box.xsd\">";
    for (int made = 1; made < boxes;) {
        const int n = std::min(column, boxes - made);
        for (int i = 0; i < n; ++i)
            text += "<box>";
        for (int i = 0; i < n; ++i)
            text += "</box>";
        made += n;
    }
    text += "</box>";
    NUBO::XStream* raw = nullptr;
    if (NUBO::XStream::Create(&raw) != 0) {
        state.SkipWithError("no stream");
        return;
    }
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    stream->Write(text.data(), uint32_t(text.size()), &written);
    oxMarkupLoader loader;
    for (auto _ : state) {
        Loaded scene;
        stream->Seek(0, 0);
        loader.Reset();
        if (!loader.Load(u"bench.box", stream.get(), &scene.holder)) state.SkipWithError("scene did not load");
    }
    state.SetItemsProcessed(state.iterations() * boxes);
}
BENCHMARK(BM_LoadAndFreeDeepOrWide)
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

} // namespace
