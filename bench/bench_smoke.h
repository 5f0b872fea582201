#pragma once
// The benchmark smoke tests (ctest's bench_smoke.*) set TANDU_BENCH_SMOKE=1: every case still runs,
// once and without repetitions, and the cases that wait on the real clock wait briefly, so that the
// smoke tests show a case that crashes or fails without taking long.
#include <cstdint>
#include <cstdlib>

namespace bench_support {

inline bool Smoke() {
    static const bool smoke = [] {
        const char* value = std::getenv("TANDU_BENCH_SMOKE");
        return value && *value && *value != '0';
    }();
    return smoke;
}

// The iterations or repetitions a case asks for; one under the smoke tests.
inline int64_t Iterations(int64_t n) {
    return Smoke() ? 1 : n;
}
inline int Repetitions(int n) {
    return Smoke() ? 1 : n;
}

// A wait on the real clock of `ms`; 50 ms under the smoke tests.
inline unsigned WaitMs(unsigned ms) {
    return Smoke() ? 50u : ms;
}

} // namespace bench_support
