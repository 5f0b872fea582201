// Time per frame of the canvas effects a screen uses: a box shadow of blur radius 8 around a 400 x 80
// box on a 480 x 800 canvas, and a full-screen 480 x 800 cross-fade of two pictures, in ARGB32 and
// RGB565, whole and interlaced. The shadow's masks are built once per radius by the first paint,
// outside the timer, as on screen where a box repaints with the radius it had; the cold build is
// measured apart.
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/effects/drop_shadow.h"
#include "graphics/effects/pixel_effects.h"
#include "graphics/paint/canvas.h"
#include "graphics/paint/shadow_style.h"
#include "graphics/pixels/pixel_buffer.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;

struct Surface {
    std::vector<uint8_t> bytes;
    oxPixelBuffer buffer;
    Surface(int bpp, uint32_t seed) {
        const int stride = kWidth * bpp / 8;
        bytes.resize(size_t(stride) * kHeight);
        for (size_t i = 0; i < bytes.size(); ++i, seed = seed * 1664525u + 1013904223u)
            bytes[i] = uint8_t(seed >> 24);
        buffer.InitExternal(bytes.data(), stride, kWidth, kHeight, bpp, bpp / 8, true,
                            bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
    }
};

void BoxShadow(benchmark::State& state) {
    oxCanvas canvas(kWidth, kHeight);
    const POINT offset{3, 3};
    oxShadowStyle shadow(oxShadowStyle::kShadow, 0xFF000000u, 8, 0.5f, &offset);
    const oxCanvasRect box{40, 300, 400, 80};
    shadow.Paint(&canvas, box, nullptr);
    for (auto _ : state) {
        shadow.Paint(&canvas, box, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BoxShadow)->Unit(benchmark::kMicrosecond);

void BoxShadowMasksBuilt(benchmark::State& state) {
    for (auto _ : state) {
        oxDropShadow shadow;
        benchmark::DoNotOptimize(shadow.SetRadius(8));
    }
}
BENCHMARK(BoxShadowMasksBuilt)->Unit(benchmark::kMicrosecond);

void CrossFadeFrame(benchmark::State& state) {
    const int bpp = int(state.range(0)), interlace = int(state.range(1));
    Surface first(bpp, 1), second(bpp, 2), out(bpp, 3);
    int32_t amount = 0;
    for (auto _ : state) {
        CrossFade(out.buffer, first.buffer, second.buffer, amount, interlace);
        amount = (amount + 7) & 255;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(CrossFadeFrame)
    ->ArgNames({"bpp", "interlace"})
    ->Args({32, 0})
    ->Args({32, 1})
    ->Args({16, 0})
    ->Args({16, 1})
    ->Unit(benchmark::kMicrosecond);

void ExpBlurFrame(benchmark::State& state) {
    Surface source(32, 4), out(32, 5);
    for (auto _ : state) {
        ExpBlur(out.buffer, &source.buffer, 8.0f, true, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(ExpBlurFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
