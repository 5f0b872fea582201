// The messenger as a person meets it, through the program's own start-up in a headless window against
// the demo service on loopback: the start to the painted sign-in screen, a sign-in to the painted
// contact list, a sent message to its painted bubble, and one painted frame of the list scrolled.
// Each times the program's whole road (scripts, network, layout, painting); the loop is pumped until
// the screen shows the result.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/win_main.h"
#include "bench/bench_smoke.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/registry.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/pump.h"
#include "platform/tests/test_service.h"
#include "platform/win/screen.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"

namespace {

namespace headless = platform::headless;
using Clock = std::chrono::steady_clock;

Shell* shell = nullptr;
benchmark::State* current = nullptr;
void (*body)(benchmark::State&) = nullptr;

oxBox* BoxIn(const WCHAR* sceneName, const WCHAR* id) {
    oxScene* scene = shell->GetRuntime()->FindSceneByName(sceneName);
    return scene ? scene->GetBoxById(oxAtoms::Intern(id), false) : nullptr;
}

int Children(const WCHAR* sceneName, const WCHAR* id) {
    oxBox* box = BoxIn(sceneName, id);
    return box ? box->GetChildCount() : -1;
}

// Pumps the loop until `done` holds, then until nothing is left to paint.
bool Until(const std::function<bool()>& done) {
    const bool ok = test::PumpUntil(done);
    headless::RunUntilIdle();
    return ok;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Tap(oxBox* box) {
    const RECT work = platform::shell::GetWorkArea();
    const oxPoint p = box->GetFramePosition();
    const oxRect r = box->GetBoxRect();
    headless::Tap(work.left + p.x + r.width / 2, work.top + p.y + r.height / 2);
}

bool SignIn() {
    headless::SoftKey(1);
    return Until([] { return Children(u"contacts", u"rows") == 16; });
}

// Runs the program; once its first scene is open the benchmark's body runs, then the program ends.
void RunProgram(benchmark::State& state, void (*run)(benchmark::State&)) {
    current = &state;
    body = run;
    app::SetSceneDriver([](Shell* s) {
        shell = s;
        headless::RunUntilIdle();
        body(*current);
        while (shell->GetRuntime()->GetSceneCount() > 0) // the last scene closing ends the loop
            shell->GetRuntime()->GetSceneAt(shell->GetRuntime()->GetSceneCount() - 1)->Close(true);
    });
    if (WinMain(nullptr, nullptr, nullptr, 0) != 0) state.SkipWithError("the program failed");
    app::SetSceneDriver(nullptr);
    platform::shell::ResetShell();
    shell = nullptr;
}

void SetValue(const WCHAR* sceneName, const WCHAR* id, const WCHAR* value) {
    BoxIn(sceneName, id)->SetAttribute(oxAtoms::Intern(u"value"), value, true, false);
}

// The sign-in fields filled in.
void FillSignIn() {
    SetValue(u"main", u"login", u"ann");
    SetValue(u"main", u"password", u"weft");
    headless::RunUntilIdle();
}

Clock::time_point painted;

void BM_StartToSignInPainted(benchmark::State& state) {
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        app::SetSceneDriver([](Shell* s) {
            headless::RunUntilIdle(); // laid out and painted
            painted = Clock::now();
            s->GetRuntime()->GetSceneAt(0)->Close(true);
        });
        if (WinMain(nullptr, nullptr, nullptr, 0) != 0) state.SkipWithError("the program failed");
        app::SetSceneDriver(nullptr);
        platform::shell::ResetShell();
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
    }
}

void BM_SignInToListPainted(benchmark::State& state) {
    RunProgram(state, [](benchmark::State& s) {
        for (auto _ : s) {
            FillSignIn(); // signing out forgot the password; untimed, as the time is the manual one
            const Clock::time_point start = Clock::now();
            if (!SignIn()) return s.SkipWithError("the list did not come");
            s.SetIterationTime(Seconds(start));
            headless::SoftKey(1); // sign out, untimed
            Until([] { return shell->GetRuntime()->FindSceneByName(u"contacts") == nullptr; });
        }
    });
}

void BM_SentMessageToBubblePainted(benchmark::State& state) {
    RunProgram(state, [](benchmark::State& s) {
        FillSignIn();
        if (!SignIn()) return s.SkipWithError("the list did not come");
        Tap(BoxIn(u"contacts", u"rows")->GetChildAt(0, false));
        if (!Until([] { return Children(u"conversation", u"messages") > 0; }))
            return s.SkipWithError("the conversation did not come");
        for (auto _ : s) {
            const int before = Children(u"conversation", u"messages");
            SetValue(u"conversation", u"draft", u"See you there :)");
            const Clock::time_point start = Clock::now();
            headless::SoftKey(2);
            if (!Until([before] { return Children(u"conversation", u"messages") > before; }))
                return s.SkipWithError("the bubble did not come");
            s.SetIterationTime(Seconds(start));
        }
    });
}

void BM_ListScrollFrame(benchmark::State& state) {
    RunProgram(state, [](benchmark::State& s) {
        FillSignIn();
        if (!SignIn()) return s.SkipWithError("the list did not come");
        oxBox* list = BoxIn(u"contacts", u"list");
        int y = 0;
        for (auto _ : s) {
            y = y == 0 ? 300 : 0;
            const Clock::time_point start = Clock::now();
            list->SetScrollY(y);
            headless::RunUntilIdle();
            s.SetIterationTime(Seconds(start));
        }
        if (list->GetScrollY() != y) s.SkipWithError("the list did not scroll");
    });
}

BENCHMARK(BM_StartToSignInPainted)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench_support::Iterations(20));
BENCHMARK(BM_SignInToListPainted)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench_support::Iterations(20));
BENCHMARK(BM_SentMessageToBubblePainted)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench_support::Iterations(50));
BENCHMARK(BM_ListScrollFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    test::TestService service(DEMO_SERVICE_SCRIPT, {"--control", "--reply-delay", "0"});
    if (!service.HttpsReady()) return 1;
    char folder[] = "/tmp/tandu-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("TANDU_HEADLESS", "1", 1);
    setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
    setenv("TANDU_LOGIN_URL", service.Https("/auth/").c_str(), 1);
    setenv("TANDU_REGISTRY", (std::string(folder) + "/registry.sqlite3").c_str(), 1);
    setenv("TANDU_RUNTIME_DIR", folder, 1); // no other running program takes the start over
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::registry::CloseDatabase();
    std::filesystem::remove_all(folder);
    return 0;
}
