#pragma once
// What the benchmarks against cairo share: a fixed-seed random source, a reporter that keeps the
// median CPU time of each benchmark's repetitions, and the table of ours / cairo per cell against
// cairo's default anti-aliasing and its FAST mode (which samples four sub-scanlines, as ours does).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class BenchRandom {
public:
    explicit BenchRandom(uint64_t seed) : m_state(seed) {}
    float Range(float lo, float hi) {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * static_cast<float>((m_state >> 40) & 0xFFFFFF) / 16777216.0f;
    }

private:
    uint64_t m_state;
};

// CPU time per iteration by benchmark name: the median of the repetitions when there are several,
// else the single run. Wall time on a shared machine is too noisy to compare.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                times[name] = r.GetAdjustedCPUTime();
            else if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
                times[name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// The three peers of a cell, registered one after the other so that they see the same machine state.
constexpr const char* kPeerOurs = "ours/";
constexpr const char* kPeerCairo = "cairo/";
constexpr const char* kPeerCairoFast = "cairo-fast/";

inline cairo_antialias_t PeerAntialias(bool fast) {
    return fast ? CAIRO_ANTIALIAS_FAST : CAIRO_ANTIALIAS_DEFAULT;
}

// Prints ours / cairo (default) and ours / cairo (FAST) per cell, the geometric means per group
// (a cell's group is the part of its name before the first '/') and the largest ratio to the default.
inline void PrintComparison(const MedianCollector& collector, const std::vector<std::string>& cells) {
    std::printf("\nmedian CPU time per iteration\n%-34s %11s %11s %11s %8s %8s\n", "cell", "ours ns", "cairo ns",
                "fast ns", "/cairo", "/fast");
    std::map<std::string, std::array<double, 3>> logs; // sum of log ratios to default and FAST, and the count
    double worst = 0;
    for (const std::string& c : cells) {
        const auto o = collector.times.find(kPeerOurs + c);
        const auto d = collector.times.find(kPeerCairo + c);
        const auto f = collector.times.find(kPeerCairoFast + c);
        if (o == collector.times.end() || d == collector.times.end() || f == collector.times.end() || d->second <= 0 ||
            f->second <= 0)
            continue;
        const double rd = o->second / d->second, rf = o->second / f->second;
        worst = std::max(worst, rd);
        std::array<double, 3>& sum = logs[c.substr(0, c.find('/'))];
        sum[0] += std::log(rd);
        sum[1] += std::log(rf);
        sum[2] += 1;
        std::printf("%-34s %11.0f %11.0f %11.0f %8.3f %8.3f\n", c.c_str(), o->second, d->second, f->second, rd, rf);
    }
    for (const auto& [group, sum] : logs)
        std::printf("geometric mean %-8s /cairo %.3f  /fast %.3f  over %.0f cells\n", group.c_str(),
                    std::exp(sum[0] / sum[2]), std::exp(sum[1] / sum[2]), sum[2]);
    std::printf("largest ratio to cairo's default: %.3f\n", worst);
}

// Registers ours, cairo's and cairo FAST's run of every cell (anything with a `name`), runs them and
// prints the comparison. `ours(state, cell)`, `theirs(state, cell, fast)`.
template <typename Cell, typename Ours, typename Theirs>
int RunComparison(int argc, char** argv, const std::vector<Cell>& cells, Ours ours, Theirs theirs) {
    std::vector<std::string> names;
    for (const Cell& c : cells) {
        names.push_back(c.name);
        benchmark::RegisterBenchmark((kPeerOurs + c.name).c_str(), [&c, ours](benchmark::State& s) { ours(s, c); });
        benchmark::RegisterBenchmark((kPeerCairo + c.name).c_str(),
                                     [&c, theirs](benchmark::State& s) { theirs(s, c, false); });
        benchmark::RegisterBenchmark((kPeerCairoFast + c.name).c_str(),
                                     [&c, theirs](benchmark::State& s) { theirs(s, c, true); });
    }
    benchmark::Initialize(&argc, argv);
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    PrintComparison(collector, names);
    benchmark::Shutdown();
    return 0;
}
