#pragma once
// Runs the calling thread's message loop on the real clock until a condition holds or a time
// bound passes, for tests that wait on sockets. A short thread timer keeps GetMessageW waking.
#include <chrono>
#include <functional>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/timer.h"

namespace test {

inline bool PumpUntil(const std::function<bool()>& done, int boundMs = 10000) {
    platform::headless::UseRealClock();
    UINT_PTR tick = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {});
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    bool ok = done();
    while (!ok && std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ok = done();
    }
    KillTimer(nullptr, tick);
    return ok;
}

// Runs the loop for `ms` on the real clock, whatever happens.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

} // namespace test
