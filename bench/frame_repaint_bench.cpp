// Frame repaint: one 100 x 40 dirty rectangle of a 480 x 800 scene against a full repaint, both
// through the frame's own road (invalidate, the posted update, paint into the canvas, copy onto
// the window); and the CPU an open frame uses while its loop waits for 2 s of real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <map>
#include <memory>

#include "bench/bench_smoke.h"
#include "graphics/paint/canvas.h"
#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"

namespace {

// A top-level frame over a list of rows, as a message list shows them.
class HostFrame : public oxFrame {
public:
    using oxFrame::oxFrame;
    void Create(bool hidden) override {
        if (window_) return;
        window_ = CreateWindowExW(0, kFrameWindowClass, nullptr, WS_POPUP | WS_CLIPCHILDREN, 0, 0, 480, 800, nullptr,
                                  nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!hidden) ShowWindow(window_, SW_SHOWNA);
    }
};

class ListScene : public oxBoxScene, public oxFrameSite {
public:
    ListScene() {
        RegisterFrameWindowClass();
        root = new oxBox(kAtomBox);
        root->SetChangeFlag(kChangeFramed, true);
        rects[root] = oxRect{0, 0, 480, 800};
        for (int i = 0; i < 40; ++i) {
            auto* row = new oxBox(kAtomBox);
            root->AddChild(row);
            rects[row] = oxRect{4, i * 20 + 1, 472, 18};
        }
        root->AttachSubtreeToScene(this);
        frame = std::make_unique<HostFrame>(root);
        frame->Create(false);
        platform::headless::RunUntilIdle();
    }
    ~ListScene() {
        frame.reset();
        root->Release();
        UnregisterFrameWindowClass();
    }

    bool IsSceneOpen() override { return true; }
    void LayoutScene() override {}
    void DispatchEvent(oxEvent*) override {}
    oxFrame* GetWindowBoxFrame() override { return frame.get(); }
    void UpdateWindowFrames() override { frame->Update(true); }
    oxRect GetBoxRect(oxBox* box) override { return rects[box]; }
    oxPoint GetFramePosition(oxBox* box) override {
        return box == root ? oxPoint{} : oxPoint{rects[box].x, rects[box].y};
    }
    void GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) override { *previous = *current = rects[box]; }
    void PaintBox(oxBox* box, oxCanvas* canvas) override {
        int i = 0;
        for (oxBox* b = box; b; b = b->GetNextBox(box, false, false), ++i) {
            const oxRect& r = rects[b];
            canvas->SetColor(b == root ? 0xF0F0F0 : (i & 1 ? 0x3060A0 : 0x80C0E0));
            canvas->RoundRect(float(r.x), float(r.y), float(r.Right()), float(r.Bottom()), 4.0f, 0);
        }
    }
    oxBox* HitTest(oxBox* from, const oxPoint&) override { return from; }

    oxBox* root;
    std::unique_ptr<HostFrame> frame;
    std::map<oxBox*, oxRect> rects;
};

void Setup() {
    ConfigureScreen(ScreenConfig{480, 800, 32, false, 192});
}

void BM_RepaintDirtyRect(benchmark::State& state) {
    Setup();
    ListScene scene;
    const oxRect dirty{190, 380, 99, 39}; // one unit wider and taller once in the region: 100 x 40
    for (auto _ : state) {
        scene.frame->Invalidate(&dirty, false);
        platform::headless::RunUntilIdle();
    }
}
BENCHMARK(BM_RepaintDirtyRect)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(bench_support::Repetitions(5))
    ->ReportAggregatesOnly(true);

void BM_RepaintFull(benchmark::State& state) {
    Setup();
    ListScene scene;
    for (auto _ : state) {
        scene.frame->Invalidate(nullptr, true);
        platform::headless::RunUntilIdle();
    }
}
BENCHMARK(BM_RepaintFull)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(bench_support::Repetitions(5))
    ->ReportAggregatesOnly(true);

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// An open frame whose loop waits in GetMessage for a timer 2 s away on the real clock.
void BM_IdleFrameCpu(benchmark::State& state) {
    Setup();
    platform::headless::UseRealClock();
    ListScene scene;
    for (auto _ : state) {
        SetTimer(scene.frame->GetWindow(), 7, bench_support::WaitMs(2000), nullptr);
        const double cpu = CpuSeconds();
        const uint64_t start = platform::NowMs();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.wParam == 7) break;
            DispatchMessageW(&msg);
        }
        KillTimer(scene.frame->GetWindow(), 7);
        state.counters["idle_cpu_ms"] = (CpuSeconds() - cpu) * 1000.0;
        state.counters["waited_ms"] = double(platform::NowMs() - start);
    }
}
BENCHMARK(BM_IdleFrameCpu)->Iterations(bench_support::Iterations(1))->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
