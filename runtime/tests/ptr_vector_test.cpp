#include "runtime/ptr_vector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using NUBO::PtrVector;

void* P(uintptr_t n) {
    return reinterpret_cast<void*>(n);
}

std::vector<uintptr_t> Items(const PtrVector<>& v) {
    std::vector<uintptr_t> out;
    for (void* p : v)
        out.push_back(reinterpret_cast<uintptr_t>(p));
    return out;
}

PtrVector<> Filled(size_t n) {
    PtrVector<> v;
    for (size_t i = 1; i <= n; ++i)
        EXPECT_EQ(v.PushBack(P(i)), 1);
    return v;
}

TEST(PtrVector, GrowsByHalfOrToWhatIsNeeded) {
    PtrVector<> v;
    ASSERT_EQ(v.InsertN(0, 4, P(7)), 1);
    EXPECT_EQ(v.capacity(), 4u); // the first block is exactly what is needed

    struct Case {
        size_t insert;
        size_t capacity;
    } cases[] = {{1, 6}, {10, 14}, {2, 6}};
    for (const Case& c : cases) {
        PtrVector<> w;
        ASSERT_EQ(w.InsertN(0, 4, P(1)), 1);
        ASSERT_EQ(w.InsertN(2, c.insert, P(9)), 1);
        EXPECT_EQ(w.capacity(), c.capacity) << "inserting " << c.insert;
        EXPECT_EQ(w.size(), 4 + c.insert);
    }
}

TEST(PtrVector, InsertKeepsOrderOnBothRoads) {
    // In place (room left) and through a new block (full): the same result.
    for (bool full : {false, true}) {
        PtrVector<> v;
        ASSERT_EQ(v.InsertN(0, full ? 4 : 8, nullptr), 1);
        v.Clear();
        for (uintptr_t i = 1; i <= 4; ++i)
            v.PushBack(P(i));
        ASSERT_EQ(v.capacity(), full ? 4u : 8u);
        ASSERT_EQ(v.InsertN(1, 2, P(9)), 1);
        EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 9, 9, 2, 3, 4})) << "full=" << full;
    }
}

TEST(PtrVector, InsertPastTheEndIsRefused) {
    PtrVector<> v = Filled(2);
    EXPECT_EQ(v.InsertN(3, 1, P(5)), 0);
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 2}));
    EXPECT_EQ(v.InsertN(1, 0, P(5)), 1);
    EXPECT_EQ(v.size(), 2u);
}

TEST(PtrVector, ImpossibleSizeFailsAndLeavesTheVector) {
    PtrVector<> v = Filled(3);
    size_t cap = v.capacity();
    EXPECT_EQ(v.InsertN(1, static_cast<size_t>(-1) / 4, P(5)), 0);
    EXPECT_EQ(v.InsertN(1, static_cast<size_t>(-1), P(5)), 0);
    EXPECT_EQ(v.Resize(static_cast<size_t>(-1) / 2, P(5)), 0);
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(v.capacity(), cap);
}

TEST(PtrVector, EraseMovesTheTailDown) {
    PtrVector<> v = Filled(5);
    EXPECT_EQ(v.Erase(1, 3), 1u);
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 4, 5}));
    EXPECT_EQ(v.Erase(2, 99), 2u); // clipped to the end
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 4}));
    EXPECT_EQ(v.Erase(1, 1), 1u); // empty range
    EXPECT_EQ(v.size(), 2u);
}

TEST(PtrVector, RemoveTakesTheFirstMatchOnly) {
    PtrVector<> v;
    for (uintptr_t i : {1, 2, 3, 2})
        v.PushBack(P(i));
    v.PushBack(nullptr);
    EXPECT_TRUE(v.Remove(P(2)));
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 3, 2, 0}));
    EXPECT_FALSE(v.Remove(P(8)));
    EXPECT_FALSE(v.Remove(nullptr)); // a null value removes nothing, even when one is stored
    EXPECT_EQ(v.size(), 4u);
}

TEST(PtrVector, ResizePopBackAndClear) {
    PtrVector<> v = Filled(2);
    ASSERT_EQ(v.Resize(4, P(8)), 1);
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1, 2, 8, 8}));
    ASSERT_EQ(v.Resize(1, P(8)), 1);
    EXPECT_EQ(Items(v), (std::vector<uintptr_t>{1}));
    v.PopBack();
    v.PopBack(); // nothing on an empty vector
    EXPECT_TRUE(v.empty());
    v = Filled(3);
    size_t cap = v.capacity();
    v.Clear();
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.capacity(), cap);
}

TEST(PtrVector, MoveLeavesTheSourceEmpty) {
    PtrVector<> a = Filled(3);
    PtrVector<> b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.capacity(), 0u);
    EXPECT_EQ(Items(b), (std::vector<uintptr_t>{1, 2, 3}));
    a = std::move(b);
    EXPECT_EQ(Items(a), (std::vector<uintptr_t>{1, 2, 3}));
}

TEST(PtrVector, HoldsTypedPointersAndFloats) {
    int x = 0, y = 0;
    PtrVector<int*> v;
    v.PushBack(&x);
    v.PushBack(&y);
    EXPECT_EQ(v[1], &y);
    PtrVector<float> widths;
    ASSERT_EQ(widths.Resize(3, 1.5f), 1);
    EXPECT_EQ(widths.Back(), 1.5f);
}

} // namespace
