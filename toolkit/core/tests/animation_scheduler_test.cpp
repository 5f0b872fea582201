// The animation scheduler on the virtual clock: many animations advanced from one timer entry per
// tick, the timer taken and given back with the list, removals from inside a step, and animations
// whose box went away.
#include "toolkit/core/animation_scheduler.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "toolkit/core/animation_instance.h"
#include "toolkit/core/box.h"
#include "toolkit/core/timer_queue.h"

namespace {

// An animation of `steps` ticks that leaves the scheduler after its last one.
class Steps : public oxAnimationInstance {
public:
    Steps(oxBox* target, int steps, int* freed)
        : oxAnimationInstance(1, target, nullptr), steps_(steps), freed_(freed) {}
    ~Steps() override { ++*freed_; }
    float GetProgress() const override { return float(done) / float(steps_); }
    void Advance(DWORD time) override {
        times.push_back(time);
        if (++done == steps_) oxAnimationScheduler::Instance().RemoveCurrent(0);
    }
    int done = 0;
    std::vector<DWORD> times;

private:
    int steps_;
    int* freed_;
};

class RepaintCounter : public oxBox {
public:
    using oxBox::oxBox;
    void RequestRepaint() override { ++repaints; }
    int repaints = 0;
};

class AnimationSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(oxTimerQueue::Acquire());
        queue = oxTimerQueue::Instance();
    }
    void TearDown() override {
        EXPECT_EQ(scheduler.GetCount(), 0);
        while (oxTimerQueue::Instance())
            oxTimerQueue::ReleaseInstance();
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }

    oxAnimationScheduler& scheduler = oxAnimationScheduler::Instance();
    oxTimerQueue* queue = nullptr;
    int freed = 0;
};

TEST_F(AnimationSchedulerTest, HundredAnimationsAdvanceFromOneTimerEntryAndAreFreed) {
    RepaintCounter box(kAtomBox);
    std::vector<Steps*> animations;
    for (int i = 0; i < 100; ++i) {
        // Ten ticks for the first half, twenty for the second.
        animations.push_back(new Steps(&box, i < 50 ? 10 : 20, &freed));
        scheduler.Add(animations.back());
    }
    scheduler.Add(animations[0]); // listed already: one entry, one timer
    EXPECT_EQ(scheduler.GetCount(), 100);
    const oxTimerEntry* timer = scheduler.GetTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->GetInterval(), 10u);
    EXPECT_TRUE(box.GetStateFlags() & kStateAnimating);
    const DWORD start = GetTickCount();

    platform::headless::AdvanceAndRun(10);
    for (Steps* a : animations)
        ASSERT_EQ(a->times, std::vector<DWORD>{start + 10});
    // Before the first step no progress is under way: nothing repaints.
    EXPECT_EQ(box.repaints, 0);
    platform::headless::AdvanceAndRun(80);
    EXPECT_EQ(scheduler.GetTimer(), timer) << "the same entry drives every tick";
    for (Steps* a : animations) {
        ASSERT_EQ(a->done, 9);
        EXPECT_EQ(a->times.back(), start + 90);
    }
    EXPECT_EQ(box.repaints, 8 * 100);
    platform::headless::AdvanceAndRun(10); // the first half ends, removing itself during the walk
    EXPECT_EQ(freed, 50);
    EXPECT_EQ(scheduler.GetCount(), 50);
    for (int i = 50; i < 100; ++i)
        EXPECT_EQ(animations[i]->done, 10);
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(freed, 100);
    EXPECT_EQ(scheduler.GetCount(), 0);
    EXPECT_EQ(scheduler.GetTimer(), nullptr);
    EXPECT_FALSE(box.GetStateFlags() & kStateAnimating);
    platform::headless::AdvanceAndRun(10); // the cancelled entry leaves the queue on its next tick
    EXPECT_FALSE(queue->HasEntries());

    // Adding again takes a new entry, ticking 10 ms after it.
    auto* again = new Steps(&box, 1, &freed);
    scheduler.Add(again);
    ASSERT_NE(scheduler.GetTimer(), nullptr);
    platform::headless::AdvanceAndRun(10);
    EXPECT_EQ(freed, 101);
    EXPECT_EQ(scheduler.GetTimer(), nullptr);
}

TEST_F(AnimationSchedulerTest, AnAnimationWithoutItsBoxRunsOnWithoutRepaints) {
    auto* box = new RepaintCounter(kAtomBox);
    auto* a = new Steps(box, 5, &freed);
    scheduler.Add(a);
    int orphans = 0;
    Steps orphan(nullptr, 5, &orphans);
    scheduler.Add(&orphan); // no target: not listed
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(scheduler.GetCount(), 1);
    EXPECT_EQ(scheduler.Find(1, box), a);
    EXPECT_EQ(scheduler.Find(2, box), nullptr);
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(box->repaints, 1);
    scheduler.ForgetTarget(box);
    box->Release();
    EXPECT_EQ(a->GetTarget(), nullptr);
    platform::headless::AdvanceAndRun(30);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(scheduler.GetCount(), 0);
}

TEST_F(AnimationSchedulerTest, RemovingTheNextAnimationDuringAStepKeepsTheWalk) {
    RepaintCounter box(kAtomBox);
    struct Remover : Steps {
        using Steps::Steps;
        void Advance(DWORD time) override {
            if (victim) oxAnimationScheduler::Instance().Remove(victim, 1);
            victim = nullptr;
            Steps::Advance(time); // may end this one: nothing of it is touched after
        }
        oxAnimationInstance* victim = nullptr;
    };
    auto* first = new Remover(&box, 3, &freed);
    auto* second = new Steps(&box, 3, &freed);
    auto* third = new Steps(&box, 3, &freed);
    first->victim = second;
    for (oxAnimationInstance* a : {static_cast<oxAnimationInstance*>(first), static_cast<oxAnimationInstance*>(second),
                                   static_cast<oxAnimationInstance*>(third)})
        scheduler.Add(a);
    EXPECT_EQ(scheduler.First(), first);
    EXPECT_EQ(scheduler.Next(), second);
    platform::headless::AdvanceAndRun(10);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(third->done, 1);
    platform::headless::AdvanceAndRun(20);
    EXPECT_EQ(freed, 3);
}

} // namespace
