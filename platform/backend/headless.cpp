#include "platform/backend/headless.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/win/message_queue.h"
#include "platform/win/message_queue_internal.h"
#include "platform/win/messages.h"

namespace platform::headless {
namespace {

struct WaitEntry {
    int fd;
    short events;
    WaitReady ready;
    void* context;
};

// Sockets belong to the loop of the thread that added them.
thread_local std::vector<WaitEntry> waitSet;

VirtualClock virtualClock;

const DisplayHooks* display = nullptr;

} // namespace

void SetDisplayHooks(const DisplayHooks* hooks) {
    display = hooks;
}

VirtualClock& UseVirtualClock(uint64_t startMs) {
    virtualClock.Reset(startMs);
    SetClock(&virtualClock);
    return virtualClock;
}

void UseRealClock() {
    SetClock(nullptr);
}

int RunUntilIdle(int maxMessages) {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam)); // leave it for the loop that owns it
            return count;
        }
        if (count >= maxMessages) return -1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

int AdvanceAndRun(uint64_t ms, int maxMessages) {
    Clock& clock = CurrentClock();
    uint64_t end = clock.NowMs() + ms;
    int total = 0;
    auto& queue = detail::CurrentQueue();
    for (;;) {
        int n = RunUntilIdle(maxMessages - total);
        if (n < 0) return -1;
        total += n;
        std::optional<uint64_t> next;
        {
            std::lock_guard lock(queue.mutex);
            next = detail::NextTimerDue(queue, nullptr, 0, 0);
        }
        uint64_t step = next && *next <= end ? std::max(*next, clock.NowMs()) : end;
        if (clock.NowMs() >= end && step >= end) return total;
        if (!clock.SkipTo(step)) return -1;
    }
}

void AddWaitFd(int fd, short events, WaitReady ready, void* context) {
    RemoveWaitFd(fd);
    waitSet.push_back({fd, events, ready, context});
}

void RemoveWaitFd(int fd) {
    std::erase_if(waitSet, [fd](const WaitEntry& e) { return e.fd == fd; });
}

namespace {

// TANDU_FIRST_FRAME_FD=n: the loop's first sleep, when all the start posted has run and the first
// frame is painted (and presented), writes one byte to descriptor n and closes it, so that a start
// can be timed from outside the process.
void SignalFirstSleep() {
    static std::atomic<bool> signalled{false};
    if (signalled.exchange(true)) return;
    const char* text = std::getenv("TANDU_FIRST_FRAME_FD");
    char* end = nullptr;
    const long fd = text ? std::strtol(text, &end, 10) : -1;
    if (!text || end == text || *end || fd < 0 || fd > INT_MAX) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(int(fd), &byte, 1);
    close(int(fd));
}

// One turn of the loop's sleep; without `block` it only takes what is ready now.
void TakeWork(int wakeFd, std::optional<uint64_t> deadlineMs, bool block) {
    if (display && display->beforeWait()) return;
    if (block) SignalFirstSleep();
    std::vector<pollfd> fds;
    fds.push_back({wakeFd, POLLIN, 0});
    for (const WaitEntry& e : waitSet)
        fds.push_back({e.fd, e.events, 0});
    const int displayFd = display ? display->eventFd() : -1;
    if (displayFd >= 0) fds.push_back({displayFd, POLLIN, 0});

    Clock& clock = CurrentClock();
    int timeout = block ? -1 : 0;
    if (block && deadlineMs) {
        uint64_t now = clock.NowMs();
        uint64_t wait = *deadlineMs > now ? *deadlineMs - now : 0;
        timeout = int(std::min<uint64_t>(wait, INT_MAX));
    }
    // A virtual clock is not waited for: take what is ready now, else jump to the deadline.
    bool jump = block && deadlineMs && timeout > 0 && clock.SkipTo(clock.NowMs());
    int ready = poll(fds.data(), fds.size(), jump ? 0 : timeout);
    if (display) display->afterWait();
    if (ready == 0 && jump) {
        clock.SkipTo(*deadlineMs);
        return;
    }
    if (ready <= 0) return;
    // The entries may change inside a callback: look each ready descriptor up again.
    for (size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].fd == displayFd) continue;
        if (!fds[i].revents) continue;
        auto it = std::find_if(waitSet.begin(), waitSet.end(), [&](const WaitEntry& e) { return e.fd == fds[i].fd; });
        if (it != waitSet.end() && it->ready) it->ready(fds[i].fd, fds[i].revents, it->context);
    }
}

} // namespace

void WaitForWork(int wakeFd, std::optional<uint64_t> deadlineMs) {
    TakeWork(wakeFd, deadlineMs, true);
}

void PollForWork(int wakeFd) {
    TakeWork(wakeFd, std::nullopt, false);
}

} // namespace platform::headless
