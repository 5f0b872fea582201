// Data-bound lists through the real toolkit in a headless window. A repeater makes 1,000 rows of a
// five-box template (boxes made, fields written, styles resolved, laid out), beside a peer that
// makes the same boxes with the same attribute values by hand and lays them out the same way; and
// one changed item of a live array of 1,000 or of 10,000 rows, which should cost the same at both
// sizes because only its own row is written again; the same change made by a scene script over a
// live array that the script filled, beside it. Read the medians of the repetitions
// A select box over a bound collection of 1,000 or 10,000 rows takes one key step of the built-in
// selection commands, the cursor scrolled into view and the scene laid out again, per iteration.
// (--benchmark_repetitions=5 --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_toolkit.h"
#include "platform/shell/path_map.h"
#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_constructors.h"
#include "runtime/script_dictionary.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/widgets/builtin_command_handler.h"
#include "toolkit/widgets/select_box.h"

namespace {

using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

const char* kScene =
    "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"root\">\n"
    "  <vbox id=\"list\">\n"
    "    <binding collectionSource=\"people\" key=\"id\">\n"
    "      <template><hbox label=\"{name}\" tag=\"{id}\">\n"
    "        <box value=\"{name}\"/><box value=\"{status}\"/><box value=\"{time}\"/><box value=\"{id}\"/>\n"
    "      </hbox></template>\n"
    "    </binding>\n"
    "  </vbox>\n"
    "</vbox>\n";

// The same rows as controls in a scrolling select box.
const char* kSelectScene =
    "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"root\">\n"
    "  <select id=\"list\" selectMode=\"multiple\" height=\"300\" maxHeight=\"300\" overflow=\"scroll\">\n"
    "    <binding collectionSource=\"people\" key=\"id\">\n"
    "      <template><control selectableMode=\"item\" height=\"20\" label=\"{name}\" value=\"{id}\">\n"
    "        <box value=\"{name}\"/><box value=\"{status}\"/>\n"
    "      </control></template>\n"
    "    </binding>\n"
    "  </select>\n"
    "</vbox>\n";

std::u16string Text(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

XObject* MakeRow(int i, const char* status) {
    XObject* row = nullptr;
    NUBO::CreateXDictionary(&row);
    const std::u16string fields[][2] = {{u"id", u"r" + Text(std::to_string(i))},
                                        {u"name", u"Contact " + Text(std::to_string(i))},
                                        {u"status", Text(status)},
                                        {u"time", u"12:" + Text(std::to_string(i % 60))}};
    for (const auto& f : fields) {
        XVariant v(f[1].c_str());
        row->SetPropertyByName(f[0].c_str(), &v);
    }
    return row;
}

NUBO::XArray* MakeArray(int rows) {
    XObject* raw = nullptr;
    NUBO::CreateXLiveArray(&raw);
    auto* array = static_cast<NUBO::XArray*>(raw);
    for (int i = 0; i < rows; ++i) {
        RefPtr<XObject> row(MakeRow(i, "online"));
        array->AddValue(XVariant(row.get()));
    }
    return array;
}

// A toolkit with the list scene open and the array published as "people".
struct ListScene {
    explicit ListScene(int rows, const char* markup = kScene) {
        folder = std::filesystem::temp_directory_path() / ("tandu-binding-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "list.box") << markup;
        NUBO::XObject* constructor = nullptr;
        if (NUBO::CreateLiveArrayConstructor(&constructor) == 0) {
            toolkit.Shell()->AddNamedObject(NUBO::TWString(u"liveArray"), constructor);
            constructor->Release();
        }
        scene = toolkit.Open(platform::DevicePathFromHost((folder / "list.box").string()));
        array = RefPtr<NUBO::XArray>(MakeArray(rows));
        if (!scene) return;
        list = scene->GetBoxById(oxAtoms::Intern(u"list"), false);
        binding = list ? static_cast<oxBindingElement*>(list->GetDataBindingAt(0)) : nullptr;
        XVariant value(static_cast<XObject*>(array.get()));
        scene->GetSceneObject()->SetPropertyByName(u"people", &value);
        scene->Layout();
    }
    ~ListScene() {
        if (scene) bench_support::Toolkit::Close(scene);
        array = RefPtr<NUBO::XArray>();
        std::filesystem::remove_all(folder);
    }
    bool Ok() const { return scene && binding && binding->IsConnected(); }

    bench_support::Toolkit toolkit;
    std::filesystem::path folder;
    oxScene* scene = nullptr;
    oxBox* list = nullptr;
    oxBindingElement* binding = nullptr;
    RefPtr<NUBO::XArray> array;
};

// The rows are built again from the array: every old row box goes (outside the timer), then the
// rows are made, written, styled and laid out.
void BM_RepeaterBuildsRows(benchmark::State& state) {
    const int rows = int(state.range(0));
    ListScene s(rows);
    if (!s.Ok()) {
        state.SkipWithError("the list did not bind");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        s.binding->GetRowTree()->Detach();
        s.scene->Layout();
        state.ResumeTiming();
        s.binding->Transfer(s.list, 0, true);
        s.scene->Layout();
    }
    if (s.list->GetChildCount() != rows) state.SkipWithError("not one box per row");
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_RepeaterBuildsRows)->Arg(1000)->Unit(benchmark::kMillisecond);

// The peer: the same five boxes per row with the same attribute values, made and written by hand
// and put into the list together, as the repeater does.
void BM_HandBuiltRows(benchmark::State& state) {
    const int rows = int(state.range(0));
    ListScene s(rows);
    if (!s.Ok()) {
        state.SkipWithError("the list did not bind");
        return;
    }
    s.binding->Unbind();
    const oxAtom label = oxAtoms::Intern(u"label"), tag = oxAtoms::Intern(u"tag"), value = oxAtoms::Intern(u"value");
    for (auto _ : state) {
        state.PauseTiming();
        s.list->DestroyChildren();
        s.scene->Layout();
        state.ResumeTiming();
        std::vector<oxBox*> made;
        for (int i = 0; i < rows; ++i) {
            XVariant row;
            s.array->GetValueAt(i, &row);
            RefPtr<XObject> fields(row.ToXObject());
            XVariant id, name, status, time;
            fields->GetPropertyByName(u"id", &id);
            fields->GetPropertyByName(u"name", &name);
            fields->GetPropertyByName(u"status", &status);
            fields->GetPropertyByName(u"time", &time);
            oxBox* hbox = s.scene->CreateBox(kAtomBoxNamespace, kAtomHbox);
            hbox->SetAttribute(label, name.ToString().GetString(), true, false);
            hbox->SetAttribute(tag, id.ToString().GetString(), true, false);
            for (const XVariant* v : {&name, &status, &time, &id}) {
                oxBox* child = s.scene->CreateBox(kAtomBoxNamespace, kAtomBox);
                child->SetAttribute(value, v->ToString().GetString(), true, false);
                hbox->AddChild(child, nullptr, false);
            }
            made.push_back(hbox);
        }
        s.list->InsertChildrenAt(0, made.data(), int(made.size()), nullptr, false);
        s.scene->Layout();
    }
    if (s.list->GetChildCount() != rows) state.SkipWithError("not one box per row");
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_HandBuiltRows)->Arg(1000)->Unit(benchmark::kMillisecond);

// One item of the live array replaced: its row box is written again, nothing else.
void BM_OneItemChanges(benchmark::State& state) {
    const int rows = int(state.range(0));
    ListScene s(rows);
    if (!s.Ok()) {
        state.SkipWithError("the list did not bind");
        return;
    }
    RefPtr<XObject> away(MakeRow(rows / 2, "away")), online(MakeRow(rows / 2, "online"));
    oxBox* row = s.binding->GetRowTree()->GetRowBoxAt(rows / 2);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        s.array->ReplaceValue(rows / 2, XVariant(flip ? away.get() : online.get()));
    }
    const WCHAR* shown = row->GetChildAt(1, false)->GetAttribute(oxAtoms::Intern(u"value"));
    std::u16string expected = flip ? u"away" : u"online";
    if (!shown || expected != shown) state.SkipWithError("the row did not follow its item");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneItemChanges)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The same change from the scene's script: the script fills its own live array, publishes it, and
// each iteration runs one call that replaces the middle item.
void BM_OneItemChangesFromScript(benchmark::State& state) {
    const int rows = int(state.range(0));
    ListScene s(0);
    oxScriptContext* raw = nullptr;
    if (!s.scene || s.toolkit.Runtime()->GetScriptContext(kAtomJavascript, s.scene, false, &raw) != 0 || !raw) {
        state.SkipWithError("the scene has no script context");
        return;
    }
    RefPtr<oxScriptContext> context(raw);
    std::u16string setup = u"var people = new liveArray(), n = " + Text(std::to_string(rows)) +
                           u", flip = false;"
                           u"for (var i = 0; i < n; i++) people.addValue({id: 'r' + i, name: 'Contact ' + i,"
                           u"  status: 'online', time: '12:00'});"
                           u"function change() { flip = !flip; var k = n >> 1;"
                           u"  people.setValue(k, {id: 'r' + k, name: 'Contact ' + k, status: flip ? 'away' : 'online',"
                           u"  time: '12:00'}); return 0; }"
                           u"people";
    XVariant made;
    if (FAILED(context->Evaluate(NUBO::TWString(setup.c_str()), u"", &made))) {
        state.SkipWithError("the script failed");
        return;
    }
    // The script's array is published in the scene, as `scene.people = people` does.
    s.scene->GetSceneObject()->SetPropertyByName(u"people", &made);
    if (!s.Ok() || s.list->GetChildCount() != rows) {
        state.SkipWithError("the list did not bind");
        return;
    }
    oxBox* row = s.binding->GetRowTree()->GetRowBoxAt(rows / 2);
    NUBO::TWString call(u"change()");
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        XVariant result;
        if (FAILED(context->Evaluate(call, u"", &result))) state.SkipWithError("the script failed");
    }
    const WCHAR* shown = row->GetChildAt(1, false)->GetAttribute(oxAtoms::Intern(u"value"));
    std::u16string expected = flip ? u"away" : u"online";
    if (!shown || expected != shown) state.SkipWithError("the row did not follow its item");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneItemChangesFromScript)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One key step: the built-in command on the select box (cursor and selection moved, rows marked,
// the select events raised, the cursor row scrolled into view), then the scene's layout pass. At
// the last row the cursor goes back to the top outside the timer.
void BM_SelectBoxKeyStep(benchmark::State& state, const WCHAR* command) {
    const int rows = int(state.range(0));
    ListScene s(rows, kSelectScene);
    auto* select = dynamic_cast<oxSelectBox*>(s.list);
    oxBuiltinCommandHandler* handler = oxBuiltinCommandHandler::GetInstance();
    if (!s.Ok() || !select || select->GetRowCount() != rows || !handler) {
        state.SkipWithError("the select box did not bind");
        return;
    }
    oxSelectionModel* model = select->GetSelectionModel();
    model->MoveCursor(0, 1, false);
    s.scene->Layout();
    int expected = 0;
    for (auto _ : state) {
        if (expected == rows - 1) {
            state.PauseTiming();
            model->MoveCursor(0, 1, false);
            s.scene->Layout();
            expected = 0;
            state.ResumeTiming();
        }
        oxDOMEvent event(kAtomCommand, select->GetRowBox(expected), nullptr);
        handler->ExecuteCommand(command, &event);
        s.scene->Layout();
        ++expected;
    }
    if (model->GetCursor() != expected) state.SkipWithError("the cursor did not follow the keys");
    oxBox* cursor = select->GetRowBox(expected);
    const int32_t top = cursor ? cursor->GetPacked(0).y - select->GetScrollY() : -1;
    if (top < 0 || top + 20 > 300) state.SkipWithError("the cursor row is out of view");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_SelectBoxKeyStep, SelectDown, u"SelectDown")->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SelectBoxKeyStep, SelectDownExtend, u"SelectDownExtend")
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SelectBoxKeyStep, CursorDown, u"CursorDown")->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
