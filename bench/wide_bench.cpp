// Case-insensitive comparison and formatting: the wide runtime calls on the hottest roads (atom
// lookups compare names without case; messages and identifiers are formatted).
#include <benchmark/benchmark.h>

#include <string>

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"

static void BM_CompareNoCaseAscii(benchmark::State& state) {
    const WCHAR* a = u"backgroundColorTransform";
    const WCHAR* b = u"BACKGROUNDCOLORTRANSFORM";
    for (auto _ : state)
        benchmark::DoNotOptimize(_wcsicmp(a, b));
}
BENCHMARK(BM_CompareNoCaseAscii);

static void BM_CompareNoCaseCyrillic(benchmark::State& state) {
    const WCHAR* a = u"\u041F\u0440\u0438\u0432\u0435\u0442\u041C\u0438\u0440\u0412\u0441\u0435\u043C";
    const WCHAR* b = u"\u043F\u0420\u0418\u0412\u0415\u0422\u043C\u0418\u0420\u0432\u0421\u0415\u041C";
    for (auto _ : state)
        benchmark::DoNotOptimize(_wcsicmp(a, b));
}
BENCHMARK(BM_CompareNoCaseCyrillic);

static void BM_FormatSceneError(benchmark::State& state) {
    NUBO::TWString s;
    for (auto _ : state) {
        s.Format(u"%s. File:%s. Line#%d Column#%d", u"not well-formed", u"main.box", 12, 7);
        benchmark::DoNotOptimize(s.GetString());
    }
}
BENCHMARK(BM_FormatSceneError);

static void BM_DecodeUtf8(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 64; ++i)
        text += "caf\xC3\xA9 \xE2\x82\xAC ";
    for (auto _ : state) {
        NUBO::TWString s(text.c_str(), u"utf-8");
        benchmark::DoNotOptimize(s.GetString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_DecodeUtf8);
