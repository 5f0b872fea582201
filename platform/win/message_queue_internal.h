#pragma once
// The thread queue record shared by the queue, the timers and the windows. Module-internal.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win/message_queue.h"
#include "platform/win/timer.h"

namespace platform::detail {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    TIMERPROC proc;
    uint64_t due;
    uint64_t order; // when two are due at once, the one set first goes first
};

struct ThreadQueue {
    ThreadQueue(DWORD threadId);
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // Makes a sleeping GetMessageW of the owning thread look at the queue again.
    void Wake();
    // Clears a wake-up that was already seen.
    void DrainWake();

    const DWORD thread;
    int wakeFd = -1;
    std::mutex mutex; // guards everything below
    std::deque<MSG> posted;
    bool quit = false;
    int exitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 1;
    uint64_t timerOrder = 0;
};

// The calling thread's queue, made on first use.
ThreadQueue& CurrentQueue();
// Null when the thread has no queue (never made one, or ended).
std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId);

// Earliest deadline among the calling thread's timers that match the filter.
std::optional<uint64_t> NextTimerDue(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax);
// Takes (or with remove=false only looks at) the due timer that goes first; under queue.mutex.
bool TakeDueTimer(ThreadQueue& queue, HWND filter, uint64_t now, bool remove, MSG* msg);
// Drops every timer of a window being destroyed.
void KillWindowTimers(HWND hwnd, DWORD threadId);

// Filter helpers shared by retrieval.
bool InRange(UINT message, UINT filterMin, UINT filterMax);
bool MatchesWindow(HWND msgHwnd, HWND filter);

} // namespace platform::detail
