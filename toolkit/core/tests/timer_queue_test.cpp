#include "toolkit/core/timer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "toolkit/base/referenced.h"

namespace {

// (target name, tick) of every callback, in order.
std::vector<std::pair<std::string, DWORD>> fired;

class Target : public oxReferenced {
public:
    explicit Target(std::string name) : name_(std::move(name)) {}
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    void OnTimer(oxTimerEntry* entry) override {
        fired.push_back({name_, GetTickCount()});
        if (action) action(entry);
    }
    std::function<void(oxTimerEntry*)> action;

private:
    std::string name_;
};

class oxTimerQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = &platform::headless::UseVirtualClock(1000);
        fired.clear();
        ASSERT_TRUE(oxTimerQueue::Acquire());
        queue = oxTimerQueue::Instance();
        ASSERT_NE(queue, nullptr);
        start = GetTickCount();
    }
    void TearDown() override {
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }
    static oxTimerEntry* Once(DWORD ms, Target* target) {
        oxTimerEntry* e = oxTimerEntry::Create();
        e->StartOnce(ms, target);
        return e;
    }
    static oxTimerEntry* Every(DWORD ms, Target* target) {
        oxTimerEntry* e = oxTimerEntry::Create();
        e->StartRepeating(ms, target);
        return e;
    }
    using Log = std::vector<std::pair<std::string, DWORD>>;

    platform::VirtualClock* clock = nullptr;
    oxTimerQueue* queue = nullptr;
    DWORD start = 0;
};

TEST_F(oxTimerQueueTest, EntriesFireInOrderFromTheWindowTimer) {
    Target a("a"), b("b"), c("c");
    Once(30, &a);
    Every(20, &b);
    Once(25, &c);
    EXPECT_EQ(queue->Add(nullptr), false);
    platform::headless::AdvanceAndRun(70);
    // The 10 ms window timer runs the queue: an entry fires on the first tick at or after it is due,
    // entries due on one tick in the order they fell due; a repeating one counts from its callback.
    const Log expected = {
        {"b", start + 20}, {"c", start + 30}, {"a", start + 30}, {"b", start + 40}, {"b", start + 60}};
    EXPECT_EQ(fired, expected);
    EXPECT_TRUE(queue->HasEntries()); // b repeats
}

TEST_F(oxTimerQueueTest, WindowAndTimerComeWithTheFirstEntryAndGoWithTheLastUser) {
    EXPECT_EQ(queue->GetWindow(), nullptr);
    EXPECT_EQ(FindWindowW(kTimerWindowClass, kTimerWindowTitle), nullptr);
    EXPECT_FALSE(queue->Add(nullptr)); // a null entry still brings the window and its timer
    HWND window = queue->GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowW(kTimerWindowClass, kTimerWindowTitle), window);
    EXPECT_TRUE(queue->IsTimerSet());
    EXPECT_FALSE(IsWindowVisible(window));

    // The timer keeps running with an empty list, which costs one idle call per period.
    EXPECT_EQ(platform::headless::AdvanceAndRun(30), 3);
    Target a("a");
    Once(5, &a);
    EXPECT_EQ(platform::headless::AdvanceAndRun(10), 1);
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_FALSE(queue->HasEntries());

    // A second user keeps the queue; the last release stops the timer and destroys the window.
    ASSERT_TRUE(oxTimerQueue::Acquire());
    oxTimerQueue::ReleaseInstance();
    EXPECT_EQ(oxTimerQueue::Instance(), queue);
    Once(50, &a); // still pending when the queue goes: deleted with it
    oxTimerQueue::ReleaseInstance();
    EXPECT_EQ(oxTimerQueue::Instance(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(KillTimer(window, kTimerWindowTimerId));
    EXPECT_EQ(platform::headless::AdvanceAndRun(100), 0);
    EXPECT_EQ(fired.size(), 1u);

    // Without a queue, starting an entry does nothing.
    oxTimerEntry* idle = oxTimerEntry::Create();
    idle->StartOnce(0, &a);
    EXPECT_EQ(idle->GetTarget(), nullptr);
    delete idle;

    // A new queue makes a new window.
    ASSERT_TRUE(oxTimerQueue::Acquire());
    oxTimerQueue::Instance()->Add(nullptr);
    EXPECT_NE(FindWindowW(kTimerWindowClass, kTimerWindowTitle), nullptr);
}

TEST_F(oxTimerQueueTest, OverdueEntriesFireInTheOrderTheyFellDueWhateverTheOrderTheyWereAdded) {
    // A busy loop comes back late: everything listed is overdue by then.
    Target second("second"), first("first"), same1("same1"), same2("same2");
    Once(30, &second);
    Once(0, &first);
    Once(20, &same1);
    Once(20, &same2);
    clock->Advance(45);
    queue->Run();
    const Log expected = {{"first", start + 45}, {"same1", start + 45}, {"same2", start + 45}, {"second", start + 45}};
    EXPECT_EQ(fired, expected);
}

TEST_F(oxTimerQueueTest, AHundredThousandPendingEntriesFireInOnePassInTheirOrder) {
    // Found one at a time by walking the whole list, these would take hours.
    constexpr int kEntries = 100000;
    std::vector<int64_t> order; // interval, then the place in the list
    order.reserve(kEntries);
    Target counter("n");
    counter.action = [&](oxTimerEntry* entry) {
        order.push_back(int64_t(entry->GetInterval()) << 32 | entry->GetSequence());
    };
    // Intervals 0..9 ms, listed round and round: all overdue, they fire by when they fell due, of
    // equals in the order listed.
    for (int i = 0; i < kEntries; ++i)
        Once(DWORD(i % 10), &counter);
    clock->Advance(10);
    queue->Run();
    ASSERT_EQ(order.size(), size_t(kEntries));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, AZeroDelayEntryThatKeepsStartingAnotherLetsEachPassEnd) {
    Target a("a");
    int calls = 0;
    // Stops by itself, so that a queue that never lets go still comes back to fail the test.
    a.action = [&](oxTimerEntry*) {
        if (++calls < 1000) Once(0, &a);
    };
    Once(0, &a);
    queue->Run();
    // The entry listed before the pass fires, and so does the one its callback added; the one that
    // one added waits for the next tick.
    EXPECT_EQ(calls, 2);
    queue->Run();
    EXPECT_EQ(calls, 4);

    // Through the window timer: the loop gets its messages back after every tick, and the run
    // bound is never reached.
    a.action = [&](oxTimerEntry*) {
        ++calls;
        Once(0, &a);
    };
    EXPECT_GE(platform::headless::AdvanceAndRun(100), 0);
    EXPECT_LE(calls, 4 + 2 * 11) << "two calls a pass, one pass a tick";
    EXPECT_GE(calls, 4 + 2 * 9);

    // A callback that also pumps messages asks for another pass every time: it gets one.
    queue->Clear();
    calls = 0;
    a.action = [&](oxTimerEntry*) {
        if (++calls < 1000) Once(0, &a);
        queue->Run();
    };
    Once(0, &a);
    queue->Run();
    EXPECT_EQ(calls, 4);
    queue->Clear();
}

TEST_F(oxTimerQueueTest, EntriesAddedDuringAPassRunInThatPass) {
    Target a("a"), later("later"), now("now");
    a.action = [&](oxTimerEntry*) {
        Once(0, &now);    // due at once: runs in this pass
        Once(15, &later); // counts from now
    };
    Once(10, &a);
    queue->Run(); // nothing due yet
    EXPECT_TRUE(fired.empty());
    clock->Advance(10);
    queue->Run();
    const Log first = {{"a", start + 10}, {"now", start + 10}};
    EXPECT_EQ(fired, first);
    clock->Advance(14);
    queue->Run();
    EXPECT_EQ(fired.size(), 2u);
    clock->Advance(1);
    queue->Run();
    EXPECT_EQ(fired.back(), (std::pair<std::string, DWORD>{"later", start + 25}));
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, CancelledEntriesStayUntilDueAndAreDroppedWithoutACall) {
    Target a("a"), b("b"), c("c");
    oxTimerEntry* eb = nullptr;
    oxTimerEntry* ec = Every(10, &c);
    a.action = [&](oxTimerEntry*) { eb->Cancel(); };
    Once(10, &a);
    eb = Every(30, &b);
    clock->Advance(10);
    queue->Run();
    EXPECT_TRUE(queue->HasEntries()); // b is cancelled but waits for its time
    clock->Advance(10);
    queue->Run();
    queue->RemoveByTarget(&c); // c is going away
    EXPECT_EQ(ec->GetTarget(), nullptr);
    clock->Advance(20);
    queue->Run();
    const Log expected = {{"c", start + 10}, {"a", start + 10}, {"c", start + 20}};
    EXPECT_EQ(fired, expected);
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, RepeatingEntryCanCancelItselfAndRestartsFromItsCallback) {
    Target a("a");
    int calls = 0;
    a.action = [&](oxTimerEntry* e) {
        if (++calls == 3) e->Cancel();
    };
    Every(10, &a);
    clock->Advance(15); // late: the next period counts from the callback, not from the due time
    queue->Run();
    clock->Advance(9);
    queue->Run();
    clock->Advance(1);
    queue->Run();
    clock->Advance(10);
    queue->Run();
    const Log expected = {{"a", start + 15}, {"a", start + 25}, {"a", start + 35}};
    EXPECT_EQ(fired, expected);
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, NestedRunAsksForExactlyOneMorePass) {
    Target outer("outer"), inner("inner"), second("second");
    int passes = 0;
    outer.action = [&](oxTimerEntry*) {
        ++passes;
        // Pumping messages from a callback reaches Run again: it must not walk the list itself.
        queue->Run();
        queue->Run();
        EXPECT_EQ(fired.size(), 1u);
    };
    inner.action = [&](oxTimerEntry*) { Once(0, &second); };
    Once(0, &outer);
    clock->Advance(1);
    queue->Run();
    // outer fired once; the rerun saw nothing else due but entries added in between.
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(fired.size(), 1u);

    // Re-entry through the window procedure, as a callback that pumps messages would cause.
    outer.action = [&](oxTimerEntry*) {
        Once(0, &inner);
        SendMessageW(queue->GetWindow(), WM_TIMER, kTimerWindowTimerId, 0);
    };
    fired.clear();
    Once(0, &outer);
    queue->Run();
    const Log expected = {{"outer", start + 1}, {"inner", start + 1}, {"second", start + 1}};
    EXPECT_EQ(fired, expected);
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, ClearFromACallbackKeepsThePassSafe) {
    struct Case {
        const char* name;
        bool repeating;   // the clearing entry
        bool restartSelf; // it starts itself again after the clear
    };
    const Case cases[] = {{"one-shot", false, false}, {"repeating", true, false}, {"restarts itself", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fired.clear();
        DWORD now = GetTickCount();
        Target before("before"), clearer("clearer"), after("after"), added("added"), late("late");
        clearer.action = [&](oxTimerEntry* self) {
            Once(0, &late); // goes with the clear
            queue->Clear();
            EXPECT_FALSE(queue->HasEntries());
            if (c.restartSelf) self->StartOnce(10, &clearer);
            Once(0, &added); // listed after the clear: runs in this pass
            queue->Run();    // and a nested run still only asks for another pass
        };
        Every(10, &before);
        oxTimerEntry* e = oxTimerEntry::Create();
        if (c.repeating)
            e->StartRepeating(10, &clearer);
        else
            e->StartOnce(10, &clearer);
        Once(10, &after);
        clock->Advance(10);
        queue->Run();
        const Log expected = {{"before", now + 10}, {"clearer", now + 10}, {"added", now + 10}};
        EXPECT_EQ(fired, expected);
        EXPECT_FALSE(queue->HasEntries()); // the clearing entry went too, whatever it asked for
        clock->Advance(50);
        queue->Run();
        EXPECT_EQ(fired.size(), 3u);
    }
}

TEST_F(oxTimerQueueTest, ReleasingTheLastUserFromACallbackDestroysTheQueueAfterItsPass) {
    struct Case {
        const char* name;
        bool repeating; // the releasing entry
        bool reacquire; // it starts a new queue right away
    };
    const Case cases[] = {{"one-shot", false, false}, {"repeating", true, false}, {"new queue", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fired.clear();
        if (!oxTimerQueue::Instance()) {
            ASSERT_TRUE(oxTimerQueue::Acquire());
        }
        queue = oxTimerQueue::Instance();
        DWORD now = GetTickCount();
        Target before("before"), releaser("releaser"), after("after"), fresh("fresh");
        HWND oldWindow = nullptr;
        releaser.action = [&](oxTimerEntry*) {
            oldWindow = queue->GetWindow();
            oxTimerQueue::ReleaseInstance();
            // Gone for everyone else at once, window and timer included.
            EXPECT_EQ(oxTimerQueue::Instance(), nullptr);
            EXPECT_FALSE(IsWindow(oldWindow));
            if (c.reacquire) {
                ASSERT_TRUE(oxTimerQueue::Acquire());
                Once(10, &fresh);
            }
        };
        Once(10, &before);
        oxTimerEntry* e = oxTimerEntry::Create();
        if (c.repeating)
            e->StartRepeating(10, &releaser);
        else
            e->StartOnce(10, &releaser);
        Every(10, &after);
        // Through the window timer, so the window goes while its own WM_TIMER is being handled.
        platform::headless::AdvanceAndRun(10);
        Log expected = {{"before", now + 10}, {"releaser", now + 10}};
        EXPECT_EQ(fired, expected);
        platform::headless::AdvanceAndRun(30);
        if (c.reacquire) {
            // The new queue has a window and class of its own, not torn down by the old one.
            HWND window = FindWindowW(kTimerWindowClass, kTimerWindowTitle);
            ASSERT_NE(window, nullptr);
            EXPECT_NE(oxTimerQueue::Instance(), nullptr);
            expected.push_back({"fresh", now + 20});
        } else {
            EXPECT_EQ(oxTimerQueue::Instance(), nullptr);
        }
        EXPECT_EQ(fired, expected);
    }
}

TEST_F(oxTimerQueueTest, StartingAQueuedEntryAgainRestartsItOnce) {
    Target a("a");
    oxTimerEntry* e = Once(10, &a);
    uint32_t sequence = e->GetSequence();
    clock->Advance(5);
    e->StartOnce(10, &a); // would be listed twice and deleted twice
    EXPECT_EQ(e->GetSequence(), sequence);
    clock->Advance(5);
    queue->Run();
    EXPECT_TRUE(fired.empty());
    clock->Advance(5);
    queue->Run();
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_FALSE(queue->HasEntries());
}

TEST_F(oxTimerQueueTest, DelaysAreMeasuredAcrossTheTickCountWrap) {
    clock->Reset(0xFFFFFFF0ull);
    Target a("a");
    Once(0x20, &a);
    clock->Advance(0x1F);
    queue->Run();
    EXPECT_TRUE(fired.empty());
    clock->Advance(1);
    queue->Run();
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(oxTimerQueueTest, SequenceNumbersCountAdditions) {
    Target a("a");
    oxTimerEntry* first = Once(100, &a);
    oxTimerEntry* second = Once(100, &a);
    EXPECT_EQ(second->GetSequence(), first->GetSequence() + 1);
    queue->Clear();
    EXPECT_FALSE(queue->HasEntries());
}

} // namespace
