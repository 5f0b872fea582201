#include "runtime/map.h"

#include <gtest/gtest.h>

#include "runtime/tests/failing_allocator.h"

#include <map>
#include <random>

namespace {

using NUBO::TMap;
using NUBO::TPtrFromIntMap;
using NUBO::TPtrFromPtrMap;
using NUBO::TTypedPtrMap;

void* W(uintptr_t n) {
    return reinterpret_cast<void*>(n);
}

TEST(TMap, GrowsWhenTheEntryAfterTheThresholdArrives) {
    TPtrFromPtrMap map;
    EXPECT_EQ(map.GetGrowThreshold(), 38); // 17 * 2.25
    for (uintptr_t k = 1; k <= 38; ++k)
        ASSERT_NE(map.SetAt(W(k), W(k * 10)), nullptr);
    EXPECT_EQ(map.GetBucketCount(), 17u);
    map.SetAt(W(39), W(390));
    EXPECT_EQ(map.GetBucketCount(), 53u); // 39 / 0.75 = 52
    for (uintptr_t k = 1; k <= 39; ++k) {
        void* v = nullptr;
        ASSERT_EQ(map.Lookup(W(k), v), 1);
        EXPECT_EQ(v, W(k * 10));
    }
}

TEST(TMap, ThresholdsFollowTheBucketCount) {
    struct Case {
        unsigned buckets;
        int grow, shrink;
    } cases[] = {{17, 38, 0}, {53, 119, 0}, {83, 186, 20}, {131, 294, 32}};
    for (const Case& c : cases) {
        TPtrFromPtrMap map;
        map.Rehash(c.buckets);
        EXPECT_EQ(map.GetGrowThreshold(), c.grow) << c.buckets;
        EXPECT_EQ(map.GetShrinkThreshold(), c.shrink) << c.buckets;
    }
}

TEST(TMap, TargetBucketCounts) {
    struct Case {
        size_t entries;
        unsigned buckets;
    } cases[] = {{0, 17}, {13, 17}, {14, 23}, {39, 53}, {40, 53}, {41, 67}, {9987000, 13316089}, {10000000, 13333333}};
    for (const Case& c : cases)
        EXPECT_EQ(TMap::TargetBucketCount(c.entries, 0.75f), c.buckets) << c.entries;
}

TEST(TMap, ShrinksBelowTheShrinkThreshold) {
    TPtrFromPtrMap map;
    for (uintptr_t k = 0; k < 200; ++k)
        map.SetAt(W(k), W(k));
    EXPECT_EQ(map.GetBucketCount(), 163u); // 53 at the 39th entry, 163 at the 120th (120 / 0.75 = 160)
    EXPECT_EQ(map.GetShrinkThreshold(), 40);
    uintptr_t k = 0;
    while (map.GetCount() > 40)
        map.RemoveKey(W(k++));
    EXPECT_EQ(map.GetBucketCount(), 163u);
    map.RemoveKey(W(k++));
    EXPECT_EQ(map.GetBucketCount(), 53u); // 39 / 0.75 = 52
}

TEST(TMap, ReplacingAValueKeepsOneEntry) {
    TPtrFromPtrMap map;
    map.SetAt(W(5), W(1));
    TMap::Node* node = map.SetAt(W(5), W(2));
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(node->value, W(2));
    EXPECT_EQ(map.RemoveKey(W(6)), 0);
    EXPECT_EQ(map.RemoveKey(W(5)), 1);
    EXPECT_EQ(map.RemoveKey(W(5)), 0);
}

TEST(TMap, KeysThatShareTheirLowWordStayApart) {
    if (sizeof(void*) < 8) GTEST_SKIP();
    TPtrFromPtrMap map;
    uintptr_t low = 0x1234, high = low + (uintptr_t(1) << 32); // same hash, different keys
    map.SetAt(W(low), W(1));
    map.SetAt(W(high), W(2));
    void* v = nullptr;
    EXPECT_EQ(map.GetCount(), 2u);
    ASSERT_EQ(map.Lookup(W(high), v), 1);
    EXPECT_EQ(v, W(2));
}

TEST(TMap, EmptyingReleasesTheNodeBlocks) {
    TPtrFromPtrMap map(4);
    EXPECT_FALSE(map.HoldsNodeBlocks());
    for (uintptr_t k = 0; k < 10; ++k)
        map.SetAt(W(k), W(k));
    EXPECT_TRUE(map.HoldsNodeBlocks());
    for (uintptr_t k = 0; k < 9; ++k)
        map.RemoveKey(W(k));
    EXPECT_TRUE(map.HoldsNodeBlocks());
    map.RemoveKey(W(9));
    EXPECT_FALSE(map.HoldsNodeBlocks());
    map.SetAt(W(3), W(3));
    EXPECT_TRUE(map.HoldsNodeBlocks());
    map.RemoveAll();
    EXPECT_FALSE(map.HoldsNodeBlocks());
    EXPECT_EQ(map.GetCount(), 0u);
    map.SetAt(W(4), W(4)); // usable after clearing, at the bucket count it had
    EXPECT_EQ(map.GetCount(), 1u);
}

TEST(TMap, AgreesWithAReferenceMapUnderRandomUse) {
    std::mt19937 rng(11);
    TPtrFromPtrMap map(10);
    std::map<uintptr_t, uintptr_t> model;
    for (int step = 0; step < 20000; ++step) {
        uintptr_t key = rng() % 700;
        if (rng() % 3) {
            map.SetAt(W(key), W(step));
            model[key] = step;
        } else {
            ASSERT_EQ(map.RemoveKey(W(key)), int(model.erase(key)));
        }
        ASSERT_EQ(map.GetCount(), model.size());
        ASSERT_LE(map.GetCount(), size_t(map.GetGrowThreshold()));
    }
    for (auto [k, v] : model) {
        void* got = nullptr;
        ASSERT_EQ(map.Lookup(W(k), got), 1);
        EXPECT_EQ(got, W(v));
    }
}

TEST(TMap, FailedAllocationsLeaveTheMap) {
    FailingAllocator alloc;
    TPtrFromPtrMap map(2);
    FailingAllocator::failing = true;
    EXPECT_EQ(map.SetAt(W(1), W(1)), nullptr); // no bucket array
    EXPECT_EQ(map.GetCount(), 0u);
    FailingAllocator::failing = false;
    map.SetAt(W(1), W(10));
    map.SetAt(W(2), W(20));
    FailingAllocator::failing = true;
    EXPECT_EQ(map.SetAt(W(3), W(30)), nullptr); // no node block
    EXPECT_NE(map.SetAt(W(2), W(21)), nullptr); // replacing needs no memory
    EXPECT_EQ(map.GetCount(), 2u);
    map.Rehash(53); // keeps the old buckets when the new ones cannot be had
    EXPECT_EQ(map.GetBucketCount(), 17u);
    void* v = nullptr;
    ASSERT_EQ(map.Lookup(W(2), v), 1);
    EXPECT_EQ(v, W(21));
    EXPECT_EQ(map.Lookup(W(3), v), 0);
}

TEST(TTypedPtrMap, IntegerKeysAndFunctionValues) {
    using Handler = int (*)(int);
    TTypedPtrMap<TPtrFromIntMap<unsigned>, unsigned, Handler> handlers;
    Handler twice = [](int x) { return 2 * x; };
    handlers.SetAt(0x113u, twice);
    Handler h = nullptr;
    ASSERT_EQ(handlers.Lookup(0x113u, h), 1);
    EXPECT_EQ(h(4), 8);
    EXPECT_EQ(handlers.Lookup(0x112u, h), 0);
    EXPECT_EQ(handlers.RemoveKey(0x113u), 1);
}

} // namespace
