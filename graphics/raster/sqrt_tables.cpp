#include "graphics/raster/sqrt_tables.h"

#include <bit>
#include <cmath>

uint32_t InvSqrtTable[1024];
uint32_t SqrtTable[1024];

namespace {

bool g_invBuilt = false;
bool g_sqrtBuilt = false;

// Mantissa bits of f(x) for each table entry; a result of exactly 1.0 has no mantissa bits and
// takes `one` instead.
template <typename F> void Build(uint32_t* table, F f, uint32_t one) {
    for (uint32_t i = 0; i < 1024; ++i) {
        const float x = std::bit_cast<float>(i * 0x4000u + 0x3F000000u);
        const float r = f(x);
        table[i] = r == 1.0f ? one : std::bit_cast<uint32_t>(r) & 0x7FE000u;
    }
}

} // namespace

void BuildInvSqrtTable() {
    if (g_invBuilt) return;
    Build(
        InvSqrtTable, [](float x) { return float(1.0 / std::sqrt(double(x))); }, 0x7FE000u);
    g_invBuilt = true;
}

void BuildSqrtTable() {
    if (g_sqrtBuilt) return;
    Build(
        SqrtTable, [](float x) { return float(std::sqrt(double(x))); }, 0u);
    g_sqrtBuilt = true;
}

float TableInvSqrt(float v) {
    const uint32_t b = std::bit_cast<uint32_t>(v);
    const uint32_t exponent = ((0xBE000000u - (b & 0x7F800000u)) >> 1) & 0x7F800000u;
    return std::bit_cast<float>(exponent | InvSqrtTable[(b >> 14) & 0x3FF]);
}

float TableSqrt(float v) {
    const uint32_t b = std::bit_cast<uint32_t>(v);
    const uint32_t exponent = (((b & 0x7F800000u) + 0x3F800000u) >> 1) & 0x7F800000u;
    return std::bit_cast<float>(exponent | SqrtTable[(b >> 14) & 0x3FF]);
}
