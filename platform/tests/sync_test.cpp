#include "platform/win/sync.h"
#include "platform/win/clock.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

TEST(ThreadIdTest, NonZeroStableAndDistinctPerThread) {
    DWORD mine = GetCurrentThreadId();
    EXPECT_NE(mine, 0u);
    EXPECT_EQ(mine, GetCurrentThreadId());

    std::vector<DWORD> ids(4);
    std::vector<std::thread> threads;
    for (auto& id : ids)
        threads.emplace_back([&id] { id = GetCurrentThreadId(); });
    for (auto& t : threads)
        t.join();
    std::set<DWORD> distinct(ids.begin(), ids.end());
    distinct.insert(mine);
    EXPECT_EQ(distinct.size(), 5u);
    EXPECT_EQ(distinct.count(0), 0u);
}

TEST(TlsTest, NewSlotReadsNullOnEveryThreadAndValuesArePerThread) {
    DWORD slot = TlsAlloc();
    ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
    EXPECT_EQ(TlsGetValue(slot), nullptr);
    int mine = 0, theirs = 0;
    ASSERT_TRUE(TlsSetValue(slot, &mine));

    void* seenBefore = &theirs;
    void* seenAfter = nullptr;
    std::thread other([&] {
        seenBefore = TlsGetValue(slot);
        TlsSetValue(slot, &theirs);
        seenAfter = TlsGetValue(slot);
    });
    other.join();
    EXPECT_EQ(seenBefore, nullptr);
    EXPECT_EQ(seenAfter, &theirs);
    EXPECT_EQ(TlsGetValue(slot), &mine);

    // A value left in a freed slot must not show through a later allocation of the same index.
    ASSERT_TRUE(TlsFree(slot));
    DWORD again = TlsAlloc();
    ASSERT_NE(again, TLS_OUT_OF_INDEXES);
    EXPECT_EQ(TlsGetValue(again), nullptr);
    TlsFree(again);
}

TEST(TlsTest, BadIndexesAndExhaustion) {
    EXPECT_FALSE(TlsSetValue(TLS_OUT_OF_INDEXES, nullptr));
    EXPECT_EQ(TlsGetValue(TLS_MINIMUM_AVAILABLE), nullptr);
    EXPECT_FALSE(TlsFree(TLS_OUT_OF_INDEXES));

    std::vector<DWORD> taken;
    for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;)
        taken.push_back(slot);
    EXPECT_GT(taken.size(), 0u);
    EXPECT_LE(taken.size(), TLS_MINIMUM_AVAILABLE);
    for (DWORD slot : taken)
        EXPECT_TRUE(TlsFree(slot));
    EXPECT_FALSE(TlsFree(taken.front())); // already free
}

TEST(CriticalSectionTest, RecursiveForOwnerAndExcludesOthers) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    bool otherGot = true;
    std::thread([&] { otherGot = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(otherGot);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        otherGot = TryEnterCriticalSection(&cs);
        if (otherGot) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(otherGot);
    DeleteCriticalSection(&cs);
}

TEST(InterlockedTest, ResultsAsCallersExpect) {
    LONG v = 0;
    EXPECT_EQ(InterlockedIncrement(&v), 1);
    EXPECT_EQ(InterlockedDecrement(&v), 0);
    EXPECT_EQ(InterlockedDecrement(&v), -1);
    EXPECT_EQ(InterlockedExchange(&v, 7), -1);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(InterlockedCompareExchange(&v, 9, 3), 7); // no match: unchanged
    EXPECT_EQ(v, 7);
    EXPECT_EQ(InterlockedCompareExchange(&v, 9, 7), 7);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 5), 9);
    EXPECT_EQ(v, 14);

    // The count stored while an object is destroyed, and wrap-around at the top.
    v = static_cast<LONG>(0xC0000001u);
    EXPECT_EQ(InterlockedDecrement(&v), static_cast<LONG>(0xC0000000u));
    v = 0x7FFFFFFF;
    EXPECT_EQ(InterlockedIncrement(&v), static_cast<LONG>(0x80000000u));
}

TEST(InterlockedTest, SpinLockExcludesAcrossThreads) {
    LONG lock = 0;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                while (InterlockedExchange(&lock, 1) != 0)
                    Sleep(0);
                ++counter;
                InterlockedExchange(&lock, 0);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
}

TEST(Sleep, OnAVirtualClockTimePassesWithoutWaiting) {
    platform::VirtualClock clock(1000);
    platform::Clock* previous = platform::SetClock(&clock);
    Sleep(50);
    EXPECT_EQ(clock.NowMs(), 1050u);
    platform::SetClock(previous);
}
