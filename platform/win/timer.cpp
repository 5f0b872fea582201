#include "platform/win/timer.h"

#include <algorithm>

#include "platform/win/clock.h"
#include "platform/win/message_queue_internal.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"

namespace platform::detail {

std::optional<uint64_t> NextTimerDue(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax) {
    std::optional<uint64_t> next;
    if (!InRange(WM_TIMER, filterMin, filterMax)) return next;
    for (const Timer& t : queue.timers)
        if (MatchesWindow(t.hwnd, filter) && (!next || t.due < *next)) next = t.due;
    return next;
}

bool TakeDueTimer(ThreadQueue& queue, HWND filter, uint64_t now, bool remove, MSG* msg) {
    Timer* first = nullptr;
    for (Timer& t : queue.timers)
        if (t.due <= now && MatchesWindow(t.hwnd, filter) &&
            (!first || t.due < first->due || (t.due == first->due && t.order < first->order)))
            first = &t;
    if (!first) return false;
    *msg = MSG{first->hwnd, WM_TIMER, first->id, reinterpret_cast<LPARAM>(first->proc), DWORD(now), {0, 0}};
    // However late it is taken, one WM_TIMER stands for all the periods that passed.
    if (remove) first->due = now + first->interval;
    return true;
}

void KillWindowTimers(HWND hwnd, DWORD threadId) {
    auto queue = FindQueue(threadId);
    if (!queue) return;
    std::lock_guard lock(queue->mutex);
    std::erase_if(queue->timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

} // namespace platform::detail

namespace {

using platform::detail::ThreadQueue;

// The queue that owns the window's timers: its thread's; the caller's for thread timers.
std::shared_ptr<ThreadQueue> QueueFor(HWND hwnd) {
    if (!hwnd) {
        platform::detail::CurrentQueue();
        return platform::detail::FindQueue(GetCurrentThreadId());
    }
    platform::detail::WindowTarget target;
    if (!platform::detail::LookUpWindow(hwnd, &target)) return nullptr;
    return platform::detail::FindQueue(target.thread);
}

} // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    auto queue = QueueFor(hwnd);
    if (!queue) return 0;
    elapseMs = std::max(elapseMs, USER_TIMER_MINIMUM);
    uint64_t due = platform::NowMs() + elapseMs;
    UINT_PTR result;
    {
        std::lock_guard lock(queue->mutex);
        auto& timers = queue->timers;
        auto it = std::find_if(timers.begin(), timers.end(),
                               [&](const auto& t) { return t.hwnd == hwnd && t.id == id && (hwnd || id); });
        if (it != timers.end()) {
            *it = {hwnd, id, elapseMs, proc, due, queue->timerOrder++};
        } else {
            if (!hwnd) {
                // A thread timer gets an id of its own.
                do
                    id = queue->nextThreadTimerId++;
                while (!id ||
                       std::any_of(timers.begin(), timers.end(), [&](const auto& t) { return !t.hwnd && t.id == id; }));
            }
            timers.push_back({hwnd, id, elapseMs, proc, due, queue->timerOrder++});
        }
        result = hwnd ? (id ? id : 1) : id;
    }
    if (queue->thread != GetCurrentThreadId()) queue->Wake(); // its loop may be sleeping towards a later deadline
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto queue = QueueFor(hwnd);
    if (!queue) return FALSE;
    std::lock_guard lock(queue->mutex);
    size_t removed =
        std::erase_if(queue->timers, [&](const platform::detail::Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return removed ? TRUE : FALSE;
}
