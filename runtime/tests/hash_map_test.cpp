#include "runtime/hash_map.h"
#include "runtime/string_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using NUBO::oxIdHashMap;
using NUBO::oxNameHashMap;
using NUBO::oxPtrHashMap;

const void* K(uintptr_t n) {
    return reinterpret_cast<const void*>(n);
}

// The list must equal a multimap ordered by (bucket, key) with equal keys in insertion order.
using Model = std::multimap<std::pair<unsigned, uintptr_t>, int>;

void ExpectSameOrder(oxPtrHashMap<int>& map, const Model& model) {
    std::vector<std::pair<uintptr_t, int>> got, want;
    for (auto& node : map)
        got.emplace_back(reinterpret_cast<uintptr_t>(node.key), node.value);
    for (auto& [k, v] : model)
        want.emplace_back(k.second, v);
    ASSERT_EQ(got, want);
    ASSERT_EQ(map.Count(), model.size());
}

TEST(oxPtrHashMap, RandomOperationsKeepBucketAndKeyOrder) {
    std::mt19937 rng(5);
    oxPtrHashMap<int> map;
    Model model;
    for (int step = 0; step < 3000; ++step) {
        uintptr_t key = rng() % 96; // few keys: many duplicates and empty buckets
        std::pair<unsigned, uintptr_t> mk{NUBO::oxPtrKeyTraits::Hash(K(key)) & 15, key};
        switch (rng() % 4) {
        case 0:
        case 1:
            map.Insert(K(key), step);
            model.emplace(mk, step);
            break;
        case 2:
            ASSERT_EQ(map.Erase(K(key)), model.erase(mk));
            break;
        case 3: {
            auto [first, after] = map.EqualRange(K(key));
            auto [mfirst, mafter] = model.equal_range(mk);
            for (; first != after && mfirst != mafter; ++first, ++mfirst)
                ASSERT_EQ(first->value, mfirst->second);
            ASSERT_TRUE(first == after && mfirst == mafter);
            break;
        }
        }
        ExpectSameOrder(map, model);
    }
}

// Heap blocks are 16-byte aligned: consecutive blocks must still land in different buckets.
TEST(oxPtrHashMap, AlignedKeysSpreadOverTheBuckets) {
    std::set<unsigned> buckets;
    for (uintptr_t i = 0; i < 16; ++i)
        buckets.insert(NUBO::oxPtrKeyTraits::Hash(K(0x12340000 + 16 * i)) & 15);
    EXPECT_EQ(buckets.size(), 16u);
}

TEST(oxPtrHashMap, GetOrInsertLookupAndAbsentKeys) {
    oxPtrHashMap<> map;
    EXPECT_EQ(map.Lookup(K(0x40)), nullptr);
    EXPECT_EQ(map.Find(K(0x40)), nullptr);
    auto [first, after] = map.EqualRange(K(0x40));
    EXPECT_TRUE(first == map.end() && after == map.end());

    void*& slot = map.GetOrInsert(K(0x40));
    EXPECT_EQ(slot, nullptr);
    slot = const_cast<void*>(K(7));
    EXPECT_EQ(&map.GetOrInsert(K(0x40)), &slot); // no second node
    EXPECT_EQ(map.Count(), 1u);
    EXPECT_EQ(map.Lookup(K(0x40)), K(7));
    EXPECT_EQ(map.Erase(K(0x41)), 0u);
}

TEST(oxPtrHashMap, EraseNodeWhileWalkingAndClear) {
    oxPtrHashMap<int> map;
    for (int i = 0; i < 40; ++i)
        map.Insert(K(i * 3), i);
    for (auto it = map.begin(); it != map.end();)
        it = (it->value % 2) ? map.Erase(it) : ++it;
    EXPECT_EQ(map.Count(), 20u);
    for (auto& node : map)
        EXPECT_EQ(node.value % 2, 0);
    map.ClearNodes();
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_TRUE(map.begin() == map.end());
    map.Insert(K(3), 1); // usable again after a clear
    EXPECT_EQ(map.Lookup(K(3)), 1);
}

TEST(oxIdHashMap, BucketsByLowBitsAscendingWithin) {
    oxIdHashMap<int> map;
    for (uint16_t id : {1062, 1001, 1473, 1391, 1017, 1658})
        map.GetOrInsert(id) = id;
    std::vector<uint16_t> order;
    for (auto& node : map)
        order.push_back(node.key);
    // 1001&15=9, 1017&15=9, 1062&15=6, 1391&15=15, 1473&15=1, 1658&15=10
    EXPECT_EQ(order, (std::vector<uint16_t>{1473, 1062, 1001, 1017, 1658, 1391}));
}

TEST(oxNameHashMap, TextKeysAreCopiedAndCompareExactly) {
    oxNameHashMap<uint16_t> map;
    std::u16string name = u"click";
    map.GetOrInsert(name.c_str()) = 1391;
    name[0] = u'x'; // the map kept its own copy
    EXPECT_EQ(map.Lookup(u"click"), 1391);
    EXPECT_EQ(map.Lookup(u"Click"), 0);
    EXPECT_EQ(map.Lookup(u"clic"), 0);
    EXPECT_EQ(map.Lookup(u"xlick"), 0);
    EXPECT_EQ(NUBO::oxTextHash(u"ab", 2), (0u * 33 + u'a') * 33 + u'b');
}

TEST(oxStringMap, ListOrderIsBucketThenUnitOrder) {
    NUBO::oxStringMap<int> map;
    const char16_t* keys[] = {u"b", u"a", u"ab", u"Q", u"", u"q", u"aa"};
    for (int i = 0; i < 7; ++i)
        map.GetOrInsert(keys[i]) = i;
    // Buckets: "" 0; "a" 97&15=1, "q" 113&15=1, "Q" 81&15=1; "b" 2;
    // "aa" (97*33+97)&15=2, "ab" (97*33+98)&15=3.
    std::vector<std::u16string> order;
    for (auto& node : map)
        order.emplace_back(node.key.GetString());
    EXPECT_EQ(order, (std::vector<std::u16string>{u"", u"Q", u"a", u"q", u"aa", u"b", u"ab"}));
    EXPECT_EQ(map.Lookup(u"q"), 5);
    EXPECT_EQ(map.Lookup(NUBO::TWString(u"ab")), 2);
    EXPECT_EQ(map.Find(u"A"), nullptr);
}

TEST(oxStringMap, EqualKeysKeepInsertionOrder) {
    NUBO::oxStringMap<int> map;
    map.Insert(u"name", 1);
    map.Insert(u"other", 9);
    map.Insert(u"name", 2);
    auto [first, after] = map.EqualRange(u"name");
    std::vector<int> values;
    for (; first != after; ++first)
        values.push_back(first->value);
    EXPECT_EQ(values, (std::vector<int>{1, 2}));
}

} // namespace
