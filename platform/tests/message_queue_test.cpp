#include "platform/win/message_queue.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/tests/message_log.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"

namespace {

using test::Messages;

class MessageQueueTest : public test::WindowTest {};

// The loop announces its sleep through the display's hook, so that another thread can act once
// the loop waits rather than after a guessed time.
std::atomic<bool> loopWaiting{false};
bool AnnounceWait() {
    loopWaiting = true;
    return false;
}
int NoDisplayFd() {
    return -1;
}
void NothingAfterWait() {}
const platform::headless::DisplayHooks kAnnouncingDisplay{AnnounceWait, NoDisplayFd, NothingAfterWait};

// Bounded, so that a loop that never sleeps fails its test instead of hanging it.
void AwaitTheLoopsSleep() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!loopWaiting && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
}

TEST_F(MessageQueueTest, PostedMessagesComeBeforeQuitPaintAndTimers) {
    HWND w = Create();
    ASSERT_TRUE(w);
    ASSERT_NE(SetTimer(w, 7, 10, nullptr), 0u);
    ShowWindow(w, SW_SHOWNA); // uncovered: needs painting
    clock->Advance(50);
    PostMessageW(w, WM_USER + 1, 1, 0);
    PostMessageW(w, WM_USER + 2, 2, 0);

    MSG m = Next();
    EXPECT_EQ(m.message, WM_USER + 1);
    PostQuitMessage(3); // quit is after posted, ahead of paint and timers
    PostMessageW(w, WM_USER + 3, 3, 0);
    EXPECT_EQ(Next().message, WM_USER + 2);
    EXPECT_EQ(Next().message, WM_USER + 3);
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, 3u);
    m = Next();
    EXPECT_EQ(m.message, WM_PAINT);
    DispatchMessageW(&m); // default processing validates
    m = Next();
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, PaintStaysUntilValidated) {
    HWND w = Create();
    test::onMessage = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) { return msg == WM_PAINT; };
    ShowWindow(w, SW_SHOWNA);
    EXPECT_EQ(platform::headless::RunUntilIdle(5), -1); // a procedure that never paints keeps getting WM_PAINT
    platform::detail::SetUpdatePending(w, false);
    EXPECT_EQ(platform::headless::RunUntilIdle(5), 0);
}

TEST_F(MessageQueueTest, PeekFiltersAndNoRemove) {
    HWND a = Create();
    HWND b = Create();
    PostMessageW(a, WM_USER, 0, 0);
    PostMessageW(b, WM_CHAR, 'x', 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 5, 0, 0);

    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, b);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE)); // still there
    ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_CHAR);
    EXPECT_FALSE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)); // thread messages only
    EXPECT_EQ(m.message, WM_USER + 5u);
    EXPECT_EQ(m.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);
}

TEST_F(MessageQueueTest, SendMessageRunsTheProcedureAtOnce) {
    HWND w = Create();
    test::onMessage = [](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* r) {
        *r = LRESULT(wp * 2);
        return msg == WM_USER;
    };
    PostMessageW(w, WM_USER + 1, 0, 0);
    test::messageLog.clear();
    EXPECT_EQ(SendMessageW(w, WM_USER, 21, 0), 42);
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_USER}); // the posted one still waits
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 1, 0), 0);

    // A window of another thread is not called from here.
    HWND other = nullptr;
    std::thread t([&] { other = Create(); });
    t.join();
    test::messageLog.clear();
    EXPECT_EQ(SendMessageW(other, WM_USER, 21, 0), 0);
    EXPECT_TRUE(test::messageLog.empty());
}

// A broadcast reaches the top-level windows of this thread inside the call, not their children nor a
// window that a receiver destroyed before its turn, and is posted to those of another thread.
TEST_F(MessageQueueTest, ABroadcastReachesEveryTopLevelWindow) {
    HWND a = Create(), b = Create(), gone = Create();
    HWND child = Create(WS_CHILD, a);
    ASSERT_TRUE(a && b && gone && child);
    HWND other = nullptr;
    UINT otherGot = 0;
    std::atomic<bool> ready{false};
    std::thread t([&] {
        other = Create();
        ready = true;
        MSG m{};
        if (GetMessageW(&m, nullptr, 0, 0) > 0 && m.hwnd == other) otherGot = m.message;
        DestroyWindow(other);
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ready && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    ASSERT_TRUE(ready);
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_USER + 7 && hwnd == a) DestroyWindow(gone);
        return false;
    };
    test::messageLog.clear();
    EXPECT_EQ(SendMessageW(HWND_BROADCAST, WM_USER + 7, 1, 2), 0);
    std::vector<HWND> reached;
    for (const test::Logged& l : test::messageLog)
        if (l.message == WM_USER + 7) reached.push_back(l.hwnd);
    EXPECT_EQ(reached, (std::vector<HWND>{a, b}));
    t.join();
    EXPECT_EQ(otherGot, WM_USER + 7u) << "posted to the other thread's window";
}

TEST_F(MessageQueueTest, PostedMessageWakesANestedLoop) {
    platform::headless::UseRealClock();
    HWND w = Create();
    test::messageLog.clear();
    bool ended = false;
    std::thread poster;
    loopWaiting = false;
    platform::headless::SetDisplayHooks(&kAnnouncingDisplay);
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_USER) {
            // A modal loop: runs until the other thread's message, posted while it sleeps, ends it.
            poster = std::thread([hwnd] {
                AwaitTheLoopsSleep();
                PostMessageW(hwnd, WM_USER + 1, 0, 0);
            });
            MSG m;
            while (!ended && GetMessageW(&m, nullptr, 0, 0) > 0)
                DispatchMessageW(&m);
        }
        if (msg == WM_USER + 1) ended = true;
        return false;
    };
    PostMessageW(w, WM_USER, 0, 0);
    MSG m = Next();
    DispatchMessageW(&m);
    poster.join();
    platform::headless::SetDisplayHooks(nullptr);
    EXPECT_TRUE(ended);
    EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_USER, WM_USER + 1}));
}

TEST_F(MessageQueueTest, TimerKeepsFlowingInsideANestedLoop) {
    HWND w = Create();
    int ticks = 0;
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_USER) {
            MSG m;
            while (ticks < 3 && GetMessageW(&m, nullptr, 0, 0) > 0)
                DispatchMessageW(&m);
            KillTimer(hwnd, 1);
        }
        if (msg == WM_TIMER) ++ticks;
        return false;
    };
    SetTimer(w, 1, 100, nullptr);
    uint64_t start = clock->NowMs();
    SendMessageW(w, WM_USER, 0, 0);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(clock->NowMs() - start, 300u); // the virtual clock jumped from deadline to deadline
}

TEST_F(MessageQueueTest, TranslatedCharacterWaitsBeforeTheKeyDownIsDispatched) {
    HWND w = Create();
    WPARAM seen = 0;
    test::onMessage = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
        MSG peek;
        if (msg == WM_KEYDOWN && PeekMessageW(&peek, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE)) seen = peek.wParam;
        return false;
    };
    PostMessageW(w, WM_KEYDOWN, 'A', 1);
    MSG m = Next();
    EXPECT_TRUE(TranslateMessage(&m));
    DispatchMessageW(&m);
    EXPECT_EQ(seen, WPARAM('a'));
    m = Next();
    EXPECT_EQ(m.message, WM_CHAR);
    EXPECT_EQ(m.hwnd, w);

    MSG other{w, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(TranslateMessage(&other));
}

TEST_F(MessageQueueTest, MessagesOfADestroyedWindowAreDropped) {
    HWND a = Create();
    HWND b = Create();
    PostMessageW(a, WM_USER, 0, 0);
    PostMessageW(b, WM_USER + 1, 0, 0);
    DestroyWindow(a);
    MSG m = Next();
    EXPECT_EQ(m.hwnd, b);
    EXPECT_FALSE(PostMessageW(a, WM_USER, 0, 0));
}

TEST_F(MessageQueueTest, ThreadMessagesCrossThreads) {
    DWORD self = GetCurrentThreadId();
    MSG first;
    PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE); // a thread without a queue cannot be posted to
    std::thread t([self] { EXPECT_TRUE(PostThreadMessageW(self, WM_USER + 9, 9, 0)); });
    MSG m = Next(); // sleeps until the other thread posts
    t.join();
    EXPECT_EQ(m.message, WM_USER + 9u);

    DWORD ended = 0;
    std::thread gone([&] {
        MSG x;
        PeekMessageW(&x, nullptr, 0, 0, PM_NOREMOVE); // gives the thread a queue
        ended = GetCurrentThreadId();
    });
    gone.join();
    EXPECT_FALSE(PostThreadMessageW(ended, WM_USER, 0, 0));
}

TEST_F(MessageQueueTest, InvalidWindowFilter) {
    MSG m;
    EXPECT_EQ(GetMessageW(&m, reinterpret_cast<HWND>(0x4321), 0, 0), -1);
    EXPECT_FALSE(PeekMessageW(&m, reinterpret_cast<HWND>(0x4321), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
}

TEST_F(MessageQueueTest, QuitStopsRunUntilIdleAndStaysQueued) {
    HWND w = Create();
    PostMessageW(w, WM_USER, 0, 0);
    PostQuitMessage(5);
    PostMessageW(w, WM_USER, 0, 0);
    EXPECT_EQ(platform::headless::RunUntilIdle(), 2);
    MSG m;
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, 5u);
}

} // namespace

namespace {

void OnReadable(int fd, short, void* context) {
    char byte;
    (void)!read(fd, &byte, 1);
    PostMessageW(static_cast<HWND>(context), WM_USER + 20, WPARAM(byte), 0);
}

TEST_F(MessageQueueTest, ReadyWaitDescriptorRunsInsideTheWait) {
    platform::headless::UseRealClock();
    HWND w = Create();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    platform::headless::AddWaitFd(fds[0], POLLIN, OnReadable, w);
    loopWaiting = false;
    platform::headless::SetDisplayHooks(&kAnnouncingDisplay);
    std::thread writer([&] {
        AwaitTheLoopsSleep();
        (void)!write(fds[1], "k", 1);
    });
    MSG m = Next(); // asleep until the descriptor is readable
    writer.join();
    platform::headless::SetDisplayHooks(nullptr);
    EXPECT_EQ(m.message, WM_USER + 20u);
    EXPECT_EQ(m.wParam, WPARAM('k'));
    platform::headless::RemoveWaitFd(fds[0]);
    close(fds[0]);
    close(fds[1]);
}

// A display whose input arrives as a posted message the first time it is asked.
int displayTurns = 0;
HWND displayTarget = nullptr;
bool DisplayBeforeWait() {
    if (displayTurns++ == 0) PostMessageW(displayTarget, WM_USER + 30, 0, 0);
    return false;
}
int DisplayFd() {
    return -1;
}
void DisplayAfterWait() {}

TEST_F(MessageQueueTest, APollingLoopTakesTheDisplaysInputAndReadyDescriptors) {
    HWND w = Create();
    displayTurns = 0;
    displayTarget = w;
    const platform::headless::DisplayHooks hooks{DisplayBeforeWait, DisplayFd, DisplayAfterWait};
    platform::headless::SetDisplayHooks(&hooks);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    platform::headless::AddWaitFd(fds[0], POLLIN, OnReadable, w);
    (void)!write(fds[1], "p", 1);

    MSG m;
    // A filtered or non-removing look leaves the system alone.
    EXPECT_FALSE(PeekMessageW(&m, w, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(displayTurns, 0);
    // The modal loop's fetch: the display's input and the readable descriptor both arrive.
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    std::vector<UINT> got{m.message};
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
        got.push_back(m.message);
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 30, WM_USER + 20}));

    platform::headless::SetDisplayHooks(nullptr);
    platform::headless::RemoveWaitFd(fds[0]);
    close(fds[0]);
    close(fds[1]);
}

} // namespace
