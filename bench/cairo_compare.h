#pragma once
// What the benchmarks against cairo share: a fixed-seed random source, a reporter that keeps the
// median CPU time of each benchmark's repetitions, the check that both sides of a cell draw the same
// picture, and the table of ours / cairo per cell against cairo's default anti-aliasing and its FAST
// mode (which samples four sub-scanlines, as ours does).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

// The bytes of a drawing surface, page-aligned as a screen or DIB is. From the heap they would start
// wherever the cells run before left it (the allocator maps the first surface and takes later ones
// from the heap), so a cell's rows would sit differently within cache lines from one selection of
// cells to another.
template <typename T> struct PageAllocator {
    using value_type = T;
    PageAllocator() = default;
    template <typename U> PageAllocator(const PageAllocator<U>&) {}
    T* allocate(size_t n) {
        void* p = std::aligned_alloc(4096, (n * sizeof(T) + 4095) & ~size_t(4095));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) { std::free(p); }
    template <typename U> bool operator==(const PageAllocator<U>&) const { return true; }
};
using SurfaceBytes = std::vector<uint8_t, PageAllocator<uint8_t>>;

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

// One side's drawing of a cell, done once on a fresh target outside the timers: the target's bytes
// before and after. 32-bit pixels are cairo's premultiplied ARGB32; 16-bit ones are 5-6-5.
struct CellPicture {
    std::vector<uint8_t> before, after;
    int width = 0, height = 0, stride = 0;
    bool rgb565 = false;
};

// The mean difference of two drawings of a cell, per channel in 0..255, over the pixels that either
// side changed: background that neither touched would only dilute it. -1 when the two cannot be
// compared (other sizes or formats).
inline double MeanDifference(const CellPicture& a, const CellPicture& b) {
    if (a.width != b.width || a.height != b.height || a.stride != b.stride || a.rgb565 != b.rgb565 ||
        a.after.size() != b.after.size() || a.before != b.before || a.before.size() != a.after.size())
        return -1;
    auto channels = [&](const std::vector<uint8_t>& bytes, size_t at, int out[4]) {
        if (a.rgb565) {
            const unsigned p = bytes[at] | bytes[at + 1] << 8;
            out[0] = int((p >> 11) * 255 / 31), out[1] = int(((p >> 5) & 63) * 255 / 63),
            out[2] = int((p & 31) * 255 / 31);
            out[3] = 255;
        } else {
            for (int c = 0; c < 4; ++c)
                out[c] = bytes[at + c];
        }
    };
    const int bytesPerPixel = a.rgb565 ? 2 : 4;
    double sum = 0;
    size_t touched = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const size_t at = size_t(y) * a.stride + size_t(x) * bytesPerPixel;
            if (std::memcmp(&a.before[at], &a.after[at], bytesPerPixel) == 0 &&
                std::memcmp(&b.before[at], &b.after[at], bytesPerPixel) == 0)
                continue;
            int pa[4], pb[4];
            channels(a.after, at, pa);
            channels(b.after, at, pb);
            for (int c = 0; c < 4; ++c)
                sum += std::abs(pa[c] - pb[c]);
            ++touched;
        }
    }
    return touched ? sum / (4.0 * double(touched)) : 0;
}

// A side of a cell is a class made from the cell (cairo's also from its anti-aliasing mode) that
// holds its `surface` (with `bytes` and `stride`) and draws the cell once with `Draw(cell)`.
template <typename Side, typename Cell> void TimeSide(benchmark::State& state, Side& side, const Cell& cell) {
    for (auto _ : state) {
        side.Draw(cell);
        benchmark::DoNotOptimize(side.surface.bytes.data());
        benchmark::ClobberMemory();
    }
}

// One side's picture of a cell on a fresh surface, cairo's with its default anti-aliasing.
template <typename Ours, typename Cairo, typename Cell>
CellPicture TakePicture(const Cell& cell, bool cairo, int width, int height) {
    CellPicture p;
    auto take = [&](auto& side) {
        p.before.assign(side.surface.bytes.begin(), side.surface.bytes.end());
        side.Draw(cell);
        p.after.assign(side.surface.bytes.begin(), side.surface.bytes.end());
        p.stride = side.surface.stride;
    };
    if (cairo) {
        Cairo side(cell, false);
        take(side);
    } else {
        Ours side(cell);
        take(side);
    }
    p.width = width;
    p.height = height;
    p.rgb565 = cell.rgb565;
    return p;
}

// The three peers of a cell, registered one after the other so that they see the same machine state.
constexpr const char* kPeerOurs = "ours/";
constexpr const char* kPeerCairo = "cairo/";
constexpr const char* kPeerCairoFast = "cairo-fast/";

inline cairo_antialias_t PeerAntialias(bool fast) {
    return fast ? CAIRO_ANTIALIAS_FAST : CAIRO_ANTIALIAS_DEFAULT;
}

// Prints ours / cairo (default) and ours / cairo (FAST) per cell with the mean difference of the
// two pictures, the geometric means per group (a cell's group is the part of its name before the
// first '/') and the largest ratio to the default. A cell whose pictures differ by more than the limit
// is marked and counted as failed whatever its times. The number of failed cells.
inline int PrintComparison(const MedianCollector& collector, const std::vector<std::string>& cells,
                           const std::map<std::string, std::array<double, 2>>& differences) {
    std::printf("\nmedian CPU time per iteration\n%-34s %11s %11s %11s %8s %8s %6s\n", "cell", "ours ns", "cairo ns",
                "fast ns", "/cairo", "/fast", "diff");
    std::map<std::string, std::array<double, 3>> logs; // sum of log ratios to default and FAST, and the count
    double worst = 0;
    int unequal = 0;
    for (const std::string& c : cells) {
        const auto diff = differences.find(c);
        const double d = diff == differences.end() ? -1 : diff->second[0];
        const double limit = diff == differences.end() ? 0 : diff->second[1];
        const bool bad = d < 0 || d > limit;
        if (bad) {
            ++unequal;
            std::printf("%-34s the two pictures differ: mean difference %.2f, limit %.2f\n", c.c_str(), d, limit);
        }
        const auto o = collector.times.find(kPeerOurs + c);
        const auto t = collector.times.find(kPeerCairo + c);
        const auto f = collector.times.find(kPeerCairoFast + c);
        if (o == collector.times.end() || t == collector.times.end() || f == collector.times.end() || t->second <= 0 ||
            f->second <= 0)
            continue;
        const double rd = o->second / t->second, rf = o->second / f->second;
        worst = std::max(worst, rd);
        std::array<double, 3>& sum = logs[c.substr(0, c.find('/'))];
        sum[0] += std::log(rd);
        sum[1] += std::log(rf);
        sum[2] += 1;
        std::printf("%-34s %11.0f %11.0f %11.0f %8.3f %8.3f %6.2f%s\n", c.c_str(), o->second, t->second, f->second, rd,
                    rf, d, bad ? " UNEQUAL" : "");
    }
    for (const auto& [group, sum] : logs)
        std::printf("geometric mean %-8s /cairo %.3f  /fast %.3f  over %.0f cells\n", group.c_str(),
                    std::exp(sum[0] / sum[2]), std::exp(sum[1] / sum[2]), sum[2]);
    std::printf("largest ratio to cairo's default: %.3f\n", worst);
    if (unequal) std::printf("%d cells draw different pictures on the two sides\n", unequal);
    return unequal;
}

// Compares the pictures of every cell (`picture(cell, cairo)` draws one side once on a fresh target),
// then registers ours, cairo's and cairo FAST's run of every cell (anything with a `name`), runs them
// and prints the comparison. `ours(state, cell)`, `theirs(state, cell, fast)`. Fails when a cell's
// pictures differ by more than `limit(cell)`.
template <typename Cell, typename Ours, typename Theirs, typename Picture, typename Limit>
int RunComparison(int argc, char** argv, const std::vector<Cell>& cells, Ours ours, Theirs theirs, Picture picture,
                  Limit limit) {
    std::vector<std::string> names;
    std::map<std::string, std::array<double, 2>> differences; // the mean difference and its limit
    for (const Cell& c : cells) {
        names.push_back(c.name);
        differences[c.name] = {MeanDifference(picture(c, false), picture(c, true)), limit(c)};
        benchmark::RegisterBenchmark((kPeerOurs + c.name).c_str(), [&c, ours](benchmark::State& s) { ours(s, c); });
        benchmark::RegisterBenchmark((kPeerCairo + c.name).c_str(),
                                     [&c, theirs](benchmark::State& s) { theirs(s, c, false); });
        benchmark::RegisterBenchmark((kPeerCairoFast + c.name).c_str(),
                                     [&c, theirs](benchmark::State& s) { theirs(s, c, true); });
    }
    benchmark::Initialize(&argc, argv);
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const int unequal = PrintComparison(collector, names, differences);
    benchmark::Shutdown();
    return unequal ? 1 : 0;
}

// RunComparison over sides (see TimeSide) drawn on surfaces of width x height.
template <typename Ours, typename Cairo, typename Cell, typename Limit>
int RunSides(int argc, char** argv, const std::vector<Cell>& cells, int width, int height, Limit limit) {
    return RunComparison(
        argc, argv, cells,
        [](benchmark::State& state, const Cell& cell) {
            Ours side(cell);
            TimeSide(state, side, cell);
        },
        [](benchmark::State& state, const Cell& cell, bool fast) {
            Cairo side(cell, fast);
            TimeSide(state, side, cell);
        },
        [width, height](const Cell& cell, bool cairo) { return TakePicture<Ours, Cairo>(cell, cairo, width, height); },
        limit);
}
