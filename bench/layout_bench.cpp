// Lays out generated trees of 1,000 and 10,000 boxes: a column of rows, each row a horizontal box of
// nine children (fixed widths, flexible shares, margins and gaps), all styled inline. Reports the
// time per 1,000 boxes of a full layout from the root, of a re-layout from the root after one box
// changed its width, and of a re-layout of only the changed box's row with the placement it kept.
#include <benchmark/benchmark.h>

#include <new>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/style_rule_maps.h"

namespace {

class Scene : public oxBoxScene {
public:
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxStyleRuleMaps rules;
};

struct Tree {
    Scene scene;
    oxBox* root = nullptr;
    std::vector<oxBox*> leaves;

    explicit Tree(int boxes) {
        oxAtoms::RegisterPredefined();
        root = Make(kAtomVbox);
        root->SetStyle(u"vSpace", u"2");
        int made = 1;
        while (made < boxes) {
            oxBox* row = Make(kAtomHbox);
            row->SetStyle(u"hSpace", u"1");
            row->SetStyle(u"padding", u"1 2 1 2");
            root->AddChild(row);
            ++made;
            for (int i = 0; i < 9 && made < boxes; ++i, ++made) {
                oxBox* leaf = Make(kAtomBox);
                if (i % 3 == 0)
                    leaf->SetStyle(u"flex", u"1");
                else
                    leaf->SetStyle(u"width", i % 3 == 1 ? u"20" : u"12");
                leaf->SetStyle(u"height", u"16");
                leaf->SetStyle(u"marginLeft", u"1");
                row->AddChild(leaf);
                leaves.push_back(leaf);
            }
        }
        Layout(); // styles resolved once, as in a running scene
    }
    ~Tree() { root->Release(); }
    oxBox* Make(oxAtom tag) {
        oxBox* box = new (std::nothrow) oxBox(tag);
        box->SetScene(&scene);
        return box;
    }
    void Layout() { ArrangeLayoutRoot(root, 480, 800); }
};

void SetRate(benchmark::State& state, int boxes) {
    // Time per 1,000 boxes: an inverted rate is shown in seconds with its prefix ("12.3us").
    state.counters["per_1000_boxes"] = benchmark::Counter(double(state.iterations()) * boxes / 1000.0,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FullLayout(benchmark::State& state) {
    int boxes = int(state.range(0));
    Tree tree(boxes);
    for (auto _ : state)
        tree.Layout();
    SetRate(state, boxes);
}

void BM_RelayoutFromRootAfterOneChange(benchmark::State& state) {
    int boxes = int(state.range(0));
    Tree tree(boxes);
    oxBox* leaf = tree.leaves[tree.leaves.size() / 2 + 1];
    int w = 20;
    for (auto _ : state) {
        w = w == 20 ? 24 : 20;
        leaf->SetWidth(w);
        tree.Layout();
    }
    SetRate(state, boxes);
}

void BM_RelayoutOfTheChangedRow(benchmark::State& state) {
    int boxes = int(state.range(0));
    Tree tree(boxes);
    oxBox* leaf = tree.leaves[tree.leaves.size() / 2 + 1];
    oxBox* row = leaf->GetParent();
    int w = 20;
    for (auto _ : state) {
        w = w == 20 ? 24 : 20;
        leaf->SetWidth(w);
        oxPlacementRecord record = *row->GetPlacement();
        row->Arrange(&record);
    }
    SetRate(state, boxes);
}

BENCHMARK(BM_FullLayout)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RelayoutFromRootAfterOneChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RelayoutOfTheChangedRow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
