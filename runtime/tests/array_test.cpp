#include "runtime/array.h"
#include "runtime/bstr_array.h"
#include "runtime/list.h"

#include <gtest/gtest.h>

#include "runtime/tests/failing_allocator.h"

#include <string>
#include <vector>

namespace {

using NUBO::TArray;
using NUBO::TList;
using NUBO::TPtrArray;
using NUBO::TPtrList;

void* W(uintptr_t n) {
    return reinterpret_cast<void*>(n);
}

// Traits that log copies and destructions, to see which elements a container hands back.
class LoggingTraits final : public NUBO::TElementTraits {
public:
    void* CopyElement(void* v) const override {
        log += "c" + std::to_string(reinterpret_cast<uintptr_t>(v));
        return v;
    }
    void DestroyElement(void* v) const override { log += "d" + std::to_string(reinterpret_cast<uintptr_t>(v)); }
    int CompareElements(void*, void*) const override { return 0; }
    mutable std::string log;
};

TEST(TArray, AutomaticGrowth) {
    TPtrArray a;
    ASSERT_EQ(a.SetSize(5), 1);
    EXPECT_EQ(a.GetCapacity(), 5u); // the first block is exactly what was asked for
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(a.GetAt(i), nullptr);
    ASSERT_EQ(a.SetSize(6), 1);
    EXPECT_EQ(a.GetCapacity(), 9u); // step count / 8, at least 4
    ASSERT_EQ(a.SetSize(100), 1);
    EXPECT_EQ(a.GetCapacity(), 100u); // more than one step asked for
    ASSERT_EQ(a.SetSize(101), 1);
    EXPECT_EQ(a.GetCapacity(), 112u); // 100 / 8 = 12
    ASSERT_EQ(a.SetSize(0), 1);
    EXPECT_EQ(a.GetCapacity(), 0u);
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(TArray, StepIsLimitedTo1024) {
    TPtrArray a;
    ASSERT_EQ(a.SetSize(20000), 1);
    ASSERT_EQ(a.SetSize(20001), 1);
    EXPECT_EQ(a.GetCapacity(), 21024u);
}

TEST(TArray, GivenGrowBy) {
    TPtrArray a;
    ASSERT_EQ(a.SetSize(3, 10), 1);
    EXPECT_EQ(a.GetCapacity(), 10u); // max(n, grow-by) for the first block
    ASSERT_EQ(a.SetSize(11), 1);
    EXPECT_EQ(a.GetCapacity(), 20u);
}

TEST(TArray, ShrinkingDestroysTheTailAndRegrowingZeroes) {
    LoggingTraits traits;
    {
        TArray a(traits);
        for (uintptr_t i = 1; i <= 4; ++i)
            ASSERT_EQ(a.Add(W(i)), 1);
        EXPECT_EQ(traits.log, "c1c2c3c4");
        traits.log.clear();
        ASSERT_EQ(a.SetSize(2), 1);
        EXPECT_EQ(traits.log, "d3d4");
        ASSERT_EQ(a.SetSize(4), 1); // within the old capacity: slots must not show the old values
        EXPECT_EQ(a.GetAt(2), nullptr);
        EXPECT_EQ(a.GetAt(3), nullptr);
        traits.log.clear();
        a.SetAt(0, W(7));
        EXPECT_EQ(traits.log, "c7d1");
        traits.log.clear();
    }
    EXPECT_EQ(traits.log, "d7d2d0d0"); // the destructor destroys every element
}

TEST(TArray, ImpossibleSizeFailsAndKeepsTheArray) {
    TPtrArray a;
    ASSERT_EQ(a.Add(W(1)), 1);
    EXPECT_EQ(a.SetSize(static_cast<size_t>(-1) / 4), 0);
    EXPECT_EQ(a.GetSize(), 1u);
    EXPECT_EQ(a.GetAt(0), W(1));
}

TEST(TArray, FailedGrowthLeavesTheArray) {
    TPtrArray a;
    for (uintptr_t i = 1; i <= 3; ++i)
        ASSERT_EQ(a.Add(W(i)), 1);
    size_t capacity = a.GetCapacity();
    void* const* data = a.GetData();
    FailingAllocator alloc;
    FailingAllocator::failing = true;
    EXPECT_EQ(a.SetSize(50), 0);
    for (size_t i = a.GetSize(); i < capacity; ++i)
        ASSERT_EQ(a.Add(W(9)), 1); // fits without growing
    EXPECT_EQ(a.Add(W(10)), 0);
    EXPECT_EQ(a.GetSize(), capacity);
    EXPECT_EQ(a.GetData(), data);
    EXPECT_EQ(a.GetAt(0), W(1));
    EXPECT_EQ(a.GetAt(2), W(3));
}

TEST(TBstrArrayT, OwnsCopiesOfItsTexts) {
    NUBO::TBstrArrayT<NUBO::TBstrCompTraits> a;
    const char16_t text[] = u"abc";
    ASSERT_EQ(a.Add(const_cast<char16_t*>(text)), 1);
    ASSERT_EQ(a.Add(nullptr), 1);
    auto* first = static_cast<const char16_t*>(a.GetAt(0));
    EXPECT_NE(first, text);
    EXPECT_EQ(std::u16string(first), u"abc");
    a.SetAt(0, const_cast<char16_t*>(u"xyz")); // the old copy is freed; the sanitizers see a leak otherwise
    const auto& traits = NUBO::TBstrCompTraits::Instance();
    EXPECT_EQ(traits.CompareElements(a.GetAt(0), const_cast<char16_t*>(u"xyz")), 0);
    EXPECT_LT(traits.CompareElements(a.GetAt(0), const_cast<char16_t*>(u"xz")), 0);
    EXPECT_GT(traits.CompareElements(a.GetAt(0), nullptr), 0);
    EXPECT_EQ(traits.CompareElements(nullptr, nullptr), 0);
    ASSERT_EQ(a.SetSize(1), 1); // frees the second copy
}

std::vector<uintptr_t> Walk(const TList& list) {
    std::vector<uintptr_t> out;
    for (TList::Node* n = list.GetHead(); n; n = n->next)
        out.push_back(reinterpret_cast<uintptr_t>(n->value));
    return out;
}

TEST(TList, AddAndRemoveNodes) {
    TPtrList list(10);
    TList::Node* nodes[5];
    for (uintptr_t i = 0; i < 5; ++i)
        ASSERT_NE(nodes[i] = list.AddTail(W(i)), nullptr);
    list.RemoveNode(nodes[0]);
    list.RemoveNode(nodes[4]);
    list.RemoveNode(nodes[2]);
    EXPECT_EQ(Walk(list), (std::vector<uintptr_t>{1, 3}));
    EXPECT_EQ(list.GetTail()->value, W(3));
    EXPECT_EQ(list.GetTail()->prev, list.GetHead());
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(TList, EmptyingReleasesTheNodeBlocks) {
    LoggingTraits traits;
    TList list(3, traits);
    std::vector<TList::Node*> nodes;
    for (uintptr_t i = 0; i < 7; ++i)
        nodes.push_back(list.AddTail(W(i))); // three blocks
    traits.log.clear();
    for (size_t i = 0; i < 6; ++i)
        list.RemoveNode(nodes[i]);
    EXPECT_TRUE(list.HoldsNodeBlocks());
    list.RemoveNode(nodes[6]);
    EXPECT_FALSE(list.HoldsNodeBlocks());
    EXPECT_EQ(traits.log, "d0d1d2d3d4d5d6");
    list.AddTail(W(9));
    list.AddTail(W(8));
    traits.log.clear();
    list.RemoveAll();
    EXPECT_EQ(traits.log, "d9d8");
    EXPECT_FALSE(list.HoldsNodeBlocks());
    EXPECT_EQ(list.GetHead(), nullptr);
}

TEST(TList, FailedNodeBlockLeavesTheList) {
    TPtrList list(2);
    list.AddTail(W(1));
    list.AddTail(W(2));
    FailingAllocator alloc;
    FailingAllocator::failing = true;
    EXPECT_EQ(list.AddTail(W(3)), nullptr);
    EXPECT_EQ(Walk(list), (std::vector<uintptr_t>{1, 2}));
    FailingAllocator::failing = false;
    EXPECT_NE(list.AddTail(W(3)), nullptr);
    EXPECT_EQ(Walk(list), (std::vector<uintptr_t>{1, 2, 3}));
}

} // namespace
