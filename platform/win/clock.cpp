#include "platform/win/clock.h"

#include <time.h>

namespace platform {
namespace {

RealClock realClock;
std::atomic<Clock*> installed{&realClock};

} // namespace

uint64_t RealClock::NowMs() const {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

bool VirtualClock::SkipTo(uint64_t ms) {
    uint64_t old = now_.load(std::memory_order_acquire);
    while (old < ms && !now_.compare_exchange_weak(old, ms, std::memory_order_acq_rel)) {
    }
    return true;
}

Clock* SetClock(Clock* clock) {
    return installed.exchange(clock ? clock : &realClock, std::memory_order_acq_rel);
}

Clock& CurrentClock() {
    return *installed.load(std::memory_order_acquire);
}

} // namespace platform

DWORD GetTickCount() {
    return DWORD(platform::NowMs());
}
