#pragma once
// The headless backend: no display, a clock that tests may make virtual, and the message loop's
// sleep. Tests drive the loop with RunUntilIdle and AdvanceAndRun instead of sleeping.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/types.h"

#include "platform/win/clock.h"

namespace platform::headless {

// Installs the process's virtual clock, set to `startMs`; tests move it forward.
VirtualClock& UseVirtualClock(uint64_t startMs = 0);
void UseRealClock();

// Dispatches the calling thread's ready messages (posted ones, WM_PAINT, due timers) until none is
// left, never waiting. Returns how many were dispatched, or -1 when `maxMessages` ran out first.
// A WM_QUIT stops it and stays in the queue.
int RunUntilIdle(int maxMessages = 10000);
// Moves the virtual clock forward by `ms`, stopping at each timer deadline on the way to run the
// loop until idle, so timers fire in order and as often as they would in real time. -1 when the
// clock is not virtual or a bound ran out.
int AdvanceAndRun(uint64_t ms, int maxMessages = 10000);

// Descriptors the calling thread's message loop also waits on (network sockets): when one is
// ready, `ready` runs inside the wait, on the loop's thread.
using WaitReady = void (*)(int fd, short revents, void* context);
void AddWaitFd(int fd, short events, WaitReady ready, void* context);
void RemoveWaitFd(int fd);

// A display backend takes part in the loop's sleep: before it the backend presents and handles its
// events (true when it produced work, so the loop does not sleep); its descriptor (or -1) wakes
// the sleep; after it the backend handles what arrived.
struct DisplayHooks {
    bool (*beforeWait)();
    int (*eventFd)();
    void (*afterWait)();
};
void SetDisplayHooks(const DisplayHooks* hooks);

// The message loop's sleep: returns when `wakeFd` is signalled, a wait descriptor is ready or the
// clock reaches `deadlineMs`. A virtual clock jumps to the deadline instead of sleeping.
void WaitForWork(int wakeFd, std::optional<uint64_t> deadlineMs);
// The same without sleeping: the display presents and hands over its input, and ready descriptors
// run, so that a loop that polls (a modal loop) still sees the screen and the user.
void PollForWork(int wakeFd);

// Read-back of the screen for tests: the pixels of a screen rectangle as 0x00RRGGBB, row by row
// (16-bit pixels expanded). Parts outside the screen read 0.
std::vector<uint32_t> ReadScreen(const RECT& area);
// Writes the screen as an RGB PNG file; false when it cannot be written.
bool DumpScreenPng(const char* path);

} // namespace platform::headless
