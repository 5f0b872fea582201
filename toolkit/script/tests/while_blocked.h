#pragma once
// Runs a test's checks from inside the message loop of a blocking call, such as a modal dialog's:
// a timer set before the call fires inside that loop. Used on the virtual clock, where the loop's
// waits are time passing rather than time spent.
#include <functional>
#include <utility>

#include "platform/win/timer.h"

namespace while_blocked {

inline std::function<void()>& Pending() {
    static std::function<void()> pending;
    return pending;
}

inline void Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    std::function<void()> then = std::exchange(Pending(), nullptr);
    if (then) then();
}

// `then` runs at the first turn of a message loop `ms` after now.
inline void RunLater(std::function<void()> then, UINT ms = 10) {
    Pending() = std::move(then);
    SetTimer(nullptr, 0, ms, Fire);
}

} // namespace while_blocked
