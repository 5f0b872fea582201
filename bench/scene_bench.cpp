// Scenes through the whole toolkit, in a headless 480 x 800 window: the program's first scene from
// a cold toolkit to its first painted frame; generated scenes of 1,000 and 10,000 boxes loaded,
// styled, laid out and painted once (time per 1,000 boxes and the growth of peak RSS per box), and
// laid out again after a change to one of their rows; a contact list of 40 rows built by its script,
// scrolled 10 px a frame; and the CPU an open scene uses while its loop waits for 2 s of real time.
//
// Each case runs in its own process (this file's main starts one per case unless given a
// --benchmark_filter), so that one case's heap and peak RSS do not carry into the next. Read the
// medians of the repetitions.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_smoke.h"
#include "bench/bench_toolkit.h"
#include "platform/backend/headless.h"
#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "runtime/ref_ptr.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/scripthost/script_context.h"

namespace {

namespace fs = std::filesystem;
using bench_support::Toolkit;

constexpr int kRepetitions = 5;
constexpr uint32_t kBackground = 0xF4F6FA; // the fill of every scene's root here and of main.box
constexpr uint32_t kFace = 0x5080C0;       // the first row's face, centred at (32, 84) under the task bar

uint32_t ScreenAt(int x, int y) {
    std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{x, y, x + 1, y + 1});
    return px.empty() ? 0 : px[0] & 0xFFFFFF;
}

// A folder of this process for the generated scenes, opened by their device paths ("\\tmp\\...").
fs::path SceneFolder() {
    static const fs::path folder = [] {
        fs::path f = fs::temp_directory_path() / ("tandu-scene-bench-" + std::to_string(getpid()));
        fs::create_directories(f);
        return f;
    }();
    return folder;
}

std::u16string WriteScene(const std::string& name, const std::string& text) {
    const fs::path path = SceneFolder() / name;
    std::ofstream(path) << text;
    std::u16string device = platform::WideFromUtf8(path.string());
    for (char16_t& c : device)
        if (c == u'/') c = u'\\';
    return device;
}

constexpr const char* kSceneHead = R"(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd"
      id="root" title="Bench">
  <r:library>
    <r:style target="root" fill="#fff4f6fa" padding="4"/>
    <r:style target="list" flex="1" maxHeight="auto" overflow="scroll" vSpace="2"/>
    <r:style tag="simpleText" fontSize="14" textColor="#ff203048"/>
    <r:style name="row" height="56" padding="4" hSpace="8" fill="#ffffffff" fillCornerRadius="6"/>
    <r:style name="rowAlt" height="56" padding="4" hSpace="8" fill="#ffe8ecf4" fillCornerRadius="6"/>
    <r:style name="face" width="48" height="48" fill="#ff5080c0" fillCornerRadius="24"/>
    <r:style name="words" flex="1" vSpace="2"/>
    <r:style name="name" fontBold="true"/>
    <r:style name="state" fontSize="12" textColor="#ff607080"/>
    <r:style name="badge" width="24" height="20" fill="#ffd04040" textColor="#ffffffff" fillCornerRadius="10"/>
  </r:library>
)";

// A root and a scrolling list of contact rows (an hbox of a face, a column of two texts and a
// badge: six boxes a row), styled by name, tag and id rules: `boxes` boxes in all.
std::string GeneratedScene(int boxes) {
    std::string text = kSceneHead;
    text += "  <vbox id=\"list\">\n";
    int made = 2;
    for (int row = 0; made + 6 <= boxes; ++row, made += 6) {
        const std::string n = std::to_string(row);
        text += std::string("    <hbox style=\"") + (row % 2 ? "rowAlt" : "row") + "\">";
        text += "<box style=\"face\"/><vbox style=\"words\">";
        text += "<simpleText style=\"name\" value=\"Contact " + n + "\"/>";
        text += "<simpleText style=\"state\" value=\"Available\"/></vbox>";
        text += "<simpleText style=\"badge\" value=\"" + std::to_string(row % 10) + "\"/></hbox>\n";
    }
    for (; made < boxes; ++made)
        text += "    <box style=\"face\"/>\n";
    return text + "  </vbox>\n</vbox>\n";
}

std::string StatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return line;
    return {};
}

// kB of a /proc/self/status field ("VmHWM:", "VmRSS:").
long StatusKb(const char* field) {
    std::string line = StatusField(field);
    return line.empty() ? -1 : std::atol(line.c_str() + std::strlen(field));
}

// Sets the peak RSS back to the current RSS; false where the kernel does not offer it.
bool ResetPeakRss() {
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

// (1) From a stopped toolkit to the first painted frame of resources/main.box: the toolkit's start,
// the Shell, the scene's load, style, layout and paint. The stop runs outside the timer.
void BM_StartUpToFirstFrame(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    for (auto _ : state) {
        auto* toolkit = new Toolkit();
        oxScene* scene = toolkit->Ok() ? toolkit->Open(u"main.box", u"main") : nullptr;
        state.PauseTiming();
        const bool painted = scene && ScreenAt(470, 400) == kBackground;
        delete toolkit;
        if (!painted) {
            state.SkipWithError("main.box was not painted");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToFirstFrame)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

constexpr int kSmallScene = 20;

// The peak RSS growth of one open of a scene (laid out and painted), in kB; -1 when the peak cannot
// be reset.
long PeakRssGrowthKb(Toolkit& toolkit, const std::u16string& uri) {
    if (!ResetPeakRss()) return -1;
    const long before = StatusKb("VmHWM:");
    oxScene* scene = toolkit.Open(uri);
    const long after = StatusKb("VmHWM:");
    if (!scene) return -1;
    Toolkit::Close(scene);
    return before < 0 || after < 0 ? -1 : after - before;
}

// (2) A generated scene opened, styled, laid out and painted once; closing it is not timed. The
// first open of the size gives the growth of the peak RSS per box, after a small scene has been
// opened and closed twice: that leaves the window's buffers (1.5 MB, which every scene has) in the
// heap for the next window, as a running program has them.
void BM_LoadGeneratedScene(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    const int boxes = int(state.range(0));
    Toolkit toolkit;
    const std::u16string small = WriteScene("small.box", GeneratedScene(kSmallScene));
    const std::u16string uri = WriteScene("scene" + std::to_string(boxes) + ".box", GeneratedScene(boxes));
    static std::map<int, double> rssPerBoxOfSize; // the first open of each size in the process
    auto [known, fresh] = rssPerBoxOfSize.try_emplace(boxes, -1);
    if (fresh) {
        for (int i = 0; i < 2; ++i)
            if (oxScene* warm = toolkit.Open(small)) Toolkit::Close(warm);
        const long growth = PeakRssGrowthKb(toolkit, uri);
        if (growth >= 0) known->second = double(growth) * 1024.0 / boxes;
    }
    for (auto _ : state) {
        oxScene* scene = toolkit.Open(uri);
        state.PauseTiming();
        // Right of the rows lies the root's 4 px padding.
        const bool painted = scene && ScreenAt(478, 400) == kBackground && ScreenAt(32, 84) == kFace;
        if (scene) Toolkit::Close(scene);
        if (!painted) {
            state.SkipWithError("the scene was not painted");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["rss_bytes_per_box"] = known->second;
    state.counters["per_1000_boxes"] = benchmark::Counter(
        double(boxes) / 1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadGeneratedScene)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

// A change to the middle row of an open generated scene, made in turns 0 and 1 alternately; `shows`
// checks that a turn reached the layout.
struct RowChange {
    std::function<void(int turn)> make;
    std::function<bool(int turn)> shows;
};

// Opens the generated scene of state.range(0) boxes and times the row's change and the layout pass
// that runs at once. The repaint that the change asks for waits for the loop, outside the timer; it
// is one update however many changes come before it.
void TimeRowChange(benchmark::State& state, const std::function<RowChange(oxBox* list, oxBox* row)>& prepare) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    const int boxes = int(state.range(0));
    Toolkit toolkit;
    oxScene* scene = toolkit.Open(WriteScene("scene" + std::to_string(boxes) + ".box", GeneratedScene(boxes)));
    oxBox* list = scene ? scene->GetBoxById(oxAtoms::Find(u"list"), false) : nullptr;
    oxBox* row = list ? list->GetChildAt(list->GetChildCount() / 2, false) : nullptr;
    const RowChange change = row ? prepare(list, row) : RowChange{};
    if (!change.make) {
        state.SkipWithError("the generated scene did not open");
        return;
    }
    for (int turn : {0, 1}) {
        change.make(turn);
        scene->Layout();
        if (!change.shows(turn)) {
            state.SkipWithError("the changed row was not laid out");
            return;
        }
    }
    int turn = 0;
    for (auto _ : state) {
        change.make(turn ^= 1);
        scene->Layout();
    }
    platform::headless::RunUntilIdle();
    Toolkit::Close(scene);
}

// (2b) The name of the middle row takes a longer text and back: the row's words are laid out again.
void BM_ChangeOneRow(benchmark::State& state) {
    TimeRowChange(state, [](oxBox*, oxBox* row) {
        oxBox* words = row->GetChildAt(1, false);
        oxBox* name = words ? words->GetChildAt(0, false) : nullptr;
        if (!name) return RowChange{};
        const std::u16string texts[2] = {
            u"Contact " + platform::WideFromUtf8(std::to_string(row->GetIndex())) + u" is away", u"Contact"};
        // The name takes the width its text measures.
        return RowChange{[=](int turn) { name->SetAttribute(kAtomValue, texts[turn].c_str(), true, false); },
                         [=](int) { return name->GetBoxRect().width == name->GetIntrinsicSize().x; }};
    });
}
BENCHMARK(BM_ChangeOneRow)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

// (2c) The middle row takes a new height and back: the rows after it move, the others stay.
void BM_ResizeOneRow(benchmark::State& state) {
    TimeRowChange(state, [](oxBox* list, oxBox* row) {
        oxBox* next = list->GetChildAt(row->GetIndex() + 1, false);
        if (!next) return RowChange{};
        static const char16_t* const heights[2] = {u"80", u"100"}; // both above what the row's content needs
        // The row takes the height with its padding, and the next row follows it.
        return RowChange{[=](int turn) { row->SetStyle(u"height", heights[turn]); },
                         [=](int turn) {
                             const int32_t h = row->GetBoxRect().height;
                             return h == _wtoi(heights[turn]) + 8 &&
                                    next->GetBoxRect().y == row->GetBoxRect().y + h + 2;
                         }};
    });
}
BENCHMARK(BM_ResizeOneRow)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

// The demo's contact list: forty rows built by the scene's script from its arrays.
constexpr const char* kContactScript = R"(var scene = shell.getSceneByName("contacts");
var names = ["Ada", "Bram", "Cleo", "Dario", "Esme", "Farid", "Gita", "Hugo", "Ines", "Jory"];
var states = ["Available", "Away", "Busy", "Offline"];
var list = scene.getBoxById("list");
for (var i = 0; i < 40; ++i) {
    var row = scene.createBox("hbox");
    row.setAttribute("style", i % 2 ? "rowAlt" : "row");
    var face = scene.createBox("box");
    face.setAttribute("style", "face");
    var words = scene.createBox("vbox");
    words.setAttribute("style", "words");
    var name = scene.createBox("simpleText");
    name.setAttribute("style", "name");
    name.setAttribute("value", names[i % 10] + " " + (i + 1));
    var state = scene.createBox("simpleText");
    state.setAttribute("style", "state");
    state.setAttribute("value", states[i % 4]);
    var badge = scene.createBox("simpleText");
    badge.setAttribute("style", "badge");
    badge.setAttribute("value", String(i % 5));
    words.addChild(name);
    words.addChild(state);
    row.addChild(face);
    row.addChild(words);
    row.addChild(badge);
    list.addChild(row);
}
)";

// The scene lies outside the resources folder, where markup reads no script file: the script runs
// in the scene's context once the scene has opened.
std::u16string WriteContactScene() {
    return WriteScene("contacts.box", std::string(kSceneHead) + "  <vbox id=\"list\"/>\n</vbox>\n");
}

bool RunContactScript(oxRuntime* runtime, oxScene* scene) {
    oxScriptContext* raw = nullptr;
    if (!scene || runtime->GetScriptContext(kAtomJavascript, scene, false, &raw) != 0) return false;
    NUBO::RefPtr<oxScriptContext> context(raw);
    const std::u16string text = platform::WideFromUtf8(kContactScript);
    const bool ran = context->RunScript(NUBO::TWString(text.c_str()), u"", u"contacts.js") == 0;
    platform::headless::RunUntilIdle();
    return ran;
}

// One frame of a scroll: the list moves by 10 px and asks for its repaint, which the window's
// update paints.
void ScrollFrame(oxScene* scene, oxBox* list) {
    (void)scene;
    list->ScrollByY(10);
    platform::headless::RunUntilIdle();
}

// (3) The contact list scrolled by 10 px a frame: the scroll, the layout and the repaint of the
// window. At the end of the list it goes back to the top outside the timer.
void BM_ScrollContactList(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    Toolkit toolkit;
    oxScene* scene = toolkit.Open(WriteContactScene(), u"contacts");
    oxBox* list =
        RunContactScript(toolkit.Runtime(), scene) ? scene->GetBoxById(oxAtoms::Find(u"list"), false) : nullptr;
    if (!list || list->GetChildCount() != 40) {
        state.SkipWithError("the contact list was not built");
        return;
    }
    // A scroll that paints nothing new would measure nothing.
    const std::vector<uint32_t> before = platform::headless::ReadScreen(RECT{0, 0, 480, 800});
    ScrollFrame(scene, list);
    if (list->GetScrollY() != 10 || platform::headless::ReadScreen(RECT{0, 0, 480, 800}) == before) {
        state.SkipWithError("scrolling did not repaint the list");
        return;
    }
    for (auto _ : state) {
        const int32_t at = list->GetScrollY();
        ScrollFrame(scene, list);
        if (list->GetScrollY() == at) { // the end of the list
            state.PauseTiming();
            list->SetScrollY(0);
            ScrollFrame(scene, list);
            state.ResumeTiming();
        }
    }
    Toolkit::Close(scene);
}
BENCHMARK(BM_ScrollContactList)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(bench_support::Repetitions(kRepetitions))
    ->ReportAggregatesOnly(true);

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// (4) The contact list open and idle: its loop waits in GetMessage for a timer 2 s away on the real
// clock; the CPU time the process used meanwhile.
void BM_IdleSceneCpu(benchmark::State& state) {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
    platform::headless::UseRealClock();
    Toolkit toolkit;
    oxScene* scene = toolkit.Open(WriteContactScene(), u"contacts");
    if (!scene) {
        state.SkipWithError("the contact list did not open");
        return;
    }
    for (auto _ : state) {
        const UINT_PTR timer = SetTimer(nullptr, 0, bench_support::WaitMs(2000), nullptr);
        const double cpu = CpuSeconds();
        const uint64_t start = platform::NowMs();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.wParam == timer) break;
            DispatchMessageW(&msg);
        }
        KillTimer(nullptr, timer);
        const double used = CpuSeconds() - cpu;
        const double waited = double(platform::NowMs() - start) / 1000.0;
        state.counters["idle_cpu_ms"] = used * 1000.0;
        state.counters["idle_cpu_percent"] = waited > 0 ? used / waited * 100.0 : 0;
    }
    Toolkit::Close(scene);
}
BENCHMARK(BM_IdleSceneCpu)
    ->Iterations(bench_support::Iterations(1))
    ->Repetitions(bench_support::Repetitions(3))
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

bool HasFilter(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_filter", 18) == 0) return true;
    return false;
}

} // namespace

// Without a filter, each case runs in a process of its own: this program again, given that case.
int main(int argc, char** argv) {
    if (!HasFilter(argc, argv)) {
        const char* cases[] = {"BM_StartUpToFirstFrame", "BM_LoadGeneratedScene/1000", "BM_LoadGeneratedScene/10000",
                               "BM_ChangeOneRow/1000",   "BM_ChangeOneRow/10000",      "BM_ResizeOneRow/1000",
                               "BM_ResizeOneRow/10000",  "BM_ScrollContactList",       "BM_IdleSceneCpu"};
        int status = 0;
        for (const char* name : cases) {
            std::fflush(stdout);
            pid_t pid = fork();
            if (pid == 0) {
                std::vector<std::string> args(argv, argv + argc);
                args.push_back(std::string("--benchmark_filter=^") + name + "(/|$)");
                std::vector<char*> raw;
                for (std::string& a : args)
                    raw.push_back(a.data());
                raw.push_back(nullptr);
                const std::string self = platform::ProgramHostPath();
                execv(self.c_str(), raw.data());
                _exit(127);
            }
            int result = 0;
            if (pid < 0 || waitpid(pid, &result, 0) < 0 || !WIFEXITED(result) || WEXITSTATUS(result) != 0) status = 1;
        }
        return status;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(SceneFolder(), ignored);
    return 0;
}
