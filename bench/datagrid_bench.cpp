// A datagrid bound to a live array of 10,000 numbers, in the real toolkit's headless 480 x 800
// window, scrolled down a page at a time. One frame is the scroll (the pass over the new page) and
// the loop run until idle, which lays out and paints the window. Rows are 40 high, so a page holds
// 20 rows. By the binding's replication:
//   lazy: row boxes are made when a page first shows them; every page is new, so each frame also
//         makes its rows (the template's boxes, their value written from the array);
//   full: the 10,000 row boxes were made when the list was bound (outside the timer); the frame
//         lays out and paints only;
//   recycle: the boxes of the rows scrolled out are taken for the rows that come into view.
// The binding is two-way, as by default, except in the one-way lazy case: a two-way row box takes
// the binding as its change listener, and that side table grows with every row made.
// After the walk the page must show the rows it should.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_toolkit.h"
#include "platform/shell/path_map.h"
#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/core/box.h"
#include "toolkit/core/datagrid_layout.h"

namespace {

using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

constexpr int kRows = 10000;

std::string SceneText(const char* replication, const char* method) {
    return std::string("<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\"\n"
                       "      xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" id=\"root\">\n"
                       "  <box id=\"grid\" view=\"datagrid\" s:flex=\"1\" s:maxHeight=\"auto\" s:overflow=\"scroll\">\n"
                       "    <columns><box s:width=\"120\"/><box s:width=\"352\"/></columns>\n"
                       "    <rows id=\"list\" s:height=\"400000\">\n"
                       "      <binding collectionSource=\"numbers\" replication=\"") +
           replication + "\" method=\"" + method +
           "\">\n"
           "        <template><box label=\"{}\" s:fill=\"#ffeeeeee\">\n"
           "          <box s:flex=\"1\" s:fill=\"#ff3366cc\" value=\"{}\"/><box s:flex=\"1\" value=\"{}\"/>\n"
           "        </box></template>\n"
           "      </binding>\n"
           "    </rows>\n"
           "  </box>\n"
           "</vbox>\n";
}

struct GridScene {
    GridScene(const char* replication, const char* method) {
        folder = std::filesystem::temp_directory_path() / ("tandu-datagrid-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "grid.box") << SceneText(replication, method);
        XObject* raw = nullptr;
        NUBO::CreateXLiveArray(&raw);
        array = RefPtr<NUBO::XArray>(static_cast<NUBO::XArray*>(raw));
        for (int i = 0; i < kRows; ++i)
            array->AddValue(XVariant(i));
        scene = toolkit.Open(platform::DevicePathFromHost((folder / "grid.box").string()));
        if (!scene) return;
        grid = scene->GetBoxById(oxAtoms::Intern(u"grid"), false);
        XVariant value(static_cast<XObject*>(array.get()));
        scene->GetSceneObject()->SetPropertyByName(u"numbers", &value);
        platform::headless::RunUntilIdle();
        layout = grid ? dynamic_cast<oxDataGridLayout*>(grid->GetLayout()) : nullptr;
    }
    ~GridScene() {
        if (scene) bench_support::Toolkit::Close(scene);
        array = RefPtr<NUBO::XArray>();
        std::filesystem::remove_all(folder);
    }
    bool Ok() const { return layout && layout->GetRowCount() == kRows && layout->GetRowsPerPage() > 0; }
    // The first `rows per page` rows from `first` show their own numbers, stacked from the top.
    bool Shows(int first) const {
        if (layout->GetFirstVisibleRow() != first) return false;
        const int32_t top = layout->GetRowBox(first)->GetBoxRect().y;
        for (int k = 0; k < layout->GetRowsPerPage(); ++k) {
            oxBox* row = layout->GetRowBox(first + k);
            const WCHAR* label = row ? row->GetAttribute(kAtomLabel) : nullptr;
            if (!label || std::u16string(label) != std::u16string(u"") + NumberText(first + k)) return false;
            if (row->GetBoxRect().y != top + 40 * k) return false;
        }
        return true;
    }
    static std::u16string NumberText(int n) {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }

    bench_support::Toolkit toolkit;
    std::filesystem::path folder;
    RefPtr<NUBO::XArray> array;
    oxScene* scene = nullptr;
    oxBox* grid = nullptr;
    oxDataGridLayout* layout = nullptr;
};

void PageDown(benchmark::State& state, const char* replication, const char* method = "twoWay") {
    auto s = std::make_unique<GridScene>(replication, method);
    if (!s->Ok()) {
        state.SkipWithError("the grid did not bind");
        return;
    }
    const int page = s->layout->GetRowsPerPage();
    const int last = s->layout->GetLargestFirstRow();
    int first = 0;
    for (auto _ : state) {
        first += page;
        if (first > last) {
            // Back to the top of a list not shown yet: lazy rows are made afresh.
            state.PauseTiming();
            s.reset();
            s = std::make_unique<GridScene>(replication, method);
            first = page;
            state.ResumeTiming();
        }
        s->grid->SetScrollY(first);
        platform::headless::RunUntilIdle();
    }
    if (!s->Shows(first)) state.SkipWithError("the page does not show its rows");
    state.counters["rowsPerPage"] = page;
    state.counters["rowBoxes"] = s->grid->GetChildAt(1, false)->GetChildCount();
}

void BM_DataGridPageDownLazy(benchmark::State& state) {
    PageDown(state, "lazy");
}
void BM_DataGridPageDownLazyOneWay(benchmark::State& state) {
    PageDown(state, "lazy", "oneWay");
}
void BM_DataGridPageDownFull(benchmark::State& state) {
    PageDown(state, "full");
}
void BM_DataGridPageDownRecycle(benchmark::State& state) {
    PageDown(state, "recycle");
}

BENCHMARK(BM_DataGridPageDownLazy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataGridPageDownLazyOneWay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataGridPageDownFull)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataGridPageDownRecycle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
