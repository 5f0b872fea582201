// A datagrid over a live array of 10,000 numbers on a 480 x 800 screen, scrolled down a page at a
// time; each frame is the scroll (the pass over the new page) and the paint of the grid through the
// box painter. Row boxes are made lazily, when a page first shows them:
//   cold: every page is new, so each frame also makes its 20 rows (two cells each, their value
//         text written from the array);
//   warm: the rows were all made on an earlier walk; the frame lays out and paints only.
// The rows come from bound rows of the benchmark's own that make a row box per array item, as
// the binding's row tree does. Checks after the walk that the page shows the rows it should.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/crt/wide.h"
#include "runtime/live_array.h"
#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/datagrid_layout.h"
#include "toolkit/core/row_source.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/paint/box_painter.h"

namespace {

constexpr int kWidth = 480, kHeight = 800, kRows = 10000, kRowHeight = 40;

class Scene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        oxBox* box = new oxBox(tag);
        box->SetScene(this);
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxStyleRuleMaps rules;
};

// Row boxes made on demand from the array's items.
class ArrayRows final : public oxRowSource {
public:
    ArrayRows(Scene* scene, oxBox* container, NUBO::XLiveArray* array)
        : scene_(scene), container_(container), array_(array) {}
    int CountRows() override { return array_->Count(); }
    oxBox* GetRowBoxAt(int row) override {
        if (row < 0 || row >= CountRows()) return nullptr;
        if (size_t(row) >= boxes_.size()) boxes_.resize(size_t(CountRows()), nullptr);
        if (oxBox* made = boxes_[size_t(row)]) return made;
        NUBO::XVariant value;
        array_->GetValueAt(row, &value);
        WCHAR text[16];
        swprintf(text, 16, u"%d", value.ToInt32());
        oxBox* box = scene_->CreateBox(kAtomBoxNamespace, kAtomBox);
        box->SetStyle(u"fill", row % 2 ? u"#ffeeeeee" : u"#ffffffff");
        oxBox* key = scene_->CreateBox(kAtomBoxNamespace, kAtomBox);
        key->SetStyle(u"fill", u"#ff3366cc");
        key->SetStyle(u"flex", u"1");
        key->SetAttribute(kAtomValue, text, true, false);
        oxBox* label = scene_->CreateBox(kAtomBoxNamespace, kAtomBox);
        label->SetStyle(u"flex", u"1");
        label->SetAttribute(kAtomValue, text, true, false);
        box->AddChild(key);
        box->AddChild(label);
        container_->AddChild(box);
        boxes_[size_t(row)] = box;
        return box;
    }
    int FindRowOfBox(oxBox* box, bool) override {
        for (size_t i = 0; i < boxes_.size(); ++i)
            if (boxes_[i] && (boxes_[i] == box || boxes_[i]->IsAncestorOf(box))) return int32_t(i);
        return -1;
    }
    int GetRowLevel(int) override { return 0; }

private:
    Scene* scene_;
    oxBox* container_;
    NUBO::XLiveArray* array_;
    std::vector<oxBox*> boxes_;
};

struct Grid {
    Scene scene;
    NUBO::XLiveArray* array = nullptr;
    oxBox* root = nullptr;
    oxBox* rows = nullptr;
    ArrayRows* source = nullptr;

    Grid() {
        oxAtoms::RegisterPredefined();
        NUBO::XObject* made = nullptr;
        NUBO::CreateXLiveArray(&made);
        array = static_cast<NUBO::XLiveArray*>(made);
        for (int i = 0; i < kRows; ++i) {
            NUBO::XVariant v(i);
            array->AddValue(v);
        }
        root = scene.CreateBox(kAtomBoxNamespace, kAtomBox);
        root->SetAttribute(kAtomView, u"datagrid", true, false);
        root->SetStyle(u"overflow", u"scroll");
        oxBox* columns = scene.CreateBox(kAtomBoxNamespace, kAtomColumns);
        oxBox* c1 = scene.CreateBox(kAtomBoxNamespace, kAtomBox);
        c1->SetStyle(u"width", u"120");
        oxBox* c2 = scene.CreateBox(kAtomBoxNamespace, kAtomBox);
        c2->SetStyle(u"width", u"352");
        columns->AddChild(c1);
        columns->AddChild(c2);
        root->AddChild(columns);
        rows = scene.CreateBox(kAtomBoxNamespace, kAtomRows);
        root->AddChild(rows);
        rows->SetStyle(u"height", u"400000"); // every row 40 high
        source = new ArrayRows(&scene, rows, array);
        oxSetRowSource(rows, source);
        ArrangeLayoutRoot(root, kWidth, kHeight);
    }
    ~Grid() {
        oxSetRowSource(rows, nullptr);
        root->Release();
        delete source;
        array->Release();
    }
    oxDataGridLayout* Layout() { return static_cast<oxDataGridLayout*>(root->GetLayout()); }
};

struct Screen {
    std::vector<uint32_t> pixels;
    oxPixelBuffer buffer;
    oxCanvas canvas;
    Screen() : pixels(size_t(kWidth) * kHeight) {
        buffer.InitExternal(pixels.data(), kWidth * 4, kWidth, kHeight, 32, 4, true);
        canvas.AttachTarget(buffer);
    }
};

bool PageShows(Grid& grid, int32_t first) {
    oxDataGridLayout* layout = grid.Layout();
    if (layout->GetFirstVisibleRow() != first) return false;
    for (int k = 0; k < layout->GetRowsPerPage(); ++k) {
        oxBox* row = layout->GetRowBox(first + k);
        if (!row || row->GetBoxRect().y != k * kRowHeight) return false;
        const WCHAR* text = row->GetChildAt(0, false)->GetAttributeText(kAtomValue);
        if (!text || _wtoi(text) != first + k) return false;
    }
    return true;
}

void PageDown(benchmark::State& state, bool warm) {
    oxBoxPainter::InstallPaintServices();
    Screen screen;
    auto grid = std::make_unique<Grid>();
    const int32_t page = grid->Layout()->GetRowsPerPage(), last = grid->Layout()->GetLargestFirstRow();
    auto walk = [&] {
        for (int32_t first = 0; first <= last; first += page)
            grid->root->SetScrollY(first);
        grid->root->SetScrollY(0);
    };
    if (warm) walk();
    int32_t first = 0;
    for (auto _ : state) {
        first += page;
        if (first > last) {
            state.PauseTiming();
            if (!warm) grid = std::make_unique<Grid>();
            grid->root->SetScrollY(0);
            first = page;
            state.ResumeTiming();
        }
        grid->root->SetScrollY(first);
        grid->root->Paint(&screen.canvas);
    }
    if (!PageShows(*grid, first)) state.SkipWithError("the page does not show its rows");
    // The key cells were painted down the left.
    if ((screen.pixels[size_t(kHeight / 2) * kWidth + 10] & 0xFFFFFFu) != 0x3366CCu)
        state.SkipWithError("the rows were not painted");
    state.counters["rowsPerPage"] = page;
}

void BM_DataGridPageDownCold(benchmark::State& state) {
    PageDown(state, false);
}
void BM_DataGridPageDownWarm(benchmark::State& state) {
    PageDown(state, true);
}

BENCHMARK(BM_DataGridPageDownCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataGridPageDownWarm)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
