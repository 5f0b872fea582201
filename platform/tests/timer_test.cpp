#include "platform/win/timer.h"

#include "platform/backend/headless.h"
#include "platform/tests/message_log.h"
#include "platform/win/clock.h"

namespace {

class TimerTest : public test::WindowTest {
protected:
    // (timer id, tick) of every WM_TIMER the log window got.
    std::vector<std::pair<WPARAM, DWORD>> Fired() {
        std::vector<std::pair<WPARAM, DWORD>> out;
        for (auto& l : test::messageLog)
            if (l.message == WM_TIMER) out.push_back({l.wParam, DWORD(l.lParam)});
        return out;
    }
    void RecordTicks() {
        // The tick at dispatch goes into the log in place of the (null) callback.
        test::onMessage = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
            if (msg == WM_TIMER) test::messageLog.back().lParam = LPARAM(GetTickCount());
            return false;
        };
    }
};

TEST_F(TimerTest, LateTimerIsCoalescedIntoOneMessage) {
    HWND w = Create();
    SetTimer(w, 1, 10, nullptr);
    clock->Advance(55); // five periods passed
    EXPECT_EQ(platform::headless::RunUntilIdle(), 1);
    clock->Advance(9);
    EXPECT_EQ(platform::headless::RunUntilIdle(), 0); // the next period counts from the last WM_TIMER
    clock->Advance(1);
    EXPECT_EQ(platform::headless::RunUntilIdle(), 1);
}

TEST_F(TimerTest, SettingTheSameIdReplacesTheTimer) {
    HWND w = Create();
    SetTimer(w, 5, 10, nullptr);
    clock->Advance(8);
    EXPECT_EQ(SetTimer(w, 5, 100, nullptr), 5u);
    EXPECT_EQ(platform::headless::AdvanceAndRun(99), 0);
    EXPECT_EQ(platform::headless::AdvanceAndRun(1), 1);
    EXPECT_EQ(Fired().size(), 1u);
}

TEST_F(TimerTest, TimersFireInDeadlineOrderOnTheVirtualClock) {
    HWND w = Create();
    RecordTicks();
    DWORD start = GetTickCount();
    SetTimer(w, 1, 30, nullptr);
    SetTimer(w, 2, 20, nullptr);
    EXPECT_EQ(platform::headless::AdvanceAndRun(60), 5);
    const std::vector<std::pair<WPARAM, DWORD>> expected = {
        {2, start + 20}, {1, start + 30}, {2, start + 40}, {1, start + 60}, {2, start + 60}}; // ties: set first, first
    EXPECT_EQ(Fired(), expected);
}

TEST_F(TimerTest, KillTimerStopsItAndUnknownIdsAreHarmless) {
    HWND w = Create();
    SetTimer(w, 1, 10, nullptr);
    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 77));
    EXPECT_FALSE(KillTimer(reinterpret_cast<HWND>(0x55), 1));
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x55), 1, 10, nullptr), 0u);
    EXPECT_EQ(platform::headless::AdvanceAndRun(100), 0);
}

TEST_F(TimerTest, TimerMessageAlreadyPeekedStaysUntilTaken) {
    HWND w = Create();
    SetTimer(w, 1, 10, nullptr);
    clock->Advance(10);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

std::vector<UINT_PTR> callbackIds;
void OnTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD) {
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(msg, WM_TIMER);
    callbackIds.push_back(id);
}

TEST_F(TimerTest, ThreadTimersGetTheirOwnIdsAndCallBack) {
    callbackIds.clear();
    UINT_PTR a = SetTimer(nullptr, 0, 10, OnTimer);
    UINT_PTR b = SetTimer(nullptr, 0, 15, OnTimer);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(SetTimer(nullptr, a, 30, OnTimer), a); // an existing id is replaced, not added
    EXPECT_EQ(platform::headless::AdvanceAndRun(30), 3);
    EXPECT_EQ(callbackIds, (std::vector<UINT_PTR>{b, b, a})); // a was set again after b
    EXPECT_TRUE(KillTimer(nullptr, a));
    EXPECT_TRUE(KillTimer(nullptr, b));
}

TEST_F(TimerTest, ShortPeriodsAreRaisedToTheMinimum) {
    HWND w = Create();
    SetTimer(w, 1, 0, nullptr);
    EXPECT_EQ(platform::headless::AdvanceAndRun(USER_TIMER_MINIMUM - 1), 0);
    EXPECT_EQ(platform::headless::AdvanceAndRun(1), 1);
}

TEST_F(TimerTest, GetMessageSleepsUntilTheDeadline) {
    HWND w = Create();
    SetTimer(w, 3, 500, nullptr);
    DWORD before = GetTickCount();
    MSG m = Next(); // the virtual clock jumps instead of sleeping
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(GetTickCount() - before, 500u);
}

TEST_F(TimerTest, TickCountWrapsModulo32Bits) {
    clock->Reset(0xFFFFFFF0ull);
    DWORD start = GetTickCount();
    clock->Advance(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(DWORD(GetTickCount() - start), 0x20u);

    platform::headless::UseRealClock();
    EXPECT_NE(&platform::CurrentClock(), static_cast<platform::Clock*>(clock));
}

} // namespace
