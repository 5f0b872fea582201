// One keystroke in an input box that holds 1,000 characters, from the key's input to the repainted
// pixels on the screen: the key message, the typed character, the edit, the "modified" event, the
// posted update, layout, painting and the copy onto the window. Iterations alternate a typed letter
// and Backspace, so the value stays at 1,000 or 1,001 characters; every one is a keystroke. Run
// with --benchmark_repetitions=5 and read the medians.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/path_map.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "platform/win/window.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/widgets/input_box.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

void BM_KeystrokeInAThousandCharacterInputBox(benchmark::State& state) {
    setenv("TANDU_HEADLESS", "1", 1);
    auto* app = new oxApplication();
    app->AddRef();
    app->Init();
    auto resources = std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources";
    std::filesystem::create_directories(resources);
    std::string value;
    for (int i = 0; i < 1000; ++i)
        value += char('a' + i % 26);
    std::ofstream(resources / "input_box_bench.box")
        << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
           "xmlns:r=\"http://www.kestrum.com/weftly/resource.xsd\" id=\"root\"><r:library>"
           "<r:style target=\"root\" fill=\"#ffffffff\"/><r:style target=\"i\" fontFamily=\"DejaVu Sans\" "
           "fontSize=\"13\" textColor=\"#ff000000\" width=\"440\" height=\"24\"/></r:library>"
           "<input id=\"i\" value=\""
        << value << "\"/></vbox>";
    oxScene* scene = app->GetShell()->GetRuntime()->OpenSceneSimple(u"input_box_bench.box", nullptr, nullptr, nullptr,
                                                                    nullptr, false);
    platform::headless::RunUntilIdle();
    auto* box = scene ? dynamic_cast<oxInputBox*>(scene->GetBoxById(oxAtoms::Find(u"i"), false)) : nullptr;
    auto* window = scene ? dynamic_cast<oxSceneFrame*>(scene->GetWindow()) : nullptr;
    if (!box || !window || !window->GetFrame()) {
        state.SkipWithError("the scene did not open");
    } else {
        // A tap at the box's right end focuses it with the caret after the last character.
        POINT p{box->GetBoxRect().x + box->GetBoxRect().width - 2, box->GetBoxRect().y + 8};
        ClientToScreen(window->GetFrame()->GetWindow(), &p);
        platform::headless::Tap(p.x, p.y);
        platform::headless::RunUntilIdle();
        bool typed = false;
        for (auto _ : state) {
            platform::headless::Key(typed ? VK_BACK : UINT('X'));
            platform::headless::RunUntilIdle();
            typed = !typed;
        }
        const size_t length = std::u16string(box->GetAttribute(kAtomValue)).size();
        if (length != (typed ? 1001u : 1000u)) state.SkipWithError("the keystrokes did not edit the value");
    }
    app->Shutdown();
    app->Release();
    std::filesystem::remove(resources / "input_box_bench.box");
}
BENCHMARK(BM_KeystrokeInAThousandCharacterInputBox)->Unit(benchmark::kMicrosecond);

} // namespace
