#include "platform/win/message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "platform/win/input.h"
#include "platform/win/message_queue_internal.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"

namespace platform::detail {
namespace {

std::mutex registryMutex;
std::map<DWORD, std::shared_ptr<ThreadQueue>> registry;

// When the thread ends, its windows are destroyed and its queue leaves the registry.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (!queue) return;
        for (HWND hwnd : RootWindowsOfThread(queue->thread))
            DestroyWindow(hwnd);
        std::lock_guard lock(registryMutex);
        registry.erase(queue->thread);
    }
};
thread_local QueueHolder holder;

} // namespace

ThreadQueue::ThreadQueue(DWORD threadId) : thread(threadId) {
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

ThreadQueue::~ThreadQueue() {
    if (wakeFd >= 0) close(wakeFd);
}

void ThreadQueue::Wake() {
    uint64_t one = 1;
    if (wakeFd >= 0) (void)!write(wakeFd, &one, sizeof one);
}

void ThreadQueue::DrainWake() {
    uint64_t count;
    if (wakeFd >= 0) (void)!read(wakeFd, &count, sizeof count);
}

ThreadQueue& CurrentQueue() {
    if (!holder.queue) {
        holder.queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        std::lock_guard lock(registryMutex);
        registry[holder.queue->thread] = holder.queue;
    }
    return *holder.queue;
}

std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId) {
    std::lock_guard lock(registryMutex);
    auto it = registry.find(threadId);
    return it == registry.end() ? nullptr : it->second;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

bool MatchesWindow(HWND msgHwnd, HWND filter) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return msgHwnd == nullptr;
    return msgHwnd == filter;
}

} // namespace platform::detail

namespace {

using platform::detail::ThreadQueue;

std::atomic<platform::KeyTranslator> keyTranslator{nullptr};

bool DefaultTranslate(UINT vk, LPARAM, bool, WCHAR* ch) {
    if (vk >= 'A' && vk <= 'Z') {
        *ch = WCHAR(vk - 'A' + 'a');
        return true;
    }
    if ((vk >= '0' && vk <= '9') || vk == 8 || vk == 9 || vk == 13 || vk == 27 || vk == 32) {
        *ch = WCHAR(vk);
        return true;
    }
    return false;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{hwnd, message, wParam, lParam, GetTickCount(), {0, 0}};
}

BOOL Post(ThreadQueue& queue, const MSG& msg) {
    {
        std::lock_guard lock(queue.mutex);
        queue.posted.push_back(msg);
    }
    if (queue.thread != GetCurrentThreadId()) queue.Wake();
    return TRUE;
}

bool Peek(ThreadQueue& queue, MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    using namespace platform::detail;
    {
        std::lock_guard lock(queue.mutex);
        for (auto it = queue.posted.begin(); it != queue.posted.end();) {
            if (it->hwnd && !IsWindow(it->hwnd)) {
                it = queue.posted.erase(it); // its window is gone
                continue;
            }
            if (MatchesWindow(it->hwnd, hwnd) && InRange(it->message, filterMin, filterMax)) {
                *msg = *it;
                if (remove) queue.posted.erase(it);
                return true;
            }
            ++it;
        }
    }
    // Input waits behind posted messages and is routed as it is taken.
    if (platform::detail::TakeInput(msg, hwnd, filterMin, filterMax, remove)) return true;
    {
        std::lock_guard lock(queue.mutex);
        if (queue.quit) {
            *msg = MakeMessage(nullptr, WM_QUIT, WPARAM(queue.exitCode), 0);
            if (remove) queue.quit = false;
            return true;
        }
    }
    if (InRange(WM_PAINT, filterMin, filterMax) && hwnd != reinterpret_cast<HWND>(-1)) {
        // WM_PAINT stays until the window's update is validated, removed or not.
        if (HWND target = FindWindowToPaint(queue.thread, hwnd)) {
            *msg = MakeMessage(target, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, filterMin, filterMax)) {
        std::lock_guard lock(queue.mutex);
        if (TakeDueTimer(queue, hwnd, platform::NowMs(), remove, msg)) return true;
    }
    return false;
}

bool ValidFilter(HWND hwnd) {
    return !hwnd || hwnd == reinterpret_cast<HWND>(-1) || IsWindow(hwnd);
}

// Sleeps until something may have arrived: a post, a wait descriptor, or the next timer.
void Wait(ThreadQueue& queue, HWND hwnd, UINT filterMin, UINT filterMax) {
    std::optional<uint64_t> deadline;
    {
        std::lock_guard lock(queue.mutex);
        deadline = platform::detail::NextTimerDue(queue, hwnd, filterMin, filterMax);
    }
    platform::headless::WaitForWork(queue.wakeFd, deadline);
    queue.DrainWake();
}

} // namespace

namespace platform {

KeyTranslator SetKeyTranslator(KeyTranslator translator) {
    return keyTranslator.exchange(translator);
}

} // namespace platform

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return Post(platform::detail::CurrentQueue(), MakeMessage(nullptr, message, wParam, lParam));
    platform::detail::WindowTarget target;
    if (!platform::detail::LookUpWindow(hwnd, &target)) return FALSE;
    auto queue = platform::detail::FindQueue(target.thread);
    return queue ? Post(*queue, MakeMessage(hwnd, message, wParam, lParam)) : FALSE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    auto queue = platform::detail::FindQueue(threadId);
    return queue ? Post(*queue, MakeMessage(nullptr, message, wParam, lParam)) : FALSE;
}

namespace {

LRESULT Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<std::pair<HWND, DWORD>> targets;
    {
        std::lock_guard lock(platform::detail::tableMutex);
        for (const auto& [handle, w] : platform::detail::windows)
            if (!(w->style & WS_CHILD) && !w->messageOnly && !w->destroying)
                targets.emplace_back(platform::detail::ToHandle(w.get()), w->thread);
    }
    // A window that a receiver destroys before its turn is skipped: the calls look each one up.
    const DWORD self = GetCurrentThreadId();
    for (const auto& [window, thread] : targets) {
        if (thread == self)
            SendMessageW(window, message, wParam, lParam);
        else
            PostMessageW(window, message, wParam, lParam);
    }
    return 0;
}

} // namespace

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) return Broadcast(message, wParam, lParam);
    platform::detail::WindowTarget target;
    if (!platform::detail::LookUpWindow(hwnd, &target) || target.thread != GetCurrentThreadId()) return 0;
    return target.proc(hwnd, message, wParam, lParam);
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg || !ValidFilter(hwnd)) return FALSE;
    ThreadQueue& queue = platform::detail::CurrentQueue();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    if (Peek(queue, msg, hwnd, filterMin, filterMax, remove)) return TRUE;
    // A loop that fetches every message without waiting also takes the user's input, the screen's
    // presentation and the network from the system; a filtered look does not.
    if (!remove || hwnd || filterMin || filterMax) return FALSE;
    platform::headless::PollForWork(queue.wakeFd);
    queue.DrainWake();
    return Peek(queue, msg, hwnd, filterMin, filterMax, remove);
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg || !ValidFilter(hwnd)) return -1;
    ThreadQueue& queue = platform::detail::CurrentQueue();
    while (!Peek(queue, msg, hwnd, filterMin, filterMax, true)) {
        if (!ValidFilter(hwnd)) return -1; // the filtered window went away while we slept
        Wait(queue, hwnd, filterMin, filterMax);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WaitMessage() {
    ThreadQueue& queue = platform::detail::CurrentQueue();
    MSG msg;
    if (!Peek(queue, &msg, nullptr, 0, 0, false)) Wait(queue, nullptr, 0, 0);
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    bool system = msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSKEYUP;
    if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP && !system) return FALSE;
    if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) return TRUE;
    platform::KeyTranslator translate = keyTranslator.load();
    WCHAR ch = 0;
    bool produced = translate ? translate(UINT(msg->wParam), msg->lParam, system, &ch)
                              : DefaultTranslate(UINT(msg->wParam), msg->lParam, system, &ch);
    if (produced)
        Post(platform::detail::CurrentQueue(), MakeMessage(msg->hwnd, system ? WM_SYSCHAR : WM_CHAR, ch, msg->lParam));
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    ThreadQueue& queue = platform::detail::CurrentQueue();
    std::lock_guard lock(queue.mutex);
    queue.quit = true;
    queue.exitCode = exitCode;
}
