#pragma once
// A window timer of the runtime, delivered as WM_TIMER to the message window of the thread that
// started it. Its ids start at 0x10000000, above those of anything else on that window.
#include "platform/types.h"

namespace NUBO {

class TTimer;

class TTimerListener {
public:
    virtual void OnTimer(TTimer* timer) = 0;

protected:
    ~TTimerListener() = default;
};

class TTimer {
public:
    explicit TTimer(TTimerListener* listener = nullptr) : listener_(listener) {}
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;
    ~TTimer() { Stop(); }

    // Starts (or restarts) the timer on the calling thread's message window. 1, or 0 when the
    // runtime is not started on this thread or memory ran out.
    int Start(UINT intervalMs, bool repeating);
    // Kills the window timer and forgets the id; nothing when not running.
    void Stop();

    // Hands the expired timer to its listener, if it has one.
    void Notify();

    UINT GetId() const { return id_; }
    bool IsRepeating() const { return repeating_ != 0; }

    static constexpr UINT kFirstId = 0x10000000;

private:
    UINT id_ = 0; // 0 when stopped
    int repeating_ = 0;
    TTimerListener* listener_;
};

} // namespace NUBO
