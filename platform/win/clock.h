#pragma once
// The clock that GetTickCount, timers and the message loop's waits read. Real by default; tests
// install a VirtualClock and move time forward themselves instead of sleeping.
#include <atomic>
#include <cstdint>

#include "platform/types.h"

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale; only differences matter.
    virtual uint64_t NowMs() const = 0;
    // A virtual clock jumps to a deadline instead of being waited for: true when it did.
    virtual bool SkipTo(uint64_t) { return false; }
};

class RealClock final : public Clock {
public:
    uint64_t NowMs() const override;
};

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0) : now_(startMs) {}
    uint64_t NowMs() const override { return now_.load(std::memory_order_acquire); }
    // Moves the clock to `ms` unless it already is later; time never runs backwards.
    bool SkipTo(uint64_t ms) override;
    void Advance(uint64_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }
    // Sets the time outright, backwards too; for a test's own set-up only.
    void Reset(uint64_t ms) { now_.store(ms, std::memory_order_release); }

private:
    std::atomic<uint64_t> now_;
};

// Installs `clock` for the whole process (null restores the real one); returns the one it replaces.
// The caller keeps ownership and must keep the clock alive while it is installed.
Clock* SetClock(Clock* clock);
Clock& CurrentClock();
inline uint64_t NowMs() {
    return CurrentClock().NowMs();
}

} // namespace platform

// Milliseconds since start, 32 bits: wraps after about 49.7 days, so callers subtract modulo 2^32.
DWORD GetTickCount();
