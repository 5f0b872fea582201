// Throughput of SHA-256 and base64 over 1 MiB, the sizes the login signatures and uploads reach.
#include <benchmark/benchmark.h>

#include <vector>

#include "runtime/base64.h"
#include "runtime/sha256.h"

namespace {

constexpr size_t kSize = 1 << 20;

std::vector<uint8_t> Data() {
    std::vector<uint8_t> data(kSize);
    uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245 + 12345;
        b = uint8_t(x >> 16);
    }
    return data;
}

void BM_Sha256_1MiB(benchmark::State& state) {
    auto data = Data();
    uint8_t out[32];
    for (auto _ : state) {
        NUBO::TSha256Digest digest;
        digest.Update(data.data(), data.size());
        digest.Final(out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}
BENCHMARK(BM_Sha256_1MiB);

void BM_Base64_1MiB(benchmark::State& state) {
    auto data = Data();
    std::vector<WCHAR> out((kSize + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        size_t n = NUBO::Base64Encode(data.data(), data.size(), out.data(), out.size());
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}
BENCHMARK(BM_Base64_1MiB);

} // namespace
