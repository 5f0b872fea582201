#include "runtime/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "runtime/message_window.h"
#include "runtime/startup.h"

namespace NUBO {
namespace {

struct Recorder : TTimerListener {
    struct Fire {
        int who;
        DWORD tick;
        UINT idDuringCall;
        bool operator==(const Fire&) const = default;
    };
    std::vector<Fire>* log;
    int who;
    int restarts = 0; // one-shot restarts left
    Recorder(std::vector<Fire>* l, int w) : log(l), who(w) {}
    void OnTimer(TTimer* timer) override {
        log->push_back({who, GetTickCount(), timer->GetId()});
        if (restarts > 0) {
            --restarts;
            EXPECT_EQ(timer->Start(25, false), 1);
        }
    }
};

class RuntimeTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        start = DWORD(platform::headless::UseVirtualClock(5000).NowMs());
        ASSERT_EQ(Initialize(nullptr), 1);
    }
    void TearDown() override {
        Shutdown();
        platform::headless::UseRealClock();
    }
    DWORD start = 0;
    std::vector<Recorder::Fire> log;
};

TEST_F(RuntimeTimerTest, TimersFireThroughTheMessageWindowInOrder) {
    Recorder a(&log, 1), b(&log, 2);
    TTimer ta(&a), tb(&b);
    ASSERT_EQ(ta.Start(40, true), 1);
    ASSERT_EQ(tb.Start(15, true), 1);
    EXPECT_GE(ta.GetId(), TTimer::kFirstId);
    EXPECT_NE(ta.GetId(), tb.GetId());
    EXPECT_EQ(platform::headless::AdvanceAndRun(60), 5);
    const std::vector<Recorder::Fire> expected = {{2, start + 15, tb.GetId()},
                                                  {2, start + 30, tb.GetId()},
                                                  {1, start + 40, ta.GetId()},
                                                  {2, start + 45, tb.GetId()},
                                                  {2, start + 60, tb.GetId()}};
    EXPECT_EQ(log, expected);
}

TEST_F(RuntimeTimerTest, OneShotIsStoppedBeforeItsListenerAndMayRestart) {
    Recorder a(&log, 1);
    a.restarts = 1;
    TTimer t(&a);
    ASSERT_EQ(t.Start(10, false), 1);
    platform::headless::AdvanceAndRun(100);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].idDuringCall, 0u); // stopped when its listener ran
    EXPECT_EQ(log[1].tick, start + 35); // restarted from inside, 25 ms later
    EXPECT_EQ(t.GetId(), 0u);
}

TEST_F(RuntimeTimerTest, StopKillsTheWindowTimer) {
    Recorder a(&log, 1);
    TTimer t(&a);
    ASSERT_EQ(t.Start(10, true), 1);
    UINT id = t.GetId();
    platform::headless::AdvanceAndRun(10);
    t.Stop();
    EXPECT_EQ(t.GetId(), 0u);
    EXPECT_FALSE(t.IsRepeating());
    t.Stop(); // twice is harmless
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(log.size(), 1u);

    // A late WM_TIMER for the stopped id, or any unknown id, is ignored.
    PostMessageW(GetCurrentMessageWindow(), WM_TIMER, id, 0);
    PostMessageW(GetCurrentMessageWindow(), WM_TIMER, TTimer::kFirstId + 999, 0);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(RuntimeTimerTest, DestroyingARunningTimerStopsIt) {
    Recorder a(&log, 1);
    {
        TTimer t(&a);
        ASSERT_EQ(t.Start(10, true), 1);
    }
    platform::headless::AdvanceAndRun(50);
    EXPECT_TRUE(log.empty());
}

TEST(RuntimeTimerNotStartedTest, StartFailsWithoutTheRuntime) {
    TTimer t;
    EXPECT_EQ(t.Start(10, true), 0);
    EXPECT_EQ(t.GetId(), 0u);
}

} // namespace
} // namespace NUBO
