// Full layouts of one box of 1,000 and 10,000 children under each of the flow, deck, range and mdi
// layouts, all styled inline and resolved once before timing. Reports the time per 1,000 children.
//   flow: 20x16 children with gaps wrapping into rows of a 480-wide box;
//   deck: children of growing preferred sizes, the middle one shown;
//   range: one thumb and the other children, placed by a value;
//   mdi: freely placed vertical boxes scattered past every edge of the container.
#include <benchmark/benchmark.h>

#include <new>
#include "platform/crt/wide.h"

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/widgets/range_box.h"

namespace {

class Scene : public oxBoxScene {
public:
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxStyleRuleMaps rules;
};

enum Kind { kFlow, kDeck, kRange, kMdi };

struct Tree {
    Scene scene;
    oxBox* root = nullptr;

    Tree(Kind kind, int children) {
        oxAtoms::RegisterPredefined();
        oxRegisterRangeBoxKind();
        static const oxAtom kTags[] = {kAtomBox, kAtomDeck, kAtomRange, kAtomMDIContainer};
        static const WCHAR* kViews[] = {u"flow", u"deck", u"range", u"mdi"};
        root = Make(kTags[kind]);
        root->SetAttribute(kAtomView, kViews[kind], true, false);
        if (kind == kFlow) {
            root->SetStyle(u"orient", u"horizontal");
            root->SetStyle(u"hSpace", u"2");
            root->SetStyle(u"vSpace", u"2");
        }
        if (kind == kDeck) {
            WCHAR top[16];
            swprintf(top, 16, u"%d", children / 2);
            root->SetAttribute(kAtomTopIndex, top, true, false);
        }
        if (kind == kRange) {
            root->SetStyle(u"orient", u"horizontal");
            root->SetAttribute(kAtomMax, u"1000", true, false);
            root->SetAttribute(kAtomScale, u"100", true, false);
            root->SetAttribute(kAtomValue, u"400", true, false);
        }
        for (int i = 0; i < children; ++i) {
            oxBox* child = Make(kind == kRange && i == 0 ? kAtomThumb : kind == kMdi ? kAtomVbox : kAtomBox);
            WCHAR n[16];
            switch (kind) {
            case kFlow:
                child->SetStyle(u"width", u"20");
                child->SetStyle(u"height", u"16");
                break;
            case kDeck:
                swprintf(n, 16, u"%d", i % 200);
                child->SetStyle(u"width", n);
                child->SetStyle(u"height", n);
                break;
            case kRange:
                break;
            case kMdi:
                child->SetStyle(u"position", u"fixed");
                swprintf(n, 16, u"%d", (i * 37) % 700 - 100);
                child->SetStyle(u"left", n);
                swprintf(n, 16, u"%d", (i * 53) % 900 - 100);
                child->SetStyle(u"top", n);
                break;
            }
            root->AddChild(child);
        }
        Layout();
    }
    ~Tree() { root->Release(); }
    oxBox* Make(oxAtom tag) {
        oxBoxFactory factory;
        oxBox* box = factory.CreateBox(tag, 0, tag);
        box->SetScene(&scene);
        return box;
    }
    void Layout() { ArrangeLayoutRoot(root, 480, 800); }
};

void Run(benchmark::State& state, Kind kind) {
    const int children = int(state.range(0));
    Tree tree(kind, children);
    for (auto _ : state)
        tree.Layout();
    state.counters["us_per_1000_boxes"] = benchmark::Counter(double(state.iterations()) * children / 1000.0 * 1e-6,
                                                             benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Flow(benchmark::State& state) {
    Run(state, kFlow);
}
void BM_Deck(benchmark::State& state) {
    Run(state, kDeck);
}
void BM_Range(benchmark::State& state) {
    Run(state, kRange);
}
void BM_Mdi(benchmark::State& state) {
    Run(state, kMdi);
}

BENCHMARK(BM_Flow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Deck)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Range)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mdi)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
