// Styles box trees of 1,000 and 10,000 boxes under 100 rules (tag rules with state and attribute
// sub-rules, named styles, some inheriting others, and id rules) and reports the time per tree;
// then changes one box's state and reports how many boxes were styled again.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/style/style_element.h"

namespace {

using markup_test::StyleScene;

constexpr int kTags = 20;
constexpr int kNames = 40;
constexpr int kTargets = 40;

std::u16string Text(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void Set(oxElement* e, const std::string& name, const std::string& value) {
    e->SetMarkupAttribute(0, oxAtoms::Intern(Text(name).c_str()), Text(value).c_str());
}

oxStyleElement* AddRule(StyleScene& scene, const std::string& key, const std::string& value) {
    auto* rule = new oxStyleElement(kAtomStyle, &scene, nullptr);
    Set(rule, key, value);
    scene.AddResource(rule);
    return rule;
}

// 20 tag rules (each with a hovered and an attribute sub-rule), 40 named styles (every other one
// inheriting the one before it) and 40 id rules: 100 rules.
void AddRules(StyleScene& scene) {
    for (int t = 0; t < kTags; ++t) {
        oxStyleElement* rule = AddRule(scene, "tag", "t" + std::to_string(t));
        Set(rule, "fill", "#" + std::to_string(100000 + t));
        Set(rule, "margin", "1 2 3 4");
        Set(rule, "textColor", "red");
        oxElement* hovered = nullptr;
        rule->CreateChildElement(0, kAtomHovered, &hovered);
        Set(hovered, "fill", "blue");
        oxElement* attribute = nullptr;
        rule->CreateChildElement(0, kAtomAttribute, &attribute);
        Set(attribute, "name", "kind");
        Set(attribute, "value", "primary");
        Set(attribute, "strokeWidth", "2");
    }
    for (int n = 0; n < kNames; ++n) {
        oxStyleElement* rule = AddRule(scene, "name", "n" + std::to_string(n));
        Set(rule, "id", "n" + std::to_string(n));
        Set(rule, "fontSize", std::to_string(10 + n));
        Set(rule, "padding", "2");
        if (n % 2) Set(rule, "inherits", "n" + std::to_string(n - 1));
    }
    for (int i = 0; i < kTargets; ++i) {
        oxStyleElement* rule = AddRule(scene, "target", "b" + std::to_string(i * 7));
        Set(rule, "opacity", "50");
    }
    NUBO::PtrVector<oxLibrary*> visited;
    scene.ApplyStyleElements(&scene.maps, &visited, 0);
}

// Rows of ten boxes under one root: tags, named styles and ids spread over the rules.
void BuildTree(StyleScene& scene, int boxes) {
    scene.root = scene.CreateBox(kAtomBoxNamespace, oxAtoms::Intern(u"t0"));
    oxBox* row = nullptr;
    for (int i = 1; i < boxes; ++i) {
        oxBox* box = scene.CreateBox(kAtomBoxNamespace, oxAtoms::Intern(Text("t" + std::to_string(i % kTags)).c_str()));
        box->SetId(oxAtoms::Intern(Text("b" + std::to_string(i)).c_str()));
        if (i % 3 == 0) box->SetAttribute(kAtomStyle, Text("n" + std::to_string(i % kNames)).c_str(), true, false);
        if (i % 5 == 0) box->SetAttribute(oxAtoms::Intern(u"kind"), u"primary", true, false);
        if (i % 10 == 1 || !row) {
            row = box;
            scene.root->AddChild(box);
        } else {
            row->AddChild(box);
        }
    }
    scene.running = true;
    for (oxBox* b = scene.root; b; b = b->GetNextBox(scene.root, false, false)) {
        b->SetChangeFlag(kChangeConstructed, true);
        b->OnSceneAttached();
    }
}

void StyleTree(benchmark::State& state) {
    oxAtoms::RegisterPredefined();
    StyleScene scene(nullptr, u"box://bench/scene.box");
    AddRules(scene);
    int boxes = int(state.range(0));
    BuildTree(scene, boxes);
    for (auto _ : state)
        scene.root->RestyleTree();
    state.SetItemsProcessed(int64_t(state.iterations()) * boxes);
}
BENCHMARK(StyleTree)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One box's hovered state on and off: only that box's rules test it.
void RestyleOnStateChange(benchmark::State& state) {
    oxAtoms::RegisterPredefined();
    StyleScene scene(nullptr, u"box://bench/scene.box");
    AddRules(scene);
    int boxes = int(state.range(0));
    BuildTree(scene, boxes);
    scene.root->RestyleTree();
    auto total = [&] {
        uint64_t n = 0;
        for (oxBox* b = scene.root; b; b = b->GetNextBox(scene.root, false, false))
            n += b->GetRestyleCount();
        return n;
    };
    oxBox* target = scene.FindBoxById(oxAtoms::Intern(u"b22"));
    uint64_t before = total();
    bool on = true;
    for (auto _ : state) {
        target->SetHovered(on, true);
        on = !on;
    }
    state.counters["boxes_restyled_per_change"] = double(total() - before) / double(state.iterations());
}
BENCHMARK(RestyleOnStateChange)->Arg(1000)->Arg(10000)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
