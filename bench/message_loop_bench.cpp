// CPU used by a message loop that has nothing to do: one GetMessageW blocked for a second of real
// time until a window timer wakes it. Reported as a percentage of one core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>

#include "bench/bench_smoke.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"

namespace {

double CpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_IdleMessageLoop(benchmark::State& state) {
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        UINT_PTR id = SetTimer(nullptr, 0, bench_support::WaitMs(1000), nullptr);
        double cpuStart = CpuSeconds();
        auto wallStart = std::chrono::steady_clock::now();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) {
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        cpu += CpuSeconds() - cpuStart;
        KillTimer(nullptr, id);
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.counters["wall_s"] = wall;
}
BENCHMARK(BM_IdleMessageLoop)->Iterations(bench_support::Iterations(3))->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
